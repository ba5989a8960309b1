#pragma once

#include <QString>

#include <cstddef>
#include <string>

// Text from outside (a frame off the line, a name a client chose) made fit for a log line or a
// terminal: what could move the cursor, recolour or break the line is written as '/ddd'
// (apostrophe, slash, the byte's three-digit unsigned code, apostrophe). The traffic log, the
// bridge and the SiLA server all write it this one way, so one reader decodes every log.
class EscapedText
{
public:
    // Raw bytes, in place from position `from` to the end: every byte outside "0".."z" escaped.
    static void bytes(std::string &line, std::size_t from = 0);
    // Printable characters as they are, every other one (control and format characters, line
    // and paragraph separators) as its UTF-8 bytes, each escaped.
    static QString text(const QString &text);
};
