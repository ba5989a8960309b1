#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

// Reads one fuzz input piece by piece: single bytes for choices, newline-separated fields for
// texts, the rest as raw bytes. Past the end every read gives 0 or an empty string, so any input
// is a valid one.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : bytes(reinterpret_cast<const char *>(data), size)
    {}

    bool atEnd() const { return position >= bytes.size(); }

    std::uint8_t takeByte()
    {
        if (atEnd())
            return 0;
        return static_cast<std::uint8_t>(bytes[position++]);
    }

    std::string takeBytes(std::size_t count)
    {
        const std::string out = bytes.substr(std::min(position, bytes.size()), count);
        position += out.size();
        return out;
    }

    // Up to the next newline, which is consumed; a typed field never holds one.
    std::string takeField()
    {
        if (atEnd())
            return {};
        const std::size_t end = bytes.find('\n', position);
        const std::size_t stop = end == std::string::npos ? bytes.size() : end;
        std::string out = bytes.substr(position, stop - position);
        position = end == std::string::npos ? bytes.size() : end + 1;
        return out;
    }

    std::string takeRest()
    {
        std::string out = atEnd() ? std::string() : bytes.substr(position);
        position = bytes.size();
        return out;
    }

private:
    std::string bytes;
    std::size_t position = 0;
};
