#pragma once

#include "platform/SystemTime.h"

#include <QString>

#include <string>

namespace BusinessLogic {

// Text form of one logged frame: "hh:mm:ss:mmm " and the frame with every byte outside "0".."z"
// written as '/ddd' (apostrophe, slash, three-digit unsigned code, apostrophe).
class TrafficLogFormat
{
public:
    // "09:05:07:042 ": 13 characters, the last a blank.
    static std::string stamp(const SystemTime &time);
    // Escapes line in place from position `from` to the end.
    static void escape(std::string &line, std::size_t from);
    // Stamp followed by the escaped frame.
    static std::string line(const SystemTime &time, const std::string &frame);
    // Text a client chose (a server name), for a log line or a terminal: printable characters as
    // they are, every other one (control and format characters, line and paragraph separators)
    // as its UTF-8 bytes in the frames' notation, so that it cannot move the cursor, recolour
    // or break the line.
    static QString text(const QString &text);
};

} // namespace BusinessLogic
