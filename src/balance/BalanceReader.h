#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

// A lab balance on a serial port, in the simple command set most balances speak (9600 8N1,
// commands and answers end in CR LF): Z zeroes, S asks for a stable weight, SI for the weight
// now. Every wait is bounded: an answer line within the time given, at most MaxLine bytes.
// An unstable answer ("S D") is asked again until the weight holds or the time is up.
class BalanceReader
{
public:
    static constexpr int MaxLine = 64;
    static constexpr int RetryMs = 100; // between two asks while the weight settles

    // One answer line, classified.
    struct Reply
    {
        enum class Kind { Stable, Dynamic, ZeroDone, Busy, Error, Garbled };
        Kind kind = Kind::Garbled;
        double grams = 0; // Stable and Dynamic
        QString text;     // Error and Garbled: what the balance said, in words
    };
    struct Reading
    {
        bool ok = false;
        double grams = 0;
        QString error; // when not ok: a sentence for the operator
    };

    BalanceReader() = default;
    // false with error() set when the port cannot be opened.
    bool open(const QString &port, qint32 baud = QSerialPort::Baud9600);
    void close();
    QString error() const { return problem; }

    // Zeroes the balance with the vessel on it; false with error() set.
    bool zero(int timeoutMs);
    // The stable weight in grams, within timeoutMs.
    Reading stableWeight(int timeoutMs);

    // Pure: one answer line without its CR LF.
    static Reply parse(const QByteArray &line);

private:
    // Sends command and reads one answer line before deadline; false on silence.
    bool exchange(const QByteArray &command, qint64 deadlineMs, QByteArray *line);

    QSerialPort port;
    QString problem;
};
