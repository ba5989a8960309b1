#include "BusinessLogic/TrafficLogFormat.h"

#include <QVector>

namespace BusinessLogic {

namespace {

void appendDigits(std::string &out, unsigned value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits, static_cast<std::size_t>(width));
}

} // namespace

std::string TrafficLogFormat::stamp(const SystemTime &time)
{
    std::string s;
    s.reserve(13);
    appendDigits(s, time.hour, 2);
    s.push_back(':');
    appendDigits(s, time.minute, 2);
    s.push_back(':');
    appendDigits(s, time.second, 2);
    s.push_back(':');
    appendDigits(s, time.milliseconds, 3);
    s.push_back(' ');
    return s;
}

void TrafficLogFormat::escape(std::string &line, std::size_t from)
{
    std::string out;
    out.reserve(line.size() + 24);
    out.append(line, 0, from);
    for (std::size_t i = from; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte >= '0' && byte <= 'z') {
            out.push_back(static_cast<char>(byte));
            continue;
        }
        // High bytes are line noise; their unsigned code keeps the rendering unambiguous.
        out += "'/";
        appendDigits(out, byte, 3);
        out.push_back('\'');
    }
    line.swap(out);
}

std::string TrafficLogFormat::line(const SystemTime &time, const std::string &frame)
{
    std::string s = stamp(time);
    const std::size_t from = s.size();
    s += frame;
    escape(s, from);
    return s;
}

QString TrafficLogFormat::text(const QString &text)
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
        const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
        for (const char byte : bytes) {
            std::string escaped = "'/";
            appendDigits(escaped, static_cast<unsigned char>(byte), 3);
            escaped.push_back('\'');
            out += QString::fromLatin1(escaped.data(), static_cast<int>(escaped.size()));
        }
    }
    return out;
}

} // namespace BusinessLogic
