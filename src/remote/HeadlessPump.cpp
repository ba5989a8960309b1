#include "remote/HeadlessPump.h"

#include "GUI/AttachTable.h"
#include "GUI/OperationItem.h"
#include "recorder/RunStateJudge.h"

HeadlessPump::HeadlessPump(const QString &port, int address, QObject *parent)
    : QObject(parent)
    , table(commandSet.table())
{
    link.setAddress(address);
    link.setCommPortName(port);
    refresher = std::make_unique<GUI::RefreshTimer>(&stack, &table);
    GUI::AttachTable::attachAll(*refresher, items.all());
    sampling = new ProcessSampler(
        items.all(),
        [this] {
            if (!link.portOpen)
                return ProcessSample::Link::PortUnavailable;
            return link.rxNoFrame ? ProcessSample::Link::Disconnected
                                  : ProcessSample::Link::Connected;
        },
        {}, this);
    // One sample a round of polls: as soon as the round's last query is answered, so that a
    // change shows within the tick that asked for it; at the next tick when the round never
    // completed (a silent pump).
    connect(refresher.get(), &GUI::RefreshTimer::delivered, sampling, [this] {
        if (refresher->pendingCount() == 0 && !roundSampled) {
            roundSampled = true;
            sampling->sample();
        }
    });
    if (QTimer *tick = refresher->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
        connect(tick, &QTimer::timeout, sampling, [this] {
            if (!roundSampled)
                sampling->sample();
            roundSampled = false;
        });
    connect(&stack, &BusinessLogic::CommandStack::sendAnswer, sampling, [this](const Answer &a) {
        if (RunStateJudge::keyOf(a.commandId))
            sampling->commandDone(a.commandId,
                                  RunStateJudge::accepted(link.rxAck, link.rxNak,
                                                          link.protocolAnswer, link.portOpen));
    });
    connect(&reopenTimer, &QTimer::timeout, this, [this] {
        if (!link.portOpen)
            link.reopen();
    });
    reopenTimer.start(ReopenMs);
}

HeadlessPump::~HeadlessPump()
{
    // The poller holds tickets of the stack; it goes first.
    refresher.reset();
}

PumpBridge::Pump HeadlessPump::parts()
{
    return {&stack, &table, items.all(), &link};
}
