#include "remote/PumpBridge.h"

#include "journal/Journal.h"
#include "journal/JournalReader.h"
#include "program/ProgramRunner.h"
#include "pump/AttachTable.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/StatusFlags.h"
#include "pumpcore/LinkState.h"
#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"
#include "recorder/SampleJson.h"
#include "remote/HaDiscovery.h"
#include "remote/RemoteRequest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace {

using Id = PumpCore::Id;
using Lane = PumpCore::Lane;

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

QString answerText(BusinessLogic::AnswerOutcome outcome)
{
    switch (outcome) {
    case BusinessLogic::AnswerOutcome::Nak:
        return QStringLiteral("NAK");
    case BusinessLogic::AnswerOutcome::Unacknowledged:
        return QStringLiteral("taken without acknowledgement");
    case BusinessLogic::AnswerOutcome::Silent:
        return QStringLiteral("no answer");
    case BusinessLogic::AnswerOutcome::InvalidFrame:
        return QStringLiteral("answer failed its check");
    case BusinessLogic::AnswerOutcome::Cleared:
        return QStringLiteral("cleared before it was sent");
    case BusinessLogic::AnswerOutcome::Answered:
        break;
    }
    return QStringLiteral("ACK");
}

// A received value for one journal line: short, on one line.
QString logValue(const QString &value)
{
    const int most = 40;
    QString text = value.left(most);
    for (QChar &c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return value.size() > most ? text + QStringLiteral("...") : text;
}

QString knownText(const char *key, const Pump::PumpItems &items)
{
    const QJsonValue v = Pump::KeyTable::json(Pump::KeyTable::key(QLatin1String(key)), items);
    return v.isString() ? v.toString() : QString();
}

} // namespace

PumpBridge::PumpBridge(const BridgeOptions &bridgeOptions, const QString &pumpId, PumpCore &core,
                       ProgramRunner &programRunner, const QString &programVersion, QObject *parent)
    : QObject(parent)
    , options(bridgeOptions)
    , id(pumpId)
    , pump(core)
    , runner(programRunner)
    , version(programVersion)
    , names(bridgeOptions.topicPrefix, pumpId)
    , startMs(QDateTime::currentMSecsSinceEpoch())
    , claim(names, startMs)
{
    connect(&claim, &IdClaim::claimGranted, this, &PumpBridge::claimGranted);
    connect(&claim, &IdClaim::claimRefused, this, &PumpBridge::claimRefused);
    connect(&claim, &IdClaim::claimDue, this, [this] {
        client->publish(names.owner(), claim.record(), 1, true);
        client->publish(names.availability(), Online, 1, true);
    });
    connect(&pump, &PumpCore::answered, this, &PumpBridge::answered, Qt::DirectConnection);
    connect(&pump.stack(), &BusinessLogic::CommandStack::entriesCleared, this, &PumpBridge::cleared,
            Qt::DirectConnection);
    connect(&pump, &PumpCore::linkStateChanged, this, &PumpBridge::linkChanged);
    connect(&runner, &ProgramRunner::statusChanged, this, &PumpBridge::programChanged);
    connect(&runner, &ProgramRunner::ended, this, &PumpBridge::programEnded);
    programTimer.setSingleShot(true);
    connect(&programTimer, &QTimer::timeout, this, &PumpBridge::publishProgram);
    // Written on the journal's own thread.
    if (Journal *journal = pump.journal())
        connect(journal, &Journal::written, this, &PumpBridge::publishJournal,
                Qt::QueuedConnection);
    readTotals();
}

PumpBridge::~PumpBridge()
{
    // Nobody would hear their results: what the network asked and is still queued goes.
    disconnect(&pump.stack(), nullptr, this, nullptr);
    pump.stack().removeLane(Lane::Remote);
}

void PumpBridge::setControlAllowed(bool allowed)
{
    options.allowControl = allowed;
    if (!allowed)
        revoke(Pump::KeyTable::Permission::Control);
    publishDiscovery(true);
}

void PumpBridge::setConfigAllowed(bool allowed)
{
    options.allowConfig = allowed;
    if (!allowed)
        revoke(Pump::KeyTable::Permission::Config);
}

