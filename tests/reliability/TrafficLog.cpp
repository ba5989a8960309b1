#include "TrafficLog.h"

#include <QList>

#include <algorithm>
#include <deque>
#include <map>

using fluxosim::LogEntry;

namespace {

bool contains(const std::string &text, const char *what)
{
    return text.find(what) != std::string::npos;
}

std::string frameText(const std::string &bytes)
{
    const std::size_t stx = bytes.find('\x02');
    const std::size_t etx = bytes.find('\x03', stx == std::string::npos ? 0 : stx);
    if (stx == std::string::npos || etx == std::string::npos)
        return bytes;
    return bytes.substr(stx + 1, etx - stx - 1);
}

// True when the pump will send something for this frame.
bool awaitsAnswer(const std::string &verdict)
{
    return !contains(verdict, "ignored") && !contains(verdict, "silence") &&
           !contains(verdict, "dropped") && !contains(verdict, "no answer");
}

} // namespace

TrafficLog::TrafficLog(std::vector<LogEntry> entries, int baud)
    : all(std::move(entries))
{
    // 10 bits a byte on an 8N1 line.
    const double msPerByte = baud > 0 ? 10000.0 / baud : 0.0;
    std::deque<std::size_t> waiting; // the pump answers in the order it received
    for (const LogEntry &entry : all) {
        if (entry.kind == LogEntry::Kind::Received) {
            Exchange e;
            e.receivedMs = entry.ms;
            e.startMs = entry.ms - static_cast<std::int64_t>(entry.bytes.size() * msPerByte);
            e.text = frameText(entry.bytes);
            e.verdict = entry.verdict;
            e.answerEndMs = entry.ms;
            e.spoiled = contains(entry.verdict, "(fault)") || contains(entry.verdict, "(silent)");
            frames.push_back(e);
            if (awaitsAnswer(entry.verdict))
                waiting.push_back(frames.size() - 1);
        } else if (entry.kind == LogEntry::Kind::Sent && !waiting.empty()) {
            Exchange &e = frames[waiting.front()];
            waiting.pop_front();
            e.answered = !contains(entry.verdict, "dropped");
            e.answerEndMs = entry.ms;
            if (contains(entry.verdict, "trickled"))
                e.spoiled = true;
        } else if (entry.kind == LogEntry::Kind::Device) {
            waiting.clear(); // a hang-up loses whatever was on its way
        }
    }
}

