#include "BusinessLogic/TrafficLogFormat.h"

#include "platform/EscapedText.h"

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

std::string TrafficLogFormat::line(const SystemTime &time, const std::string &frame)
{
    std::string s = stamp(time);
    const std::size_t from = s.size();
    s += frame;
    EscapedText::bytes(s, from);
    return s;
}

} // namespace BusinessLogic
