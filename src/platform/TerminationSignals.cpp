#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

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
    : TerminationSignals({SIGTERM, SIGINT, SIGHUP}, parent)
{}

TerminationSignals::TerminationSignals(const std::vector<int> &signalNumbers, QObject *parent)
    : QObject(parent)
{
    if (wakeUp[0] >= 0 || ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::deliverPending);
    struct sigaction action
    {
    };
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : signalNumbers) {
        Previous before{signalNumber, {}};
        // An ignored hang-up was asked for (nohup). A shell also starts its background jobs
        // with SIGINT and SIGQUIT ignored, but a deliberate kill -INT must still end them in
        // order.
        if (::sigaction(signalNumber, nullptr, &before.action) != 0 ||
            (signalNumber == SIGHUP && before.action.sa_handler == SIG_IGN))
            continue;
        if (::sigaction(signalNumber, &action, nullptr) == 0)
            previous.push_back(before);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (notifier == nullptr)
        return;
    for (const Previous &before : previous)
        ::sigaction(before.signalNumber, &before.action, nullptr);
    delete notifier;
    ::close(wakeUp[0]);
    ::close(wakeUp[1]);
    wakeUp[0] = wakeUp[1] = -1;
}

void TerminationSignals::deliverPending()
{
    if (notifier == nullptr)
        return;
    char numbers[16];
    ssize_t n = 0;
    while ((n = ::read(wakeUp[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(numbers[i]);
    }
}
