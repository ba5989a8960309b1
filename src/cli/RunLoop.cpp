#include "cli/RunLoop.h"

#include "cli/CliOutput.h"
#include "cli/PumpSession.h"

#include <QEventLoop>
#include <QTimer>

RunLoop::RunLoop(PumpSession &pumpSession, const CliOutput &out)
    : session(pumpSession)
    , output(out)
{}

int RunLoop::exec(int intervalMs, const Tick &tick)
{
    QEventLoop loop;
    int status = 0;
    connect(&termination, &TerminationSignals::received, &loop, [&](int signalNumber) {
        const PumpSession::Exchange e = session.run(PumpSession::Id::Stop);
        output.message(e.answered() ? QStringLiteral("interrupted: the pump was stopped")
                                    : QStringLiteral("interrupted: Stop was sent, but the pump "
                                                     "did not confirm it; check the pump"));
        status = 128 + signalNumber;
        loop.exit();
    });
    QTimer timer;
    // Samples keep their rhythm: a coarse timer drifts by up to a twentieth of the interval.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        const std::optional<int> done = tick();
        if (done) {
            status = *done;
            timer.stop();
            loop.exit();
        }
    });
    QTimer::singleShot(0, &loop, [&] {
        const std::optional<int> done = tick();
        if (done) {
            status = *done;
            loop.exit();
        } else {
            timer.start();
        }
    });
    loop.exec();
    return status;
}
