#include "pump/JsonKeys.h"

#include <algorithm>
#include <set>
#include <vector>

namespace Pump {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The string that starts at json[at] (its opening quote), decoded as the parser would read it;
// at is left after the closing quote.
QString readString(const QByteArray &json, int &at)
{
    QString text;
    QByteArray raw; // bytes since the last escape, UTF-8
    const auto flush = [&] {
        text += QString::fromUtf8(raw);
        raw.clear();
    };
    for (++at; at < json.size(); ++at) {
        const char c = json[at];
        if (c == '"') {
            ++at;
            break;
        }
        if (c != '\\' || at + 1 >= json.size()) {
            raw += c;
            continue;
        }
        flush();
        const char e = json[++at];
        if (e == 'u' && at + 4 < json.size()) {
            int code = 0;
            for (int i = 1; i <= 4; ++i)
                code = code * 16 + std::max(0, hexDigit(json[at + i]));
            // UTF-16 units as they come: a pair compares equal to the character written out.
            text += QChar(static_cast<char16_t>(code));
            at += 4;
            continue;
        }
        switch (e) {
        case 'b':
            text += QLatin1Char('\b');
            break;
        case 'f':
            text += QLatin1Char('\f');
            break;
        case 'n':
            text += QLatin1Char('\n');
            break;
        case 'r':
            text += QLatin1Char('\r');
            break;
        case 't':
            text += QLatin1Char('\t');
            break;
        default:
            text += QLatin1Char(e);
            break;
        }
    }
    flush();
    return text;
}

} // namespace

QString JsonKeys::repeated(const QByteArray &json)
{
    struct Level
    {
        bool object = false;
        bool keyNext = false;
        std::set<QString> keys;
    };
    std::vector<Level> levels;
    int at = 0;
    while (at < json.size()) {
        const char c = json[at];
        if (c == '"') {
            const QString text = readString(json, at);
            if (!levels.empty() && levels.back().object && levels.back().keyNext) {
                levels.back().keyNext = false;
                if (!levels.back().keys.insert(text).second)
                    return text;
            }
            continue;
        }
        if (c == '{' || c == '[') {
            levels.push_back({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (levels.empty())
                break;
            levels.pop_back();
        } else if (c == ',' && !levels.empty() && levels.back().object) {
            levels.back().keyNext = true;
        }
        ++at;
    }
    return QString();
}

} // namespace Pump
