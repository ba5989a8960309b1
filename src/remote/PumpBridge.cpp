#include "remote/PumpBridge.h"

#include "GUI/OperationItem.h"
#include "pump/AttachTable.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"
#include "recorder/SampleJson.h"
#include "remote/HaDiscovery.h"
#include "remote/RemoteRequest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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

} // namespace

PumpBridge::PumpBridge(const BridgeOptions &bridgeOptions, const QString &pumpId, PumpCore &core,
                       const QString &programVersion, QObject *parent)
    : QObject(parent)
    , options(bridgeOptions)
    , id(pumpId)
    , pump(core)
    , version(programVersion)
    , names(bridgeOptions.topicPrefix, pumpId)
    , startMs(QDateTime::currentMSecsSinceEpoch())
{
    connect(&pump, &PumpCore::answered, this, &PumpBridge::answered, Qt::DirectConnection);
    connect(&pump.stack(), &BusinessLogic::CommandStack::entriesCleared, this, &PumpBridge::cleared,
            Qt::DirectConnection);
}

PumpBridge::~PumpBridge()
{
    // Nobody would hear their results: what the network asked and is still queued goes.
    disconnect(&pump.stack(), nullptr, this, nullptr);
    pump.stack().removeLane(BusinessLogic::Lane::Remote);
}

void PumpBridge::setControlAllowed(bool allowed)
{
    options.allowControl = allowed;
    if (!allowed)
        pump.stack().removeLane(BusinessLogic::Lane::Remote);
}

void PumpBridge::start()
{
    client = std::make_unique<MqttClient>(
        options, QStringLiteral("dosetta-%1-%2").arg(id).arg(QCoreApplication::applicationPid()));
    connect(client.get(), &MqttClient::connectedChanged, this, &PumpBridge::connectedChanged);
    connect(client.get(), &MqttClient::messageReceived, this, &PumpBridge::message);
    connect(client.get(), &MqttClient::refused, this, &PumpBridge::refused);
    connect(client.get(), &MqttClient::attemptFailed, this, &PumpBridge::attemptFailed);
    connect(client.get(), &MqttClient::subscriptionFailed, this,
            [this](const QString &filter, const QString &reason) {
                if (!refusedFilters.contains(filter)) {
                    refusedFilters.insert(filter);
                    emit subscriptionFailed(filter, reason);
                }
            });
    client->subscribe({names.setFilter(), names.command()});
    client->start(names.availability(), Offline);
}

void PumpBridge::finish()
{
    if (client)
        client->finish(names.availability(), Offline);
    client.reset();
    emit publishingChanged(false);
}

bool PumpBridge::publishing() const
{
    return client && client->isConnected();
}

void PumpBridge::connectedChanged(bool connected)
{
    if (connected) {
        client->publish(names.availability(), Online, 1, true);
        if (options.haDiscovery) {
            const QString model = Pump::KeyTable::text(Pump::KeyTable::key(QStringLiteral("model")),
                                                       pump.items().all());
            for (const auto &config : HaDiscovery::configs(names, id, model))
                client->publish(config.first, config.second, 1, true);
        }
        publishInfo(true);
        // What was published before the broker went away may be stale there: send it afresh.
        throttle.reset();
        if (!lastState.isEmpty()) {
            client->publish(names.state(), lastState, 0, true);
            throttle.take(QJsonDocument::fromJson(lastState).object(),
                          QDateTime::currentMSecsSinceEpoch());
        }
    }
    emit publishingChanged(connected);
}