void PumpBridge::revoke(Pump::KeyTable::Permission permission)
{
    std::vector<PumpCore::Ticket> tickets;
    for (const Waiting &w : waiting) {
        if (w.permission == permission)
            tickets.push_back(w.ticket);
    }
    for (const ReadBack &r : readBacks) {
        if (r.permission == permission)
            tickets.push_back(r.ticket);
    }
    pump.stack().removeTickets(Lane::Remote, tickets);
}

void PumpBridge::start()
{
    client = std::make_unique<MqttClient>(
        options, QStringLiteral("dosetta-%1-%2").arg(id).arg(QCoreApplication::applicationPid()));
    connect(client.get(), &MqttClient::connectedChanged, this, &PumpBridge::connectedChanged);
    connect(client.get(), &MqttClient::messageReceived, this, &PumpBridge::message);
    connect(&pump.stack(), &BusinessLogic::CommandStack::pollDue, client.get(),
            &MqttClient::readArrived);
    connect(client.get(), &MqttClient::refused, this, &PumpBridge::refused);
    connect(client.get(), &MqttClient::attemptFailed, this, &PumpBridge::attemptFailed);
    connect(client.get(), &MqttClient::subscriptionFailed, this,
            [this](const QString &filter, const QString &reason) {
                if (!refusedFilters.contains(filter)) {
                    refusedFilters.insert(filter);
                    emit subscriptionFailed(filter, reason);
                }
            });
    client->subscribe({names.setFilter(), names.command(), names.programRun()});
    client->subscribe(claim.filters(), true);
    // A bridge that leaves because its id is taken disconnects in order, so the broker drops
    // this will rather than publish it over the serving bridge's availability.
    client->start(names.availability(), Offline);
}

void PumpBridge::stopTakingRequests()
{
    leaving = true;
    held.clear();
    pump.stack().removeLane(Lane::Remote);
    // The counts still open are said while the session still passes the lines on.
    requestLog.flush();
}

void PumpBridge::finish()
{
    requestLog.flush();
    // Nobody watches the pump any more, and no bridge serves the id.
    if (publishing()) {
        client->publish(names.pump(), Offline, 1, true);
        client->publish(names.owner(), QByteArray(), 1, true);
    }
    if (client && claim.granted())
        client->finish(names.availability(), Offline);
    client.reset();
    emit publishingChanged(false);
}

bool PumpBridge::publishing() const
{
    return client && client->isConnected() && claim.granted();
}

void PumpBridge::connectedChanged(bool connected)
{
    if (connected) {
        // Nothing is published before the id is known to be ours, at every connection: another
        // bridge may have taken it while this one was away.
        claim.begin(*client);
        return;
    }
    // Nobody would hear their results.
    pump.stack().removeLane(Lane::Remote);
    claim.end();
    held.clear();
    emit publishingChanged(false);
}

void PumpBridge::claimRefused(const QString &reason)
{
    held.clear();
    // Later: this runs inside the client's own signal. Its destructor disconnects in order.
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            client.reset();
            emit refused(reason);
        },
        Qt::QueuedConnection);
}

void PumpBridge::claimGranted()
{
    client->publish(names.owner(), claim.record(), 1, true);
    client->publish(names.availability(), Online, 1, true);
    publishPump(true);
    publishDiscovery(true);
    publishInfo(true);
    // What was published before the broker went away may be stale there: send it afresh.
    throttle.reset();
    if (!lastState.isEmpty()) {
        client->publish(names.state(), lastState, 0, true);
        throttle.take(QJsonDocument::fromJson(lastState).object(),
                      QDateTime::currentMSecsSinceEpoch());
    }
    emit publishingChanged(true);
    const std::vector<MqttClient::Message> early = std::move(held);
    held.clear();
    for (const MqttClient::Message &m : early)
        message(m);
}

void PumpBridge::sample(const ProcessSample &sample)
{
    QJsonObject state = SampleJson::object(sample, startMs);
    state.insert(QStringLiteral("total_volume_ml"),
                 totals ? totals->toJson(options.serviceLimits).value(QStringLiteral("volume_ml"))
                        : QJsonValue());
    state.insert(QStringLiteral("total_hours"),
                 totals ? totals->toJson(options.serviceLimits).value(QStringLiteral("hours"))
                        : QJsonValue());
    state.insert(QStringLiteral("service_due"),
                 totals ? totals->serviceDueValue(options.serviceLimits) : QJsonValue());
    lastState = QJsonDocument(state).toJson(QJsonDocument::Compact);
    if (!publishing())
        return;
    publishInfo(false);
    publishDiscovery(false);
    if (throttle.take(state, sample.timeMs))
        client->publish(names.state(), lastState, 0, true);
}

