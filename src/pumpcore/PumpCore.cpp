#include "pumpcore/PumpCore.h"

#include "BusinessLogic/Command.h"
#include "BusinessLogic/InvalidReason.h"
#include "BusinessLogic/LocalCommand.h"
#include "BusinessLogic/SettingCommand.h"
#include "GUI/OperationItem.h"
#include "GUI/OperationItemStatus.h"
#include "journal/Journal.h"
#include "pump/AttachTable.h"
#include "pump/KeyTable.h"
#include "recorder/RunStateJudge.h"

PumpCore::PumpCore(Options coreOptions, QObject *parent)
    : QObject(parent)
    , options(coreOptions)
    , commandTable(commands.table())
{
    // Answers, command ids and the reasons a frame was invalid cross threads in queued signals.
    qRegisterMetaType<Answer>("Answer");
    qRegisterMetaType<BusinessLogic::CommandSpezifier>("BusinessLogic::CommandSpezifier");
    qRegisterMetaType<BusinessLogic::CommandSpezifier>("BusinessLogic::ComanndSpezifier");
    BusinessLogic::registerInvalidReasonMetaTypes();
    qRegisterMetaType<std::vector<BusinessLogic::InvalidReason>>(
        "vector<BusinessLogic::InvalidReason>");
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
    connect(this, &PumpCore::linkStateChanged, this, &PumpCore::recordLink);
}

PumpCore::~PumpCore()
{
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
    Ticket ticket = 0;
    switch (lane) {
    case Lane::Stop:
    case Lane::Operator:
        ticket = commandStack.push(c, value, logFlag);
        break;
    case Lane::Remote:
        ticket = commandStack.pushRemote(c, value, logFlag);
        break;
    case Lane::Program:
        ticket = commandStack.pushProgram(c, value, logFlag);
        break;
    case Lane::Poll:
        return commandStack.pushPoll(c, value, logFlag);
    }
    remember(lane, id, value, ticket);
    return ticket;
}

PumpCore::Ticket PumpCore::stop(bool logFlag)
{
    // First, so that a program ends before the Stop drops what it queued.
    emit stopRequested(currentOrigin);
    BusinessLogic::Command *c = command(Id::Stop);
    if (c == nullptr)
        return 0;
    const Ticket ticket = commandStack.pushStop(c, logFlag);
    remember(Lane::Stop, Id::Stop, 0, ticket);
    return ticket;
}

void PumpCore::attachJournal(Journal *journal, const QString &pumpId)
{
    journalSink = journal;
    pumpName = pumpId;
}

QString PumpCore::pumpId() const
{
    if (!pumpName.isEmpty())
        return pumpName;
    return QStringLiteral("%1:%2").arg(communication.portName()).arg(communication.address());
}

const RequestOrigin *PumpCore::originOf(Ticket ticket) const
{
    const auto it = sent.find(ticket);
    return it != sent.end() ? &it->second.origin : nullptr;
}

namespace {

const Pump::KeyTable::Key *settingKey(BusinessLogic::CommandSpezifier id)
{
    for (const Pump::KeyTable::Key &key : Pump::KeyTable::keys()) {
        if (key.set == id)
            return &key;
    }
    return nullptr;
}

QString verdictName(BusinessLogic::AnswerOutcome outcome)
{
    using Outcome = BusinessLogic::AnswerOutcome;
    switch (outcome) {
    case Outcome::Answered:
        return QStringLiteral("accepted");
    case Outcome::Unacknowledged:
        return QStringLiteral("sent, not acknowledged");
    case Outcome::Nak:
        return QStringLiteral("refused");
    case Outcome::Silent:
        return QStringLiteral("no answer");
    case Outcome::Cleared:
        return QStringLiteral("dropped");
    case Outcome::InvalidFrame:
        break;
    }
    return QStringLiteral("garbled");
}

} // namespace

void PumpCore::remember(Lane, Id id, int value, Ticket ticket)
{
    // A Stop joining one already queued shares its ticket: the first asker stays on record.
    if (ticket == 0 || sent.count(ticket) != 0)
        return;
    Sent s{currentOrigin, id, value, QJsonValue()};
    if (journalSink != nullptr &&
        dynamic_cast<BusinessLogic::SettingCommand *>(command(id)) != nullptr) {
        const Pump::KeyTable::Key *key = settingKey(id);
        if (key != nullptr && key->readable())
            s.before = Pump::KeyTable::json(*key, pumpItems);
    }
    sent.emplace(ticket, std::move(s));
}

void PumpCore::record(const Answer &answer)
{
    const auto it = sent.find(answer.ticket);
    if (journalSink == nullptr || it == sent.end())
        return;
    const Sent &s = it->second;
    if (dynamic_cast<BusinessLogic::SettingCommand *>(command(s.id)) == nullptr)
        return;
    const Pump::KeyTable::Key *key = settingKey(s.id);
    QJsonObject fields{{QStringLiteral("command"), BusinessLogic::toInt(s.id)},
                       {QStringLiteral("sent"), s.value},
                       {QStringLiteral("verdict"), verdictName(answer.outcome)}};
    if (key != nullptr) {
        const QJsonValue value = Pump::KeyTable::json(*key, s.value);
        fields.insert(QStringLiteral("key"), key->name);
        fields.insert(QStringLiteral("value"), value);
        if (key->readable())
            fields.insert(QStringLiteral("before"), s.before);
        // What the pump holds now as far as we know: the value sent once it took it.
        fields.insert(QStringLiteral("after"), answer.accepted() ? value : s.before);
    }
    if (!s.origin.request.isEmpty())
        fields.insert(QStringLiteral("request"), s.origin.request);
    journalSink->append(pumpId(), QStringLiteral("setting"), s.origin.frontEnd, s.origin.who,
                        fields, s.origin.runId);
}

void PumpCore::recordLink(const LinkState &state)
{
    if (journalSink == nullptr || state.kind == LinkState::Kind::Unknown ||
        state.connected() == journaledConnected)
        return;
    journaledConnected = state.connected();
    journalSink->append(pumpId(), QStringLiteral("link"), currentOrigin.frontEnd, currentOrigin.who,
                        {{QStringLiteral("connected"), state.connected()},
                         {QStringLiteral("state"), state.text()},
                         {QStringLiteral("port"), communication.portName()}});
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
    processSampler->commandDone(answer.commandId, answer.accepted());
    if (answer.outcome != BusinessLogic::AnswerOutcome::Cleared &&
        onWire(command(static_cast<Id>(answer.commandId)))) {
        verdictState = LinkState::after(answer.outcome);
        if (options.polling && answer.outcome == BusinessLogic::AnswerOutcome::Silent)
            forgetStatusWords();
        updateLinkState();
    }
    record(answer);
    emit answered(answer);
    sent.erase(answer.ticket);
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
        sent.erase(ticket);
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
