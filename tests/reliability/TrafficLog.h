#pragma once

#include "LogEntry.h"

#include <QByteArray>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// What the simulated pump saw on its line, as exchanges: each frame the program sent, when it
// started and ended on the line, and whether (and when) the pump's answer left completely. Built
// from the simulator's own log, in process or from the text of `fluxo-sim --log`.
class TrafficLog
{
public:
    static constexpr std::int64_t Always = std::numeric_limits<std::int64_t>::min();
    static constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();

    struct Exchange
    {
        std::int64_t startMs = 0;    // first byte of the frame on the line
        std::int64_t receivedMs = 0; // last byte in: the pump acts on it
        std::string text;            // between STX and ETX: "01?DV", "01KY1"
        std::string verdict;
        bool answered = false;        // an answer left the pump completely
        std::int64_t answerEndMs = 0; // then its last byte, else receivedMs
        bool spoiled = false;         // a fault withheld or spoiled the answer on purpose
    };

    explicit TrafficLog(std::vector<fluxosim::LogEntry> entries, int baud = 9600);

    // The lines of `fluxo-sim --log` ("12:00:01.123 rx <STX>01?DV<ETX>-  query ..."); the stamp
    // becomes milliseconds since midnight, carried on across midnight.
    static std::vector<fluxosim::LogEntry> parse(const QByteArray &text);
    // Escaped log bytes back to raw bytes ("<STX>01<ETX><NUL>").
    static std::string unescape(const std::string &text);

    const std::vector<Exchange> &exchanges() const { return frames; }
    const std::vector<fluxosim::LogEntry> &entries() const { return all; }

    // Time of the first event or device line containing `what` at or after fromMs, else Never.
    std::int64_t eventAt(const std::string &what, std::int64_t fromMs = Always) const;
    // The first exchange received at or after fromMs whose answer left the pump, or nullptr.
    const Exchange *firstAnsweredAfter(std::int64_t fromMs) const;
    // Longest time between the starts of two consecutive frames that both lie in [fromMs, toMs].
    std::int64_t longestPollGap(std::int64_t fromMs, std::int64_t toMs) const;
    // Longest time from the end of one exchange (its answer, or the frame when none came) to the
    // start of the next frame, over pairs in [fromMs, toMs] whose next frame is not one of the
    // queries a timer starts (timerQueries: "?TV" opens each refresh tick, "?SI" is the
    // display's link check): the pause before those is a timer's, not a blocked exchange's.
    std::int64_t longestExchangeGap(std::int64_t fromMs, std::int64_t toMs,
                                    const std::vector<std::string> &timerQueries) const;
    // Frames that are not queries (settings and actions) in [fromMs, toMs], in order.
    std::vector<std::string> settingFrames(std::int64_t fromMs = Always,
                                           std::int64_t toMs = Never) const;
    int countFrames(std::int64_t fromMs, std::int64_t toMs) const;
    int countAnswered(std::int64_t fromMs, std::int64_t toMs) const;
    int countSpoiled(std::int64_t fromMs, std::int64_t toMs) const;
    // Addresses ("01") of all frames in the log, each once, in order of first appearance.
    std::vector<std::string> addresses() const;

private:
    std::vector<fluxosim::LogEntry> all;
    std::vector<Exchange> frames;
};
