#include "ui/PhraseTable.h"

#include "ui/ShownNumber.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

PhraseTable::PhraseTable(const char *context, const std::vector<const char *> &templates)
    : context(context)
{
    static const QRegularExpression marker(QStringLiteral("%([1-9])"));
    for (const char *source : templates) {
        const QString text = QString::fromUtf8(source);
        QString pattern = QStringLiteral("^");
        Entry e{source, {}, {}, 0};
        int from = 0;
        QRegularExpressionMatchIterator it = marker.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            pattern += QRegularExpression::escape(text.mid(from, m.capturedStart() - from));
            e.fixed += m.capturedStart() - from;
            pattern += QStringLiteral("(.*?)");
            e.args.push_back(m.captured(1).toInt());
            from = m.capturedEnd();
        }
        pattern += QRegularExpression::escape(text.mid(from)) + QLatin1Char('$');
        e.pattern = QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption);
        e.fixed += text.size() - from;
        entries.push_back(std::move(e));
    }
    // "%1: %2 is below %3" takes what "%1: %2 is below %3 s, the shortest wait ..." makes too:
    // the template with more of its own words is the one a text was made from.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.fixed > b.fixed; });
}

QString PhraseTable::shown(const QString &english) const
{
    const std::optional<QString> made = fromTemplate(english);
    return made ? *made : english;
}

QString PhraseTable::argument(const QString &english) const
{
    // A number, or a value with its unit, gets the window's decimal separator.
    const std::optional<QString> made = fromTemplate(english);
    return made ? *made : ShownNumber::localized(english);
}

std::optional<QString> PhraseTable::fromTemplate(const QString &english) const
{
    if (english.size() > MaxChars)
        return std::nullopt;
    for (const Entry &e : entries) {
        const QRegularExpressionMatch m = e.pattern.match(english);
        if (!m.hasMatch())
            continue;
        QString text = QCoreApplication::translate(context, e.source);
        // Filled by number in one pass: an argument holding "%1" stays as it is.
        std::vector<QString> filled(9);
        for (std::size_t i = 0; i < e.args.size(); ++i)
            filled[static_cast<std::size_t>(e.args[i] - 1)] =
                argument(m.captured(static_cast<int>(i) + 1));
        QString out;
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1] >= '1' &&
                text[i + 1] <= '9') {
                out += filled[static_cast<std::size_t>(text[i + 1].digitValue() - 1)];
                ++i;
            } else {
                out += text[i];
            }
        }
        return out;
    }
    return std::nullopt;
}

QString PhraseTable::shownJoined(const QString &english, const QString &separator) const
{
    QStringList parts = english.split(separator);
    for (QString &part : parts)
        part = shown(part);
    return parts.join(separator);
}
