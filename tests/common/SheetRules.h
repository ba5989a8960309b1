#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

// A style sheet read the way the toolkit applies it, so that a test checks what the sheet does
// (the colour, border or radius in effect) and not how it is spelled. Rules are "selectors {
// property: value; ... }"; a sheet without braces is one rule for the widget itself (selector
// ""). For a state ("hover"), the plain rules apply first and the state's rules over them, each
// in the order written; a later declaration replaces an earlier one. Values are compared with
// blanks removed around commas and parentheses: "rgb(0, 149, 216)" reads "rgb(0,149,216)".
class SheetRules
{
public:
    explicit SheetRules(const QString &sheet)
    {
        QString text = sheet;
        text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                       QRegularExpression::DotMatchesEverythingOption));
        if (!text.contains(QLatin1Char('{'))) {
            valid = text.count(QLatin1Char('}')) == 0 && addDeclarations({QString()}, text);
            return;
        }
        int at = 0;
        while (true) {
            const int open = text.indexOf(QLatin1Char('{'), at);
            if (open < 0) {
                valid = valid && text.mid(at).trimmed().isEmpty();
                return;
            }
            const int close = text.indexOf(QLatin1Char('}'), open);
            if (close < 0) {
                valid = false;
                return;
            }
            QStringList selectors;
            for (const QString &s : text.mid(at, open - at).split(QLatin1Char(',')))
                selectors << s.simplified();
            valid = valid && !selectors.contains(QString()) &&
                    addDeclarations(selectors, text.mid(open + 1, close - open - 1));
            at = close + 1;
        }
    }

    // Every brace closed, every declaration "property: value".
    bool isValid() const { return valid; }

    // The value in effect for `property` on `selector` in `state` ("" for the plain state);
    // "" when nothing sets it.
    QString value(const QString &selector, const QString &property,
                  const QString &state = QString()) const
    {
        QString found;
        for (const Declaration &d : inEffect(selector, state)) {
            if (d.property == property)
                found = d.value;
        }
        return found;
    }

    // The radius of one corner ("top-left", "bottom-right", ...) in effect: "border-radius" sets
    // all four, "border-top-left-radius" one of them.
    QString radius(const QString &selector, const QString &corner,
                   const QString &state = QString()) const
    {
        const QString own = QStringLiteral("border-%1-radius").arg(corner);
        QString found;
        for (const Declaration &d : inEffect(selector, state)) {
            if (d.property == QLatin1String("border-radius") || d.property == own)
                found = d.value;
        }
        return found;
    }

    // The properties the rules for exactly this selector and state declare, in order.
    QStringList declared(const QString &selector, const QString &state = QString()) const
    {
        const QString wanted = state.isEmpty() ? selector : selector + QLatin1Char(':') + state;
        QStringList properties;
        for (const Declaration &d : declarations) {
            if (d.selector == wanted)
                properties << d.property;
        }
        return properties;
    }

    static QString normalised(const QString &value)
    {
        static const QRegularExpression blanks(QStringLiteral("\\s*([,()])\\s*"));
        QString v = value.simplified();
        v.replace(blanks, QStringLiteral("\\1"));
        return v;
    }

private:
    struct Declaration
    {
        QString selector;
        QString property;
        QString value;
    };

    bool addDeclarations(const QStringList &selectors, const QString &block)
    {
        for (const QString &part : block.split(QLatin1Char(';'))) {
            if (part.trimmed().isEmpty())
                continue;
            const int colon = part.indexOf(QLatin1Char(':'));
            if (colon <= 0 || part.left(colon).trimmed().isEmpty())
                return false;
            for (const QString &selector : selectors)
                declarations.push_back({selector, part.left(colon).trimmed().toLower(),
                                        normalised(part.mid(colon + 1))});
        }
        return true;
    }

    // The plain rules, then the state's: the more specific selector wins over the plain one.
    QVector<Declaration> inEffect(const QString &selector, const QString &state) const
    {
        QVector<Declaration> found;
        for (const Declaration &d : declarations) {
            if (d.selector == selector)
                found << d;
        }
        if (!state.isEmpty()) {
            const QString stated = selector + QLatin1Char(':') + state;
            for (const Declaration &d : declarations) {
                if (d.selector == stated)
                    found << d;
            }
        }
        return found;
    }

    QVector<Declaration> declarations;
    bool valid = true;
};
