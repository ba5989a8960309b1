#include "pumpcore/PumpCore.h"

#include "BusinessLogic/Command.h"
#include "BusinessLogic/LocalCommand.h"
#include "GUI/OperationItem.h"
#include "GUI/OperationItemStatus.h"
#include "program/ProgramRunner.h"
#include "pump/AttachTable.h"
#include "recorder/RunStateJudge.h"

PumpCore::PumpCore(Options coreOptions, QObject *parent)
    : QObject(parent)
    , options(coreOptions)
    , commandTable(commands.table())
{
    refreshTimer = std::make_unique<GUI::RefreshTimer>(&commandStack, &commandTable);
    processSampler = std::make_unique<ProcessSampler>(pumpItems.all(),
                                                      [this] { return linkState().sampleLink(); });
    // After the refresher: it takes its answers first, so what the answer tells is in the items
    // before anyone hears of it.
    connect(&commandStack, &BusinessLogic::CommandStack::sendAnswer, this, &PumpCore::judge,
            Qt::DirectConnection);
    connect(&commandStack, &BusinessLogic::CommandStack::entriesCleared, this, &PumpCore::cleared,
            Qt::DirectConnection);
    connect(&communication, &Communication::portProblemChanged, this, &PumpCore::updateLinkState);
    if (options.polling) {
        Pump::AttachTable::attachAll(*refreshTimer, pumpItems.all());
        connect(refreshTimer.get(), &GUI::RefreshTimer::delivered, this, &PumpCore::roundDelivered);
        connect(refreshTimer.get(), &GUI::RefreshTimer::ticked, this, &PumpCore::tick);
        connect(processSampler.get(), &ProcessSampler::sampled, this, &PumpCore::stamp);
    } else {
        refreshTimer->noCyclicDataUpdate(true);
    }
    programRunner = std::make_unique<ProgramRunner>(*this);
}

PumpCore::~PumpCore()
{
    // The runner queues into the stack and listens to the sampler: it goes before both.
    programRunner.reset();
    // The poller holds tickets of the stack and pointers to the items: it goes first.
    processSampler.reset();
    refreshTimer.reset();
}

BusinessLogic::Command *PumpCore::command(Id id) const
{
    const auto index = static_cast<std::size_t>(BusinessLogic::toInt(id));
    return index < commandTable.size() ? commandTable[index] : nullptr;
}

bool PumpCore::onWire(BusinessLogic::Command *command)
{
    return command != nullptr && dynamic_cast<BusinessLogic::LocalCommand *>(command) == nullptr &&
           command->spezifier() != Id::GetCommRxState;
}

PumpCore::Ticket PumpCore::submit(Lane lane, Id id, int value, bool logFlag)
{
    if (id == Id::Stop)
        return stop(logFlag);
    BusinessLogic::Command *c = command(id);
    if (c == nullptr)
        return 0;
    switch (lane) {
    case Lane::Stop:
    case Lane::Operator:
        return commandStack.push(c, value, logFlag);
    case Lane::Remote:
        return commandStack.pushRemote(c, value, logFlag);
    case Lane::Program:
        return commandStack.pushProgram(c, value, logFlag);
    case Lane::Poll:
        break;
    }
    return commandStack.pushPoll(c, value, logFlag);
}

PumpCore::Ticket PumpCore::stop(bool logFlag)
{
    // First, so that a program ends before the Stop drops what it queued.
    emit stopRequested();
    BusinessLogic::Command *c = command(Id::Stop);
    return c != nullptr ? commandStack.pushStop(c, logFlag) : 0;
}

PumpCore::Ticket PumpCore::submitSetting(Lane lane, Id id, int value, QObject *context,
                                         std::function<void(bool)> done)
{
    const Ticket ticket = submit(lane, id, value);
    if (ticket != 0 && done)
        held.emplace(ticket, Held{context, std::move(done)});
    return ticket;
}

void PumpCore::judge(const Answer &answer)
{
    takeReadBack(answer);
    const auto range = held.equal_range(answer.ticket);
    std::vector<Held> waiting;
    for (auto it = range.first; it != range.second; ++it)
        waiting.push_back(it->second);
    held.erase(range.first, range.second);
    for (const Held &h : waiting) {
        if (h.context)
            h.done(answer.accepted());
    }
    if (RunStateJudge::keyOf(answer.commandId))
        processSampler->commandDone(answer.commandId, answer.accepted());
    if (answer.outcome != BusinessLogic::AnswerOutcome::Cleared &&
        onWire(command(static_cast<Id>(answer.commandId)))) {
        verdictState = LinkState::after(answer.outcome);
        if (options.polling && answer.outcome == BusinessLogic::AnswerOutcome::Silent)
            forgetStatusWords();
        updateLinkState();
    }
    emit answered(answer);
}

void PumpCore::forgetStatusWords()
{
    auto &status = pumpItems.get<OperationItemStatus>();
    for (int group = 0; group < OperationItemStatus::GroupCount; ++group)
        status.markStale(group);
}

void PumpCore::cleared(const std::vector<Ticket> &tickets)
{
    dropReadBacks(tickets);
    std::vector<Held> waiting;
    for (Ticket ticket : tickets) {
        const auto range = held.equal_range(ticket);
        for (auto it = range.first; it != range.second; ++it)
            waiting.push_back(it->second);
        held.erase(range.first, range.second);
    }
    for (const Held &h : waiting) {
        if (h.context)
            h.done(false);
    }
}

LinkState PumpCore::linkState() const
{
    const LinkState port =
        LinkState::port(communication.portOpen, communication.portProblem.text(),
                        communication.lineChattering, Communication::chatterText());
    if (port.kind != LinkState::Kind::Unknown)
        return port;
    return verdictState;
}

void PumpCore::updateLinkState()
{
    const LinkState now = linkState();
    if (now == shownState)
        return;
    shownState = now;
    emit linkStateChanged(now);
}

void PumpCore::roundDelivered()
{
    // One sample a round of polls: as soon as the round's last query is answered, so that a
    // change shows within the tick that asked for it.
    if (refreshTimer->pendingCount() == 0 && !roundSampled) {
        roundSampled = true;
        processSampler->sample();
    }
}

void PumpCore::tick()
{
    // A round that never completed (a silent pump) is sampled at the next tick.
    if (!roundSampled)
        processSampler->sample();
    roundSampled = false;
}

void PumpCore::markSamples(const QString &program, const QString &step)
{
    markedProgram = program;
    markedStep = step;
}

void PumpCore::stamp(const ProcessSample &sample)
{
    ProcessSample s = sample;
    s.program = markedProgram;
    s.step = markedStep;
    emit sampled(s);
}

PumpCore::Ticket PumpCore::readBack(Lane lane, Id query, int parameter)
{
    GUI::OperationItem *item = pumpItems.find(query);
    if (item == nullptr)
        return 0;
    const Ticket ticket = submit(lane, query, parameter, false);
    if (ticket != 0)
        readBacks.emplace(ticket, item);
    return ticket;
}

void PumpCore::takeReadBack(const Answer &answer)
{
    const auto it = readBacks.find(answer.ticket);
    if (it == readBacks.end())
        return;
    GUI::OperationItem *item = it->second;
    readBacks.erase(it);
    if (answer.accepted()) {
        Answer copy = answer;
        item->update(&copy);
    }
}

void PumpCore::dropReadBacks(const std::vector<Ticket> &tickets)
{
    for (Ticket ticket : tickets)
        readBacks.erase(ticket);
}
