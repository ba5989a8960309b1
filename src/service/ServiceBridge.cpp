#include "service/ServiceBridge.h"

#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "program/MultiPumpRunner.h"
#include "remote/ProgramThrottle.h"
#include "service/PumpService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

// What makes a status worth publishing at once: a new state, a run's new state or step.
QString signature(const MultiPumpStatus &s)
{
    QString text = ProgramStatus::stateName(s.state) + s.programId;
    for (const auto &run : s.runs)
        text += QStringLiteral("|%1 %2 %3")
                    .arg(run.first, ProgramStatus::stateName(run.second.state))
                    .arg(run.second.position);
    return text;
}

QJsonObject volumes(const MultiPumpStatus &s)
{
    QJsonObject each;
    for (const QString &pump : s.pumps)
        each.insert(pump, std::round(s.volumeMl(pump) * 1000.0) / 1000.0);
    return each;
}

} // namespace

ServiceBridge::ServiceBridge(const ServicePlan &plan, PumpService &pumpService,
                             Journal *processJournal, QObject *parent)
    : QObject(parent)
    , servicePlan(plan)
    , service(pumpService)
    , journal(processJournal)
{
    stateTimer.setSingleShot(true);
    connect(&stateTimer, &QTimer::timeout, this, &ServiceBridge::publishState);
    // Before the pump's thread is told to finish: its run is not waited for, the others stop.
    connect(&service, &PumpService::finishing, this, [this](const QString &name) {
        if (runner)
            runner->removePump(name, QStringLiteral("the pump was removed from the service"));
    });
}

ServiceBridge::~ServiceBridge()
{
    if (!leaving)
        finish(QStringLiteral("the service side was closed"));
}

QString ServiceBridge::topic(const char *name) const
{
    return QStringLiteral("%1/%2/%3")
        .arg(servicePlan.bridge.topicPrefix, servicePlan.name, QLatin1String(name));
}

void ServiceBridge::start()
{
    client = std::make_unique<MqttClient>(servicePlan.bridge,
                                          QStringLiteral("dosetta-service-%1-%2")
                                              .arg(servicePlan.name)
                                              .arg(QCoreApplication::applicationPid()));
    connect(client.get(), &MqttClient::connectedChanged, this, &ServiceBridge::connectedChanged);
    connect(client.get(), &MqttClient::messageReceived, this, &ServiceBridge::message);
    connect(client.get(), &MqttClient::refused, this, [this](const QString &reason) {
        emit logged(QStringLiteral("service %1: the broker %2 refused the connection: %3")
                        .arg(servicePlan.name, servicePlan.bridge.shownBroker(), reason));
    });
    connect(client.get(), &MqttClient::subscriptionFailed, this,
            [this](const QString &filter, const QString &reason) {
                emit logged(QStringLiteral("service %1: the broker refused the subscription to "
                                           "%2: %3")
                                .arg(servicePlan.name, filter, reason));
            });
    client->subscribe({topic("program/run"), topic("program/stop"), topic("program/continue")});
    client->start(topic("availability"), Offline);
}

void ServiceBridge::connectedChanged(bool connected)
{
    if (!connected)
        return;
    client->publish(topic("availability"), Online, 1, true);
    // A state left retained by a process before this one would show a program still running.
    publishState();
    emit logged(QStringLiteral("service %1: taking programs across its pumps on %2 (%3)")
                    .arg(servicePlan.name, topic("program/run"), servicePlan.bridge.shownBroker()));
}

QStringList ServiceBridge::running() const
{
    return runner && runner->status().active() ? runner->status().pumps : QStringList();
}

void ServiceBridge::message(const MqttClient::Message &m)
{
    std::map<QString, bool> control;
    for (const QString &name : service.names())
        control[name] = service.plan(name)->bridge.allowControl;
    const ServiceRequest r = ServiceRequest::read(topic(""), m, control, running());
    if (r.action == ServiceRequest::Action::Ignored)
        return;
    if (!r.error.isEmpty()) {
        refuse(r, m.topic, r.error);
        return;
    }
    switch (r.action) {
    case ServiceRequest::Action::Run:
        if (leaving)
            refuse(r, m.topic, QStringLiteral("the service is leaving"));
        else
            run(r);
        return;
    case ServiceRequest::Action::Stop:
        if (stops.size() < MaxWaiting)
            stops.emplace_back(r, m.topic);
        else
            result(r, m.topic, true, QStringLiteral("stopping"), QString());
        runner->stop(originOf(r));
        return;
    case ServiceRequest::Action::Continue:
        if (runner->status().state != ProgramStatus::State::WaitingForOperator) {
            refuse(r, m.topic,
                   QStringLiteral("the program is ") +
                       ProgramStatus::stateName(runner->status().state));
            return;
        }
        runner->continuePrompt();
        result(r, m.topic, true, QStringLiteral("continued"), QString());
        return;
    case ServiceRequest::Action::Ignored:
        return;
    }
}

void ServiceBridge::run(const ServiceRequest &r)
{
    const QString where = topic("program/run");
    if (runner && runner->status().active()) {
        refuse(r, where,
               QStringLiteral("a program is already running on the service: %1")
                   .arg(runner->status().pumps.join(QStringLiteral(", "))));
        return;
    }
    std::map<QString, MultiPumpRunner::Pump> hosts;
    if (!service.hosts(r.program.pumps, &hosts)) {
        refuse(r, where, QStringLiteral("a pump of the program is not served right now"));
        return;
    }
    // One per program, over its pumps alone: a reload may have changed the others since.
    runner = std::make_unique<MultiPumpRunner>(hosts);
    connect(runner.get(), &MultiPumpRunner::statusChanged, this, &ServiceBridge::programChanged);
    connect(runner.get(), &MultiPumpRunner::ended, this, &ServiceBridge::programEnded);
    QString why;
    if (!runner->start(r.program, originOf(r), &why)) {
        refuse(r, where, why.isEmpty() ? QStringLiteral("the program cannot start") : why);
        return;
    }
    result(r, where, true, QStringLiteral("started"), QString(),
           {{QStringLiteral("program_id"), runner->status().programId}});
}

