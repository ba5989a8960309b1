#pragma once

#include <map>
#include <string>

// The receipt stamps a bridge or the service writes on standard error with
// DOSETTA_RECEIPT_STAMPS=1: "receipt <ms since the epoch> <topic> <correlation data>", topic and
// correlation percent-encoded; other lines are skipped.
class ReceiptLog
{
public:
    // Correlation data -> the moment of its first receipt (system clock, ms since the epoch), for
    // the messages on topics that end with topicEnd.
    static std::map<std::string, double> read(const std::string &path, const std::string &topicEnd);
    static std::string percentDecoded(const std::string &text);
};
