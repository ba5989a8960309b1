#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so that a program ended
// by the system, a service manager or Ctrl-C tears down in order (the port closed, the settings
// written) instead of dying in the middle of an exchange. One object at a time; the default
// actions come back when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be caught (they then keep their default action).
    bool active() const { return notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *notifier = nullptr;
};