void ServiceBridge::programChanged(const MultiPumpStatus &status)
{
    last = status;
    // The end goes out once, from programEnded(), with the counts.
    if (status.ended())
        return;
    if (signature(status) != lastSignature) {
        stateTimer.stop();
        publishState();
    } else if (!stateTimer.isActive()) {
        stateTimer.start(int(ProgramThrottle::MinGapMs));
    }
}

void ServiceBridge::programEnded(const MultiPumpStatus &status)
{
    last = status;
    stateTimer.stop();
    // Its last change came with the same status just before; the counts go out with the end.
    publishState();
    const QString state = ProgramStatus::stateName(status.state);
    emit logged(QStringLiteral("service %1: program \"%2\" %3%4")
                    .arg(servicePlan.name, status.name, state,
                         status.reason.isEmpty() || status.reason == state
                             ? QString()
                             : QStringLiteral(" (%1)").arg(status.reason)));
    QStringList delivered;
    for (const QString &pump : status.pumps)
        delivered << QStringLiteral("%1 %2 ml").arg(pump).arg(status.volumeMl(pump), 0, 'f', 3);
    const QString answer =
        QStringLiteral("%1; %2 delivered")
            .arg(ProgramStatus::stateName(status.state), delivered.join(QStringLiteral(", ")));
    std::vector<std::pair<ServiceRequest, QString>> waiting;
    waiting.swap(stops);
    for (const auto &stop : waiting)
        result(stop.first, stop.second, true, answer, QString(),
               {{QStringLiteral("volumes_ml"), volumes(status)}});
}

void ServiceBridge::publishState()
{
    if (!client || !client->isConnected())
        return;
    lastSignature = signature(last);
    QJsonObject object = last.toJson();
    object.insert(QStringLiteral("service"), servicePlan.name);
    if (last.ended())
        object.insert(QStringLiteral("volumes_ml"), volumes(last));
    client->publish(topic("program"), QJsonDocument(object).toJson(QJsonDocument::Compact), 1,
                    true);
}

RequestOrigin ServiceBridge::originOf(const ServiceRequest &r) const
{
    return {QLatin1String(JournalEntry::Origin::Bridge), servicePlan.name,
            QString::fromUtf8(r.correlation), QString()};
}

void ServiceBridge::refuse(const ServiceRequest &r, const QString &where, const QString &error)
{
    if (journal != nullptr) {
        const RequestOrigin origin = originOf(r);
        QJsonObject fields{{QStringLiteral("topic"), where},
                           {QStringLiteral("key"), r.key},
                           {QStringLiteral("value"), r.value},
                           {QStringLiteral("reason"), error}};
        if (!origin.request.isEmpty())
            fields.insert(QStringLiteral("request"), origin.request);
        if (!r.program.pumps.isEmpty())
            fields.insert(QStringLiteral("pumps"), r.program.pumps.join(QStringLiteral(", ")));
        journal->append(servicePlan.name, QLatin1String(JournalEntry::Kind::Refused),
                        origin.frontEnd, origin.who, fields);
    }
    result(r, where, false, QString(), error);
}

void ServiceBridge::result(const ServiceRequest &r, const QString &where, bool ok,
                           const QString &answer, const QString &error, const QJsonObject &fields)
{
    requestLog.add(
        QStringLiteral("service %1: request %2 \"%3\": %4")
            .arg(servicePlan.name, where.mid(topic("").size()), r.value, ok ? answer : error));
    if (!client)
        return;
    QJsonObject object{{QStringLiteral("key"), r.key},
                       {QStringLiteral("value"), r.value},
                       {QStringLiteral("ok"), ok},
                       {QStringLiteral("answer"), answer.isEmpty() ? QJsonValue() : answer},
                       {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : error}};
    for (auto it = fields.begin(); it != fields.end(); ++it)
        object.insert(it.key(), it.value());
    if (!r.correlation.isEmpty())
        object.insert(QStringLiteral("correlation"), QString::fromUtf8(r.correlation));
    client->publish(topic("result"), QJsonDocument(object).toJson(QJsonDocument::Compact), 1, false,
                    r.correlation);
}

void ServiceBridge::finish(const QString &why)
{
    if (leaving)
        return;
    leaving = true;
    if (runner && runner->status().active()) {
        runner->stop(
            {QLatin1String(JournalEntry::Origin::Bridge), servicePlan.name, QString(), QString()});
        emit logged(QStringLiteral("service %1: program \"%2\" stopped: %3")
                        .arg(servicePlan.name, runner->status().name, why));
        // Each pump's run ends with its count before the pumps are finished.
        QEventLoop wait;
        connect(runner.get(), &MultiPumpRunner::ended, &wait, &QEventLoop::quit);
        QTimer::singleShot(EndMs, &wait, &QEventLoop::quit);
        if (runner->status().active())
            wait.exec();
    }
    stateTimer.stop();
    publishState();
    requestLog.flush();
    if (client)
        client->finish(topic("availability"), Offline);
    client.reset();
}
