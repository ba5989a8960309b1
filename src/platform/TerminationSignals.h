#pragma once

#include <QObject>

#include <csignal>
#include <vector>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (or the signals named) into a Qt signal on the event loop, so
// that a program ended by the system, a service manager or Ctrl-C tears down in order (the port
// closed, the settings written) instead of dying in the middle of an exchange. A SIGHUP that was
// ignored when the object was made stays ignored (nohup). One object at a time; the actions from
// before come back when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    explicit TerminationSignals(const std::vector<int> &signalNumbers, QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be caught (they then keep their default action).
    bool active() const { return notifier != nullptr; }
    // Emits received for the signals that arrived so far, without the event loop: for a caller
    // that blocks on other work between its looks.
    void deliverPending();

signals:
    void received(int signalNumber);

private:
    struct Previous
    {
        int signalNumber;
        struct sigaction action;
    };

    QSocketNotifier *notifier = nullptr;
    std::vector<Previous> previous;
};
