#pragma once

#include "recorder/ProcessSample.h"
#include "recorder/RunStateJudge.h"

#include <QObject>

#include <functional>
#include <vector>

class OperationItemStatus;

namespace GUI {
class OperationItem;
}

// Takes one sample of the pump's process values from the window's operation items each time it
// is asked (after every refresh tick) and hands it on. It reads the items only; what the pump
// answers reaches them as before.
class ProcessSampler : public QObject
{
    Q_OBJECT

public:
    using LinkProbe = std::function<ProcessSample::Link()>;
    using Clock = std::function<qint64()>;

    // items: the window's items (not owned; those it needs are found by their command id).
    // link: what the link label shows now. clock: UTC milliseconds (the system clock if empty).
    ProcessSampler(const std::vector<GUI::OperationItem *> &items, LinkProbe link, Clock clock = {},
                   QObject *parent = nullptr);

    ProcessSample take() const;
    RunStateJudge::Key lastAccepted() const { return lastKey; }

    // The pump's elapsed-time text (HHMMSS and hundredths; missing pairs count 0) in ms.
    static qint64 elapsedMs(const QString &text);

public slots:
    // Takes a sample and hands it on; the keys taken so far are older than the next one's status.
    void sample();
    // Every executed command: the run keys the pump took decide between paused and stopped,
    // priming and running; a start makes the run's counts unknown until they are read again.
    void commandDone(int commandId, bool accepted);

signals:
    void sampled(const ProcessSample &sample);

private:
    GUI::OperationItem *runMode = nullptr;
    GUI::OperationItem *volumeDelivered = nullptr;
    GUI::OperationItem *timeElapsed = nullptr;
    OperationItemStatus *status = nullptr;
    GUI::OperationItem *volumeTarget = nullptr;
    GUI::OperationItem *flowRate = nullptr;
    GUI::OperationItem *dispenseTime = nullptr;
    LinkProbe linkProbe;
    Clock clock;
    RunStateJudge::Key lastKey = RunStateJudge::Key::None;
    // A key taken since the last sample: the status the items hold was read before it (status
    // group 1 is asked once per tick, and the key's exchange came after that answer).
    bool keySinceSample = false;
    // A start was taken after the delivered volume or the elapsed time was last read: what the
    // items hold is the previous run's.
    bool volumeBeforeStart = false;
    bool timeBeforeStart = false;
};
