#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QTest>

#ifndef FLUXO_SIM_PROGRAM
#error "FLUXO_SIM_PROGRAM must name the built fluxo-sim"
#endif

SimProcess::SimProcess(int address, const QStringList &extra)
    : pumpAddress(address)
    , extraArguments(extra)
{}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start()
{
    // Standard input stays open: the simulator reads fault commands there.
    process.start(QStringLiteral(FLUXO_SIM_PROGRAM),
                  QStringList{QStringLiteral("--address"), QString::number(pumpAddress),
                              QStringLiteral("--baud"), QStringLiteral("9600"),
                              QStringLiteral("--log")} +
                      extraArguments);
    if (!process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!process.canReadLine() && !deadline.hasExpired()) {
        if (process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(100);
    }
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
    if (!path.startsWith(QLatin1String("/dev/")))
        return false;
    // A balance's device comes on the second line.
    if (!extraArguments.contains(QStringLiteral("--balance")))
        return true;
    while (!process.canReadLine() && !deadline.hasExpired()) {
        if (process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(100);
    }
    balance = QString::fromLocal8Bit(process.readLine()).trimmed();
    return balance.startsWith(QLatin1String("/dev/"));
}

void SimProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    logText += process.readAllStandardError();
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
    logText += process.readAllStandardError();
}

std::vector<SimLog::Entry> SimProcess::log()
{
    logText += process.readAllStandardError();
    return SimLog::parse(logText);
}

QStringList SimProcess::received()
{
    return SimLog::received(log());
}

void SimProcess::control(const QByteArray &line)
{
    process.write(line + '\n');
    process.waitForBytesWritten(1000);
}

bool SimProcess::waitForReceived(int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (received().size() < count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}