QByteArray PumpBridge::info() const
{
    using Pump::KeyTable;
    const KeyTable::Key &model = KeyTable::key(QStringLiteral("model"));
    const KeyTable::Key &firmware = KeyTable::key(QStringLiteral("firmware"));
    const QJsonObject object{
        {QStringLiteral("id"), id},
        {model.output, KeyTable::json(model, pump.items().all())},
        {firmware.output, KeyTable::json(firmware, pump.items().all())},
        // The address talked to, which the pump answers at.
        {KeyTable::key(QStringLiteral("address")).output, pump.link().address()},
        {QStringLiteral("port"), pump.link().portName()},
        {QStringLiteral("version"), version},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void PumpBridge::publishInfo(bool always)
{
    const QByteArray now = info();
    if (!always && now == lastInfo)
        return;
    if (client->publish(names.info(), now, 1, true))
        lastInfo = now;
}

void PumpBridge::linkChanged(const LinkState &state)
{
    emit logged(state.cause.isEmpty()
                    ? QStringLiteral("pump link: %1").arg(state.text())
                    : QStringLiteral("pump link: %1 (%2)").arg(state.text(), state.cause));
    publishPump(false);
}

void PumpBridge::publishPump(bool always)
{
    if (!publishing())
        return;
    const QByteArray now = pump.linkState().connected() ? Online : Offline;
    if (!always && now == lastPump)
        return;
    if (client->publish(names.pump(), now, 1, true))
        lastPump = now;
}

void PumpBridge::publishDiscovery(bool always)
{
    if (!options.haDiscovery || !publishing())
        return;
    const HaDiscovery::Device device{knownText("model", pump.items()),
                                     knownText("firmware", pump.items()), version, QString()};
    const QString identity = device.model + QLatin1Char('\n') + device.firmware;
    if (!always && identity == discoveredIdentity)
        return;
    discoveredIdentity = identity;
    for (const auto &config : HaDiscovery::configs(names, id, device, options.allowControl))
        client->publish(config.first, config.second, 1, true);
}

void PumpBridge::message(const MqttClient::Message &m)
{
    if (claim.take(m))
        return;
    if (!claim.granted()) {
        if (held.size() < MaxWaiting)
            held.push_back(m);
        return;
    }
    answering = m.topic;
    const RemoteRequest r =
        RemoteRequest::read(names, m, options, Pump::ModelLimits::pumpType(pump.items().all()));
    if (r.kind == RemoteRequest::Kind::Ignored)
        return;
    // Whatever goes to the pump from here goes as the client's.
    const PumpCore::OriginScope scope(pump, originOf(r));
    if (!r.error.isEmpty()) {
        refuse(r, r.error);
        return;
    }
    // A stop still goes, as from any source.
    if (leaving && r.command != Id::Stop && r.programAction != RemoteRequest::ProgramAction::Stop) {
        refuse(r, QStringLiteral("the bridge is leaving"));
        return;
    }
    if (r.programAction != RemoteRequest::ProgramAction::None) {
        programRequest(r);
        return;
    }
    // A prime is a run too: until a Stop, under the runner like a dose.
    if (!r.steps.empty() || r.command == Id::Prime) {
        startRun(r);
        return;
    }
    if (pump.command(r.command) == nullptr) {
        refuse(r, QStringLiteral("no pump"));
        return;
    }
    // Stop is never refused, whatever waits: it goes next on the wire.
    const bool stop = r.command == Id::Stop;
    if (!stop && waiting.size() + readBacks.size() >= MaxWaiting) {
        refuse(r, QStringLiteral("busy: too many requests wait for the pump"));
        return;
    }
    // Logged like the operator's commands, so it shows in the traffic log.
    const PumpCore::Ticket ticket = pump.submit(Lane::Remote, r.command, r.commandValue);
    Waiting w;
    w.ticket = ticket;
    w.key = r.key;
    w.name = r.name;
    w.value = r.value;
    w.correlation = r.correlation;
    w.permission = r.permission;
    w.topic = m.topic;
    waiting.push_back(w);
    // The value is read back right behind it, so that the state shows it within an exchange
    // rather than at the poller's next turn for that value.
    const Pump::KeyTable::Key *key =
        r.kind == RemoteRequest::Kind::Set ? Pump::KeyTable::find(r.key) : nullptr;
    if (key != nullptr && key->readable()) {
        const PumpCore::Ticket readBack =
            pump.readBack(Lane::Remote, key->query, key->parameters.front());
        if (readBack != 0)
            readBacks.push_back({readBack, r.permission});
    }
}

void PumpBridge::answered(const Answer &answer)
{
    // The start of the pending run, which the runner sent for it.
    if (pendingRun && answer.accepted() &&
        (answer.commandId == BusinessLogic::toInt(Id::Start) ||
         answer.commandId == BusinessLogic::toInt(Id::Prime)) &&
        runner.status().active() && runner.status().runId == pendingRun->runId)
        runAnswer(runner.status(), true);
    for (auto it = readBacks.begin(); it != readBacks.end(); ++it) {
        if (it->ticket != answer.ticket)
            continue;
        readBacks.erase(it);
        // The core put the value in its item before this answer came here.
        if (answer.accepted())
            emit stateDue();
        return;
    }
    // Every request that waits on it: Stops asked while one waited share its ticket.
    std::vector<Waiting> asked;
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (it->ticket == answer.ticket) {
            asked.push_back(*it);
            it = waiting.erase(it);
        } else {
            ++it;
        }
    }
    PumpCore::Ticket flagsRead = 0;
    for (const Waiting &w : asked)
        answerWaiting(w, answer, &flagsRead);
}

void PumpBridge::answerWaiting(const Waiting &w, const Answer &answer, PumpCore::Ticket *flagsRead)
{
    answering = w.topic;
    if (w.refused) {
        refusal(w, answer);
        return;
    }
    const bool accepted = answer.accepted();
    const QString text = answerText(answer.outcome);
    // A run command changes the run state at once; a set waits for its read-back.
    if (accepted && RunStateJudge::keyOf(answer.commandId))
        emit stateDue();
    if (answer.outcome == BusinessLogic::AnswerOutcome::Nak) {
        // Named with the error flags, as the tool does: they are read right behind it, once for
        // all the requests that shared the refused ticket.
        Waiting reading = w;
        reading.refused = true;
        if (*flagsRead == 0)
            *flagsRead =
                pump.readBack(Lane::Remote, Id::GetPumpStatus, Pump::StatusFlags::ErrorGroup);
        reading.ticket = *flagsRead;
        if (reading.ticket != 0) {
            waiting.push_back(reading);
            return;
        }
    }
    // Silence on a port that is gone is the port's doing: the error says so.
    QString why = text;
    if (answer.outcome == BusinessLogic::AnswerOutcome::Silent && !pump.link().portOpen) {
        const QString problem = pump.link().portProblem.text();
        why += problem.isEmpty() ? QStringLiteral(" (the port was lost)")
                                 : QStringLiteral(" (the port was lost: %1)").arg(problem);
    }
    QString error;
    if (!accepted)
        error = answer.outcome == BusinessLogic::AnswerOutcome::Nak
                    ? QStringLiteral("the pump refused it")
                    : why;
    result(w.key, w.name, w.value, w.correlation, error.isEmpty(), text, error);
}

void PumpBridge::programRequest(const RemoteRequest &r)
{
    using Action = RemoteRequest::ProgramAction;
    using State = ProgramStatus::State;
    const State state = runner.status().state;
    // What it cannot do now, and why: nothing runs, or the program is in another state.
    const QString wrongState = runner.status().active() ? QStringLiteral("the program is ") +
                                                              ProgramStatus::stateName(state)
                                                        : QStringLiteral("no program runs");
    QString answer;
    QString error;
    switch (r.programAction) {
    case Action::Run:
        if (runner.start(r.program, originOf(r), &error))
            answer = QStringLiteral("started");
        else if (error.isEmpty())
            error = QStringLiteral("the program cannot start");
        break;
    case Action::Pause:
        if (state == State::Running) {
            runner.pause();
            answer = QStringLiteral("paused");
        } else {
            error = wrongState;
        }
        break;
    case Action::Continue:
        if (state == State::Paused) {
            runner.resume();
            answer = QStringLiteral("continued");
        } else if (state == State::WaitingForOperator) {
            runner.continuePrompt();
            answer = QStringLiteral("continued");
        } else {
            error = wrongState;
        }
        break;
    case Action::Stop:
        if (runner.status().active()) {
            // The answer waits for the pump's count after the Stop; the runner bounds that.
            if (programStops.size() < MaxWaiting) {
                programStops.emplace_back(r, answering);
                runner.stop(originOf(r));
                return;
            }
            runner.stop(originOf(r));
            answer = QStringLiteral("stopped");
        } else {
            error = QStringLiteral("no program runs");
        }
        break;
    case Action::None:
        return;
    }
    if (!error.isEmpty()) {
        refuse(r, error);
        return;
    }
    result(r.key, r.name, r.value, r.correlation, true, answer, error);
}

void PumpBridge::programChanged(const ProgramStatus &status)
{
    if (!publishing())
        return;
    const qint64 wait = programThrottle.take(status, QDateTime::currentMSecsSinceEpoch());
    if (wait == 0) {
        programTimer.stop();
        client->publish(names.program(),
                        QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact), 1, false);
    } else if (!programTimer.isActive()) {
        programTimer.start(static_cast<int>(wait));
    }
}

