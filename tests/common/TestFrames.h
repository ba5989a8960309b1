#pragma once

#include <string>

// Reference frames built independently of the program's own code.
namespace TestFrames {

inline char xorOf(const std::string &bytes)
{
    unsigned char x = 0;
    for (const char c : bytes)
        x ^= static_cast<unsigned char>(c);
    return static_cast<char>(x);
}

// STX, text, ETX (no check character).
inline std::string body(const std::string &text)
{
    return std::string(1, '\x02') + text + '\x03';
}

// STX, text, ETX and the correct check character.
inline std::string frame(const std::string &text)
{
    const std::string b = body(text);
    return b + xorOf(b);
}

inline std::string ack()
{
    return std::string(1, '\x06');
}
inline std::string nak()
{
    return std::string(1, '\x15');
}

} // namespace TestFrames
