#include "SimFrameLog.h"

#include <cmath>
#include <ctime>
#include <fstream>

namespace {

constexpr double DayMs = 86400000.0;

// "HH:MM:SS.mmm" as milliseconds since midnight; negative when the line does not start so.
double timeOfDay(const std::string &line)
{
    if (line.size() < 13 || line[2] != ':' || line[5] != ':' || line[8] != '.' || line[12] != ' ')
        return -1.0;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 11}) {
        if (line[i] < '0' || line[i] > '9')
            return -1.0;
    }
    const auto number = [&line](std::size_t at, std::size_t n) {
        return std::stod(line.substr(at, n));
    };
    return ((number(0, 2) * 60 + number(3, 2)) * 60 + number(6, 2)) * 1000 + number(9, 3);
}

} // namespace

double SimFrameLog::epochMsOf(double msOfDay, double nearEpochMs)
{
    // Local midnight of the day of nearEpochMs, from the C library's view of the time zone.
    const std::time_t near = static_cast<std::time_t>(nearEpochMs / 1000.0);
    std::tm local{};
    ::localtime_r(&near, &local);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    const double midnight = static_cast<double>(std::mktime(&local)) * 1000.0;
    double at = midnight + msOfDay;
    while (at - nearEpochMs > DayMs / 2)
        at -= DayMs;
    while (nearEpochMs - at > DayMs / 2)
        at += DayMs;
    return at;
}

std::string SimFrameLog::frameText(const std::string &text, std::size_t *bytes)
{
    std::size_t at = 0;
    std::size_t count = 0;
    bool afterEtx = false;
    while (at < text.size() && text.compare(at, 2, "  ") != 0) {
        std::size_t next = at + 1;
        if (text[at] == '<') {
            const std::size_t close = text.find('>', at);
            next = close == std::string::npos ? text.size() : close + 1;
        }
        const bool etx = text.compare(at, next - at, "<ETX>") == 0;
        ++count;
        at = next;
        if (afterEtx)
            break;
        afterEtx = etx;
    }
    *bytes = count;
    return text.substr(0, at);
}

std::vector<SimFrameLog::Frame> SimFrameLog::read(const std::string &path, double nearEpochMs)
{
    std::vector<Frame> frames;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const double ms = timeOfDay(line);
        if (ms < 0)
            continue;
        const std::string rest = line.substr(13);
        const bool rx = rest.compare(0, 3, "rx ") == 0;
        if (!rx && rest.compare(0, 3, "tx ") != 0)
            continue;
        Frame frame;
        frame.epochMs = epochMsOf(ms + 0.5, nearEpochMs);
        frame.received = rx;
        frame.text = frameText(rest.substr(3), &frame.wireBytes);
        frames.push_back(frame);
    }
    return frames;
}
