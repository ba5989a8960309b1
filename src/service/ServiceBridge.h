#pragma once

#include "platform/RepeatedLine.h"
#include "program/MultiPumpStatus.h"
#include "pumpcore/RequestOrigin.h"
#include "remote/MqttClient.h"
#include "service/ServicePlan.h"
#include "service/ServiceRequest.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class Journal;
class MultiPumpRunner;
class PumpService;

// The service's own connection to the broker, beside its pumps' bridges, for programs across
// its pumps: a program sent to <prefix>/<service>/program/run runs on the pumps it names, each
// part on its pump's thread, with the interlock between them; program/stop ends it and
// program/continue goes on from a prompt step (a program across pumps cannot be paused). Its
// state, each pump's run and, once ended, each pump's final count go out retained on
// <prefix>/<service>/program; each request is answered on <prefix>/<service>/result with its
// correlation data; <prefix>/<service>/availability is its last will. Requests go under the
// origin {"bridge", <service>, <correlation data>}; one refused is journaled as refused.
class ServiceBridge : public QObject
{
    Q_OBJECT

public:
    // program/stop requests waiting for the program's end at most; more are answered at once.
    static constexpr std::size_t MaxWaiting = 32;
    // How long the way out waits for the pumps' runs to end after its Stop.
    static constexpr int EndMs = 5000;

    // The plan names a broker. The service and the journal outlive this object.
    ServiceBridge(const ServicePlan &plan, PumpService &service, Journal *journal,
                  QObject *parent = nullptr);
    ~ServiceBridge() override;

    void start();
    // The way out: nothing more is taken, a program that runs is stopped and its end waited for
    // (at most EndMs), its state published, then "offline" and an orderly disconnection.
    void finish(const QString &why);

    const ServicePlan &plan() const { return servicePlan; }
    QString topic(const char *name) const;

signals:
    void logged(const QString &line);

private:
    void connectedChanged(bool connected);
    void message(const MqttClient::Message &message);
    void run(const ServiceRequest &request);
    void programChanged(const MultiPumpStatus &status);
    void programEnded(const MultiPumpStatus &status);
    void publishState();
    void refuse(const ServiceRequest &request, const QString &topic, const QString &error);
    void result(const ServiceRequest &request, const QString &topic, bool ok, const QString &answer,
                const QString &error, const QJsonObject &fields = QJsonObject());
    RequestOrigin originOf(const ServiceRequest &request) const;
    // The pumps of the program that is active; empty when none is.
    QStringList running() const;

    const ServicePlan servicePlan;
    PumpService &service;
    Journal *const journal;
    std::unique_ptr<MqttClient> client;
    std::unique_ptr<MultiPumpRunner> runner;
    MultiPumpStatus last;  // the newest status, published or about to be
    QString lastSignature; // state and each run's state and step, as last published
    QTimer stateTimer;     // progress alone at most every ProgramThrottle::MinGapMs
    std::vector<std::pair<ServiceRequest, QString>> stops; // with their topics
    bool leaving = false;
    // A flood of one request costs the log a line a second.
    RepeatedLine requestLog{[this](const QString &line) {
        emit logged(line);
    }};
};
