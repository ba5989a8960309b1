#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> caught{SIGTERM, SIGINT, SIGHUP};
// The handler may only write to a pipe; the event loop reads the other end.
int wakeUp[2] = {-1, -1};

extern "C" void onTermination(int signalNumber)
{
    const int savedErrno = errno;
    const char number = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (wakeUp[0] >= 0 || ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    struct sigaction action
    {
    };
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : caught)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (notifier == nullptr)
        return;
    for (int signalNumber : caught)
        ::signal(signalNumber, SIG_DFL);
    delete notifier;
    ::close(wakeUp[0]);
    ::close(wakeUp[1]);
    wakeUp[0] = wakeUp[1] = -1;
}

void TerminationSignals::drain()
{
    char numbers[16];
    ssize_t n = 0;
    while ((n = ::read(wakeUp[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(numbers[i]);
    }
}
