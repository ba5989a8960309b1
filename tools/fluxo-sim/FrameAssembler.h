#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fluxosim {

// Cuts a received byte stream into frames (STX .. ETX plus the check byte). Bytes outside a
// frame are reported as junk; a frame that grows past maxFrame, or stalls for longer than the
// idle limit, is given up. Memory stays bounded whatever arrives.
class FrameAssembler
{
public:
    static constexpr std::size_t maxFrame = 48; // longest command frame is 16 bytes
    static constexpr std::size_t maxShown = 32; // junk bytes kept for the log per piece

    enum class Kind { Frame, Junk, Overlong, Stalled };
    struct Piece
    {
        Kind kind = Kind::Frame;
        std::string bytes;        // the frame, or the first maxShown bytes of junk
        std::size_t length = 0;   // bytes this piece stands for
        std::int64_t firstUs = 0; // arrival of its first byte
    };

    explicit FrameAssembler(std::int64_t idleLimitUs = 100000);

    // Appends received bytes; completed pieces go to out.
    void feed(const char *data, std::size_t size, std::int64_t nowUs, std::vector<Piece> &out);
    // Gives up a partial frame that has been idle for longer than the idle limit.
    void expire(std::int64_t nowUs, std::vector<Piece> &out);
    // When expire() has something to do, or -1.
    std::int64_t nextDeadlineUs() const;
    std::size_t buffered() const { return frame.size() + junk.bytes.size(); }
    void reset();

private:
    void flushJunk(std::vector<Piece> &out);
    void addJunk(char byte, std::int64_t nowUs);

    enum class State { Hunting, Text, Check };
    std::int64_t idleLimitUs;
    State state = State::Hunting;
    std::string frame;
    std::int64_t frameStartUs = 0;
    std::int64_t lastByteUs = 0;
    Piece junk{Kind::Junk, {}, 0, 0};
};

} // namespace fluxosim
