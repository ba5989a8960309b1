#include "WireTrace.h"

double WireTrace::byteMs(int baud)
{
    return 10.0 * 1000.0 / static_cast<double>(baud);
}

double WireTrace::Tally::wireMs(int baud, int turnaroundMs) const
{
    return static_cast<double>(txBytes + rxBytes) * byteMs(baud) +
           static_cast<double>(answers) * turnaroundMs;
}

void WireTrace::record(const fluxosim::LogEntry &entry)
{
    using Kind = fluxosim::LogEntry::Kind;
    if (entry.kind != Kind::Received && entry.kind != Kind::Sent)
        return;
    Frame frame{Clock::now(), entry.kind, entry.bytes};
    const std::lock_guard<std::mutex> lock(mutex);
    entries.push_back(std::move(frame));
}

std::vector<WireTrace::Frame> WireTrace::frames() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return entries;
}

WireTrace::Tally WireTrace::tally(Clock::time_point from, Clock::time_point to) const
{
    Tally t;
    const std::lock_guard<std::mutex> lock(mutex);
    for (const Frame &frame : entries) {
        if (frame.at < from || frame.at > to)
            continue;
        if (frame.kind == fluxosim::LogEntry::Kind::Received) {
            t.txBytes += frame.bytes.size();
            ++t.frames;
        } else {
            t.rxBytes += frame.bytes.size();
            ++t.answers;
        }
    }
    return t;
}