std::string TrafficLog::unescape(const std::string &text)
{
    static const std::map<std::string, char> names = {
        {"STX", '\x02'}, {"ETX", '\x03'}, {"ACK", '\x06'}, {"NAK", '\x15'}, {"NUL", '\0'}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') {
            const std::size_t close = text.find('>', i);
            if (close != std::string::npos) {
                const std::string name = text.substr(i + 1, close - i - 1);
                const auto named = names.find(name);
                bool ok = false;
                if (named != names.end()) {
                    out.push_back(named->second);
                    ok = true;
                } else if (name.size() == 2) {
                    const int value = QByteArray::fromStdString(name).toInt(&ok, 16);
                    if (ok)
                        out.push_back(static_cast<char>(value));
                }
                if (ok) {
                    i = close;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<LogEntry> TrafficLog::parse(const QByteArray &text)
{
    std::vector<LogEntry> entries;
    std::int64_t dayOffset = 0;
    std::int64_t last = -1;
    for (const QByteArray &raw : text.split('\n')) {
        // "HH:MM:SS.mmm xx rest"; anything else (replies to commands, complaints) is skipped.
        if (raw.size() < 16 || raw[2] != ':' || raw[5] != ':' || raw[8] != '.' || raw[12] != ' ')
            continue;
        const std::int64_t stamp = raw.mid(0, 2).toLongLong() * 3600000 +
                                   raw.mid(3, 2).toLongLong() * 60000 +
                                   raw.mid(6, 2).toLongLong() * 1000 + raw.mid(9, 3).toLongLong();
        if (last >= 0 && stamp + dayOffset < last - 12 * 3600000)
            dayOffset += 24 * 3600000;
        LogEntry entry;
        entry.ms = stamp + dayOffset;
        last = entry.ms;
        const QByteArray kind = raw.mid(13, 2);
        const std::string rest = raw.mid(16).toStdString();
        if (kind == "--") {
            if (rest.rfind("device ", 0) == 0) {
                entry.kind = LogEntry::Kind::Device;
                entry.verdict = rest.substr(7);
            } else {
                entry.kind = LogEntry::Kind::Event;
                entry.verdict = rest;
            }
        } else if (kind == "rx" || kind == "tx") {
            entry.kind = kind == "rx" ? LogEntry::Kind::Received : LogEntry::Kind::Sent;
            // Bytes and verdict are separated by two blanks; the escaped bytes hold none.
            const std::size_t split = rest.find("  ");
            entry.bytes = unescape(rest.substr(0, split));
            entry.verdict = split == std::string::npos ? std::string() : rest.substr(split + 2);
        } else {
            continue;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::int64_t TrafficLog::eventAt(const std::string &what, std::int64_t fromMs) const
{
    for (const LogEntry &entry : all) {
        if (entry.ms < fromMs)
            continue;
        if (entry.kind == LogEntry::Kind::Event && contains(entry.verdict, what.c_str()))
            return entry.ms;
        if (entry.kind == LogEntry::Kind::Device &&
            contains("device " + entry.verdict, what.c_str()))
            return entry.ms;
    }
    return Never;
}

const TrafficLog::Exchange *TrafficLog::firstAnsweredAfter(std::int64_t fromMs) const
{
    for (const Exchange &e : frames) {
        if (e.receivedMs >= fromMs && e.answered)
            return &e;
    }
    return nullptr;
}

std::int64_t TrafficLog::longestPollGap(std::int64_t fromMs, std::int64_t toMs) const
{
    std::int64_t longest = 0;
    const Exchange *previous = nullptr;
    for (const Exchange &e : frames) {
        if (e.startMs < fromMs || e.startMs > toMs)
            continue;
        if (previous != nullptr)
            longest = std::max(longest, e.startMs - previous->startMs);
        previous = &e;
    }
    return longest;
}

std::int64_t TrafficLog::longestExchangeGap(std::int64_t fromMs, std::int64_t toMs,
                                            const std::vector<std::string> &timerQueries) const
{
    std::int64_t longest = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const Exchange &before = frames[i - 1];
        const Exchange &next = frames[i];
        if (before.startMs < fromMs || next.startMs > toMs)
            continue;
        const std::string query = next.text.size() >= 2 ? next.text.substr(2) : std::string();
        if (std::find(timerQueries.begin(), timerQueries.end(), query) != timerQueries.end())
            continue;
        longest = std::max(longest, next.startMs - before.answerEndMs);
    }
    return longest;
}

std::vector<std::string> TrafficLog::settingFrames(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<std::string> out;
    for (const Exchange &e : frames) {
        if (e.receivedMs >= fromMs && e.receivedMs <= toMs && e.text.size() > 2 && e.text[2] != '?')
            out.push_back(e.text);
    }
    return out;
}

int TrafficLog::countFrames(std::int64_t fromMs, std::int64_t toMs) const
{
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [&](const Exchange &e) {
        return e.receivedMs >= fromMs && e.receivedMs <= toMs;
    }));
}

int TrafficLog::countAnswered(std::int64_t fromMs, std::int64_t toMs) const
{
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [&](const Exchange &e) {
        return e.receivedMs >= fromMs && e.receivedMs <= toMs && e.answered;
    }));
}

int TrafficLog::countSpoiled(std::int64_t fromMs, std::int64_t toMs) const
{
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [&](const Exchange &e) {
        return e.receivedMs >= fromMs && e.receivedMs <= toMs && e.spoiled;
    }));
}

std::vector<std::string> TrafficLog::addresses() const
{
    std::vector<std::string> out;
    for (const Exchange &e : frames) {
        const std::string address = e.text.substr(0, 2);
        if (std::find(out.begin(), out.end(), address) == out.end())
            out.push_back(address);
    }
    return out;
}
