#pragma once

#include "platform/SystemTime.h"

#include <string>

namespace BusinessLogic {

// Text form of one logged frame: "hh:mm:ss:mmm " and the frame with every byte outside "0".."z"
// escaped (see EscapedText).
class TrafficLogFormat
{
public:
    // "09:05:07:042 ": 13 characters, the last a blank.
    static std::string stamp(const SystemTime &time);
    // Stamp followed by the escaped frame.
    static std::string line(const SystemTime &time, const std::string &frame);
};

} // namespace BusinessLogic