void PumpBridge::programEnded(const ProgramStatus &status)
{
    if (pendingRun && pendingRun->runId == status.runId)
        runAnswer(status, false);
    const QString answer =
        QStringLiteral("%1; %2 ml delivered")
            .arg(ProgramStatus::stateName(status.state), QString::number(status.volumeMl, 'f', 3));
    std::vector<std::pair<RemoteRequest, QString>> stops;
    stops.swap(programStops);
    for (const auto &stop : stops) {
        const RemoteRequest &r = stop.first;
        answering = stop.second;
        result(r.key, r.name, r.value, r.correlation, true, answer, QString());
    }
}

void PumpBridge::publishProgram()
{
    if (!publishing())
        return;
    const ProgramStatus &status = runner.status();
    programThrottle.sent(status, QDateTime::currentMSecsSinceEpoch());
    client->publish(names.program(), QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact),
                    1, false);
}

void PumpBridge::refusal(const Waiting &w, const Answer &flags)
{
    // Null when the flags did not come: an unread list is never "no error".
    QJsonValue errors;
    QStringList lit;
    // The core put the flags in the status item before this answer came here.
    if (flags.accepted()) {
        errors = Pump::KeyTable::json(Pump::KeyTable::key(QStringLiteral("errors")), pump.items());
        lit = errors.toVariant().toStringList();
    }
    QString error = QStringLiteral("the pump refused it");
    if (!lit.isEmpty())
        error += QStringLiteral("; it reports: ") + lit.join(QLatin1String(", "));
    result(w.key, w.name, w.value, w.correlation, false,
           answerText(BusinessLogic::AnswerOutcome::Nak), error,
           {{QStringLiteral("errors"), errors}});
}

