#include "ui/PhraseTable.h"

#include <QCoreApplication>
#include <QRegularExpression>

PhraseTable::PhraseTable(const char *context, const std::vector<const char *> &templates)
    : context(context)
{
    static const QRegularExpression marker(QStringLiteral("%([1-9])"));
    for (const char *source : templates) {
        const QString text = QString::fromUtf8(source);
        Entry e{source, QStringLiteral("^"), {}};
        int from = 0;
        QRegularExpressionMatchIterator it = marker.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            e.pattern += QRegularExpression::escape(text.mid(from, m.capturedStart() - from));
            e.pattern += QStringLiteral("(.+?)");
            e.args.push_back(m.captured(1).toInt());
            from = m.capturedEnd();
        }
        e.pattern += QRegularExpression::escape(text.mid(from)) + QLatin1Char('$');
        entries.push_back(std::move(e));
    }
}

QString PhraseTable::shown(const QString &english) const
{
    for (const Entry &e : entries) {
        const QRegularExpressionMatch m =
            QRegularExpression(e.pattern, QRegularExpression::DotMatchesEverythingOption)
                .match(english);
        if (!m.hasMatch())
            continue;
        QString text = QCoreApplication::translate(context, e.source);
        // Filled by number in one pass: an argument holding "%1" stays as it is.
        std::vector<QString> filled(9);
        for (std::size_t i = 0; i < e.args.size(); ++i)
            filled[static_cast<std::size_t>(e.args[i] - 1)] =
                shown(m.captured(static_cast<int>(i) + 1));
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
    return english;
}

QString PhraseTable::shownJoined(const QString &english, const QString &separator) const
{
    QStringList parts = english.split(separator);
    for (QString &part : parts)
        part = shown(part);
    return parts.join(separator);
}
