#include "platform/EscapedText.h"

#include <QByteArray>
#include <QChar>
#include <QVector>

namespace {

// "'/ddd'": the byte's unsigned code, so that high bytes (line noise) read unambiguously.
void appendEscape(std::string &out, unsigned char byte)
{
    const char escaped[] = {'\'',
                            '/',
                            static_cast<char>('0' + byte / 100),
                            static_cast<char>('0' + byte / 10 % 10),
                            static_cast<char>('0' + byte % 10),
                            '\''};
    out.append(escaped, sizeof escaped);
}

} // namespace

void EscapedText::bytes(std::string &line, std::size_t from)
{
    std::string out;
    out.reserve(line.size() + 24);
    out.append(line, 0, from);
    for (std::size_t i = from; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte >= '0' && byte <= 'z')
            out.push_back(static_cast<char>(byte));
        else
            appendEscape(out, byte);
    }
    line.swap(out);
}

QString EscapedText::text(const QString &text)
{
    QString out;
    for (const uint c : text.toUcs4()) {
        const QChar::Category kind = QChar::category(c);
        // Qt counts line and paragraph separators as printable; a terminal breaks the line.
        if (QChar::isPrint(c) && kind != QChar::Separator_Line &&
            kind != QChar::Separator_Paragraph) {
            out += QString::fromUcs4(&c, 1);
            continue;
        }
        std::string escaped;
        for (const char byte : QString::fromUcs4(&c, 1).toUtf8())
            appendEscape(escaped, static_cast<unsigned char>(byte));
        out += QString::fromLatin1(escaped.data(), static_cast<int>(escaped.size()));
    }
    return out;
}