void PumpBridge::cleared(const std::vector<PumpCore::Ticket> &tickets)
{
    for (PumpCore::Ticket ticket : tickets) {
        Answer answer;
        answer.ticket = ticket;
        answer.outcome = BusinessLogic::AnswerOutcome::Cleared;
        answered(answer);
    }
}

void PumpBridge::result(const QString &key, const QString &name, const QString &value,
                        const QByteArray &correlation, bool ok, const QString &answer,
                        const QString &error, const QJsonObject &fields)
{
    if (!client)
        return;
    const QString root = names.command().chopped(3);
    requestLog.add(QStringLiteral("request %1 \"%2\": %3")
                       .arg(answering.startsWith(root) ? answering.mid(root.size()) : answering,
                            logValue(value), ok ? answer : error));
    QJsonObject object{{QStringLiteral("key"), key},
                       {QStringLiteral("name"), name.isEmpty() ? QJsonValue() : name},
                       {QStringLiteral("value"), value},
                       {QStringLiteral("ok"), ok},
                       {QStringLiteral("answer"), answer.isEmpty() ? QJsonValue() : answer},
                       {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : error}};
    for (auto it = fields.begin(); it != fields.end(); ++it)
        object.insert(it.key(), it.value());
    if (!correlation.isEmpty())
        object.insert(QStringLiteral("correlation"), QString::fromUtf8(correlation));
    client->publish(names.result(), QJsonDocument(object).toJson(QJsonDocument::Compact), 1, false,
                    correlation);
}

