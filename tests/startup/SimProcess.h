#pragma once

#include "SimLog.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <vector>

// fluxo-sim run as a program of its own, with its frame log: the device to open is the first line
// on standard output, the log arrives on standard error.
class SimProcess
{
public:
    // extra: further options for fluxo-sim ("--type", "02").
    explicit SimProcess(int address, const QStringList &extra = {});
    ~SimProcess();

    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator and waits for its device path; false when it does not come.
    bool start();
    void stop();

    QString devicePath() const { return path; }
    // With --balance among the extra options: the balance's device.
    QString balancePath() const { return balance; }
    int address() const { return pumpAddress; }
    // Everything logged so far.
    std::vector<SimLog::Entry> log();
    QStringList received();
    // One line for the simulator's standard input: a fault command such as "error power on".
    void control(const QByteArray &line);
    // Runs the event loop until at least count frames were received; false after timeoutMs.
    bool waitForReceived(int count, int timeoutMs);

private:
    QProcess process;
    int pumpAddress;
    QStringList extraArguments;
    QString path;
    QString balance;
    QByteArray logText;
};
