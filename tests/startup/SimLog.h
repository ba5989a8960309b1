#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The frame log of fluxo-sim --log, one line per frame or event:
//   "12:00:01.123 rx <STX>01?DV<ETX>-  query ?DV = 00010000"
//   "12:00:01.136 tx <STX>00010000<ETX><NUL>"
//   "12:00:00.900 -- device /dev/pts/5"
class SimLog
{
public:
    struct Entry
    {
        // Milliseconds since the midnight before the first line; a log that runs past midnight
        // keeps counting up.
        qint64 ms = 0;
        // "rx", "tx" or "--".
        QString direction;
        // What lies between <STX> and <ETX> ("01?DV"); empty for a line without a whole frame.
        QString body;
        QString line;
    };

    // Lines that do not start with a time stamp are skipped.
    static std::vector<Entry> parse(const QByteArray &text);
    // The bodies of the received frames, in order.
    static QStringList received(const std::vector<Entry> &entries);
    // The received frames only.
    static std::vector<Entry> receivedEntries(const std::vector<Entry> &entries);
    // What the pump counted (thousandths of a ml) over the runs started from entries[from] on:
    // the last count it answered before each next Start or Prime, and the last one of the final
    // run.
    static qint64 runsTotal(const std::vector<Entry> &entries, std::size_t from = 0);
    // How many ?TV queries the pump answered.
    static int countsAnswered(const std::vector<Entry> &entries);
};