void PumpBridge::sample(const ProcessSample &sample)
{
    const QJsonObject state = SampleJson::object(sample, startMs);
    lastState = QJsonDocument(state).toJson(QJsonDocument::Compact);
    if (!publishing())
        return;
    publishInfo(false);
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

void PumpBridge::message(const MqttClient::Message &m)
{
    const RemoteRequest r = RemoteRequest::read(names, m.topic, m.payload, options.allowControl);
    if (r.kind == RemoteRequest::Kind::Ignored)
        return;
    if (!r.error.isEmpty()) {
        result(r.key, r.name, r.value, m.correlation, false, QString(), r.error);
        return;
    }
    using BusinessLogic::Lane;
    if (pump.command(r.command) == nullptr) {
        result(r.key, r.name, r.value, m.correlation, false, QString(), QStringLiteral("no pump"));
        return;
    }
    // Stop is never refused, whatever waits: it goes next on the wire.
    const bool stop = r.command == BusinessLogic::CommandSpezifier::Stop;
    if (!stop && waiting.size() + readBacks.size() >= MaxWaiting) {
        result(r.key, r.name, r.value, m.correlation, false, QString(),
               QStringLiteral("busy: too many requests wait for the pump"));
        return;
    }
    // Logged like the operator's commands, so it shows in the traffic log.
    const BusinessLogic::Ticket ticket = pump.submit(Lane::Remote, r.command, r.commandValue);
    waiting.push_back({ticket, r.key, r.name, r.value, m.correlation});
    // The value is read back right behind it, so that the state shows it within an exchange
    // rather than at the poller's next turn for that value.
    const Pump::KeyTable::Key *key =
        r.kind == RemoteRequest::Kind::Set ? Pump::KeyTable::find(r.key) : nullptr;
    if (key != nullptr && key->readable()) {
        GUI::OperationItem *item = pump.items().find(key->query);
        if (pump.command(key->query) != nullptr && item != nullptr)
            readBacks.emplace_back(
                pump.submit(Lane::Remote, key->query, key->parameters.front(), false), item);
    }
}

void PumpBridge::answered(const Answer &answer)
{
    for (auto it = readBacks.begin(); it != readBacks.end(); ++it) {
        if (it->first != answer.ticket)
            continue;
        GUI::OperationItem *item = it->second;
        readBacks.erase(it);
        Answer copy = answer;
        if (copy.outcome == BusinessLogic::AnswerOutcome::Answered &&
            item->spezifier() == copy.commandId) {
            item->update(&copy);
            emit stateDue();
        }
        return;
    }
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if (it->ticket != answer.ticket)
            continue;
        const Waiting w = *it;
        waiting.erase(it);
        const bool accepted = answer.accepted();
        const QString text = answerText(answer.outcome);
        // A run command changes the run state at once; a set waits for its read-back.
        if (accepted && RunStateJudge::keyOf(answer.commandId))
            emit stateDue();
        result(w.key, w.name, w.value, w.correlation, accepted, text,
               accepted ? QString()
                        : (answer.outcome == BusinessLogic::AnswerOutcome::Nak
                               ? QStringLiteral("the pump refused it")
                               : text));
        return;
    }
}

void PumpBridge::cleared(const std::vector<BusinessLogic::Ticket> &tickets)
{
    for (BusinessLogic::Ticket ticket : tickets) {
        Answer answer;
        answer.ticket = ticket;
        answer.outcome = BusinessLogic::AnswerOutcome::Cleared;
        answered(answer);
    }
}

void PumpBridge::result(const QString &key, const QString &name, const QString &value,
                        const QByteArray &correlation, bool ok, const QString &answer,
                        const QString &error)
{
    if (!client)
        return;
    QJsonObject object{{QStringLiteral("key"), key},
                       {QStringLiteral("name"), name.isEmpty() ? QJsonValue() : name},
                       {QStringLiteral("value"), value},
                       {QStringLiteral("ok"), ok},
                       {QStringLiteral("answer"), answer.isEmpty() ? QJsonValue() : answer},
                       {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : error}};
    if (!correlation.isEmpty())
        object.insert(QStringLiteral("correlation"), QString::fromUtf8(correlation));
    client->publish(names.result(), QJsonDocument(object).toJson(QJsonDocument::Compact), 1, false,
                    correlation);
}