RequestOrigin PumpBridge::originOf(const RemoteRequest &r) const
{
    return {QLatin1String(JournalEntry::Origin::Bridge), id, QString::fromUtf8(r.correlation),
            QString()};
}

void PumpBridge::refuse(const RemoteRequest &r, const QString &error)
{
    if (Journal *journal = pump.journal()) {
        const RequestOrigin origin = originOf(r);
        QJsonObject fields{{QStringLiteral("topic"), answering},
                           {QStringLiteral("key"), r.key},
                           {QStringLiteral("value"), r.value},
                           {QStringLiteral("reason"), error}};
        if (!origin.request.isEmpty())
            fields.insert(QStringLiteral("request"), origin.request);
        journal->append(pump.pumpId(), QLatin1String(JournalEntry::Kind::Refused), origin.frontEnd,
                        origin.who, fields);
    }
    result(r.key, r.name, r.value, r.correlation, false, QString(), error);
}

void PumpBridge::startRun(const RemoteRequest &r)
{
    QString error;
    const DosingProgram program =
        r.steps.empty() ? DosingProgram{r.key, {ProgramStep::prime()}} : r.program;
    if (!runner.start(program, originOf(r), &error)) {
        refuse(r, error.isEmpty() ? QStringLiteral("the run cannot start") : error);
        return;
    }
    pendingRun = PendingRun{runner.status().runId, r.key, r.value, r.correlation, answering};
    // Over before the start went out: a setting that cannot be sent.
    if (runner.status().ended())
        runAnswer(runner.status(), false);
}

void PumpBridge::runAnswer(const ProgramStatus &status, bool started)
{
    const PendingRun run = *pendingRun;
    pendingRun.reset();
    answering = run.topic;
    QJsonObject fields{{QStringLiteral("run_id"), status.runId}};
    if (started) {
        emit stateDue();
        result(run.key, QString(), run.value, run.correlation, true, QStringLiteral("started"),
               QString(), fields);
        return;
    }
    fields.insert(QStringLiteral("cause"), ProgramStatus::causeName(status.cause));
    fields.insert(QStringLiteral("volume_ml"), std::round(status.volumeMl * 1000.0) / 1000.0);
    // The flags the runner named, else those the core last read: never [] for an unread list.
    std::optional<QStringList> flags;
    if (!status.errorFlags.isEmpty())
        flags = status.errorFlags;
    else if (status.cause == ProgramStatus::Cause::PumpError ||
             status.cause == ProgramStatus::Cause::Refused)
        flags = pump.sampler().take().errors;
    QString error =
        status.reason.isEmpty() ? ProgramStatus::causeName(status.cause) : status.reason;
    if (flags) {
        fields.insert(QStringLiteral("errors"), QJsonArray::fromStringList(*flags));
        if (!flags->isEmpty() && status.errorFlags.isEmpty())
            error += QStringLiteral("; it reports: ") + flags->join(QLatin1String(", "));
    }
    const bool refused = status.cause == ProgramStatus::Cause::Refused;
    result(run.key, QString(), run.value, run.correlation, false,
           refused ? answerText(BusinessLogic::AnswerOutcome::Nak) : QString(), error, fields);
}

void PumpBridge::readTotals()
{
    Journal *journal = pump.journal();
    if (journal == nullptr)
        return;
    // One aggregate query over the journal's kind index: no row is held in memory.
    JournalReader reader(journal->path());
    const QVector<JournalTotals> list = reader.totals(pump.pumpId());
    if (!reader.problem().isEmpty())
        return;
    JournalTotals t = list.value(0);
    t.pump = pump.pumpId();
    totals = t;
}

void PumpBridge::publishJournal(const JournalEntry &entry)
{
    if (entry.pump == pump.pumpId() && (entry.kind == QLatin1String(JournalEntry::Kind::RunEnd) ||
                                        entry.kind == QLatin1String(JournalEntry::Kind::Service)))
        readTotals();
    if (!publishing() || entry.pump != pump.pumpId())
        return;
    client->publish(names.journal(), QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact),
                    1, false);
}
