#include "SimProtocol.h"

#include <cstdio>

namespace fluxosim {

std::uint8_t lrc(const std::string &bytes)
{
    std::uint8_t sum = 0;
    for (char c : bytes)
        sum ^= static_cast<std::uint8_t>(c);
    return sum;
}

std::string dataFrame(const std::string &text)
{
    std::string frame = STX + text + ETX;
    frame += static_cast<char>(lrc(frame));
    return frame;
}

std::string commandFrame(int address, const std::string &body)
{
    std::string frame = STX + zeroFilled(address, 2) + body + ETX;
    frame += static_cast<char>(lrc(frame));
    return frame;
}

std::string zeroFilled(long long value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

std::string escaped(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
        case 0x00:
            out += "<NUL>";
            break;
        case 0x02:
            out += "<STX>";
            break;
        case 0x03:
            out += "<ETX>";
            break;
        case 0x06:
            out += "<ACK>";
            break;
        case 0x15:
            out += "<NAK>";
            break;
        default:
            if (b >= 0x20 && b < 0x7F && b != '<') {
                out += c;
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "<%02X>", b);
                out += hex;
            }
        }
    }
    return out;
}

} // namespace fluxosim
