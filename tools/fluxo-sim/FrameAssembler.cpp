#include "FrameAssembler.h"

#include "SimProtocol.h"

namespace fluxosim {

FrameAssembler::FrameAssembler(std::int64_t idleLimit)
    : idleLimitUs(idleLimit)
{}

void FrameAssembler::reset()
{
    state = State::Hunting;
    frame.clear();
    junk = Piece{Kind::Junk, {}, 0, 0};
}

void FrameAssembler::addJunk(char byte, std::int64_t nowUs)
{
    if (junk.length == 0)
        junk.firstUs = nowUs;
    if (junk.bytes.size() < maxShown)
        junk.bytes += byte;
    ++junk.length;
}

void FrameAssembler::flushJunk(std::vector<Piece> &out)
{
    if (junk.length == 0)
        return;
    out.push_back(junk);
    junk = Piece{Kind::Junk, {}, 0, 0};
}

void FrameAssembler::feed(const char *data, std::size_t size, std::int64_t nowUs,
                          std::vector<Piece> &out)
{
    expire(nowUs, out);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        switch (state) {
        case State::Hunting:
            if (c != STX) {
                addJunk(c, nowUs);
                continue;
            }
            flushJunk(out);
            frame.assign(1, c);
            frameStartUs = nowUs;
            state = State::Text;
            break;
        case State::Text:
            if (c == STX) { // a new frame starts: the unfinished one was garbage
                out.push_back({Kind::Stalled, frame, frame.size(), frameStartUs});
                frame.assign(1, c);
                frameStartUs = nowUs;
                break;
            }
            frame += c;
            if (c == ETX) {
                state = State::Check;
            } else if (frame.size() >= maxFrame) {
                out.push_back(
                    {Kind::Overlong, frame.substr(0, maxShown), frame.size(), frameStartUs});
                frame.clear();
                state = State::Hunting;
            }
            break;
        case State::Check: // the check byte may take any value, STX included
            frame += c;
            out.push_back({Kind::Frame, frame, frame.size(), frameStartUs});
            frame.clear();
            state = State::Hunting;
            break;
        }
    }
    lastByteUs = nowUs;
    flushJunk(out);
}

void FrameAssembler::expire(std::int64_t nowUs, std::vector<Piece> &out)
{
    if (state != State::Hunting && nowUs - lastByteUs > idleLimitUs) {
        out.push_back({Kind::Stalled, frame, frame.size(), frameStartUs});
        frame.clear();
        state = State::Hunting;
    }
}

std::int64_t FrameAssembler::nextDeadlineUs() const
{
    return state == State::Hunting ? -1 : lastByteUs + idleLimitUs + 1;
}

} // namespace fluxosim
