#include "remote/HeadlessPump.h"

#include "GUI/AttachTable.h"
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
    // The poller's own timer is its tick: a sample right after it holds one whole round.
    if (QTimer *tick = refresher->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
        connect(tick, &QTimer::timeout, sampling, &ProcessSampler::sample);
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
