#include "cli/RunLoop.h"

#include "cli/CliOutput.h"

#include <QEventLoop>
#include <QTimer>

#include <csignal>

std::vector<int> RunLoop::endingSignals()
{
    return {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
}

RunLoop::RunLoop()
    : termination(endingSignals())
{
    connect(&termination, &TerminationSignals::received, this, [this](int number) {
        // The first one counts: a second Ctrl-C while Stop goes out changes nothing.
        if (signalNumber == 0)
            signalNumber = number;
    });
}

std::optional<int> RunLoop::interruption()
{
    termination.deliverPending();
    if (signalNumber != 0)
        return 128 + signalNumber;
    if (CliOutput::readerGone())
        return ReaderGone;
    return std::nullopt;
}

int RunLoop::exec(int intervalMs, const Tick &tick)
{
    QEventLoop loop;
    int status = 0;
    QTimer timer;
    // Whether the loop ends here; a tick's own end wins over an interruption met during it.
    const auto ends = [&]() {
        std::optional<int> done = interruption();
        if (!done)
            done = tick();
        if (wantedMs > 0 && timer.interval() != wantedMs)
            timer.setInterval(wantedMs);
        if (!done)
            done = interruption();
        if (done) {
            status = *done;
            timer.stop();
            loop.exit();
        }
        return done.has_value();
    };
    connect(&termination, &TerminationSignals::received, &loop, [&] {
        status = *interruption();
        timer.stop();
        loop.exit();
    });
    // Samples keep their rhythm: a coarse timer drifts by up to a twentieth of the interval.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, &loop, ends);
    // The rhythm counts from each tick's start, the first's included.
    QTimer::singleShot(0, &loop, [&] {
        timer.start();
        ends();
    });
    loop.exec();
    return status;
}
