#include "FuzzInput.h"
#include "Require.h"

#include "BusinessLogic/TrafficLogFormat.h"
#include "platform/EscapedText.h"

#include <cstdint>
#include <string>

// Traffic-log lines: the stamp is "hh:mm:ss:mmm " and the frame after it is printable. Every
// byte outside '0'..'z' is written as apostrophe, slash, three digits, apostrophe; decoding the
// line gives back the frame byte for byte.
//
// Input: a choice byte, then the time fields (two bytes each), then the frame. Choice 0 formats a
// whole line; otherwise the choice is the position EscapedText::bytes starts from in a raw line.

namespace {

bool plain(unsigned char c)
{
    return c >= '0' && c <= 'z';
}

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

// Decodes an escaped text; false when it holds anything but plain bytes and well-formed escapes
// of bytes that needed one.
bool decode(const std::string &escaped, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < escaped.size();) {
        const auto c = static_cast<unsigned char>(escaped[i]);
        if (plain(c)) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (c != '\'' || i + 6 > escaped.size() || escaped[i + 1] != '/' ||
            !digit(escaped[i + 2]) || !digit(escaped[i + 3]) || !digit(escaped[i + 4]) ||
            escaped[i + 5] != '\'')
            return false;
        const int code =
            (escaped[i + 2] - '0') * 100 + (escaped[i + 3] - '0') * 10 + (escaped[i + 4] - '0');
        if (code > 255 || plain(static_cast<unsigned char>(code)))
            return false;
        out.push_back(static_cast<char>(code));
        i += 6;
    }
    return true;
}

void checkStampField(const std::string &stamp, std::size_t at, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        require(stamp[at + static_cast<std::size_t>(i)] == char('0' + value % 10),
                "stamp field shows the value's low digits, zero-filled");
        value /= 10;
    }
}

std::uint16_t takeWord(FuzzInput &input)
{
    const unsigned high = input.takeByte();
    return static_cast<std::uint16_t>(high << 8 | input.takeByte());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t from = input.takeByte();
    SystemTime time;
    time.hour = takeWord(input);
    time.minute = takeWord(input);
    time.second = takeWord(input);
    time.milliseconds = takeWord(input);
    const std::string frame = input.takeRest();
    std::string decoded;

    if (from == 0) {
        const std::string line = BusinessLogic::TrafficLogFormat::line(time, frame);
        require(line.size() >= 13, "line starts with a 13-character stamp");
        const std::string stamp = line.substr(0, 13);
        require(stamp == BusinessLogic::TrafficLogFormat::stamp(time), "line begins with stamp");
        require(stamp[2] == ':' && stamp[5] == ':' && stamp[8] == ':' && stamp[12] == ' ',
                "stamp separators");
        checkStampField(stamp, 0, time.hour, 2);
        checkStampField(stamp, 3, time.minute, 2);
        checkStampField(stamp, 6, time.second, 2);
        checkStampField(stamp, 9, time.milliseconds, 3);
        require(decode(line.substr(13), decoded),
                "escaped frame holds only '0'..'z' and apostrophe-slash-digit escapes");
        require(decoded == frame, "escaped frame decodes back to the frame");
        require(line.size() <= 13 + 6 * frame.size(), "at most six characters per byte");
        return 0;
    }

    // EscapedText::bytes on a line whose first `from` bytes are left alone.
    std::string line = frame;
    EscapedText::bytes(line, from);
    const std::size_t kept = std::min(from, frame.size());
    require(line.compare(0, kept, frame, 0, kept) == 0, "bytes before the start stay as they are");
    require(decode(line.substr(kept), decoded),
            "escaped part holds only '0'..'z' and apostrophe-slash-digit escapes");
    require(decoded == frame.substr(kept), "escaped part decodes back to the input");
    return 0;
}
