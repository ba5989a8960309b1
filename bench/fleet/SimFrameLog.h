#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The frames of one fluxo-sim frame log (--log): "12:00:01.123 rx <STX>01RV00012500<ETX><1f>
// verdict". The simulator stamps a received frame once its last byte would have crossed the line
// and a sent answer once its last byte has left, in local time of day to the millisecond; each
// frame is placed here on the system clock (milliseconds since the epoch), on the day nearest to
// a given moment.
class SimFrameLog
{
public:
    struct Frame
    {
        double epochMs = 0; // the middle of the stamped millisecond
        bool received = false;
        std::string text;          // as the log escapes it
        std::size_t wireBytes = 0; // bytes on the line
    };

    // Frames of the file in their order; lines other than frames are skipped.
    static std::vector<Frame> read(const std::string &path, double nearEpochMs);
    // A time of day (ms since local midnight) as milliseconds since the epoch, on the day that
    // puts it nearest to nearEpochMs.
    static double epochMsOf(double msOfDay, double nearEpochMs);
    // The escaped bytes at the start of text, up to the end of the frame; their count goes to
    // *bytes. A frame ends with the byte after ETX (its check character) or at a double blank.
    static std::string frameText(const std::string &text, std::size_t *bytes);
};
