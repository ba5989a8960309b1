#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/Ticket.h"
#include "recorder/ProcessSample.h"
#include "remote/BridgeOptions.h"
#include "remote/MqttClient.h"
#include "remote/StateThrottle.h"
#include "remote/TopicNames.h"

#include <QObject>
#include <QSet>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class PumpCore;

namespace GUI {
class OperationItem;
}

// Publishes one pump on an MQTT broker and takes its commands from there: availability (with the
// last will), the state after every refresh tick when it changed or every 10 s, the identity,
// and the outcome of each request with its correlation data. Requests are checked by the key
// table and join the pump core's remote lane, behind the local operator and ahead of the polls;
// a stop goes to the Stop lane and is never refused. A refused value never reaches the queue.
class PumpBridge : public QObject
{
    Q_OBJECT

public:
    // Requests and their read-backs waiting for answers at most; more are refused as "busy"
    // (a stop never is).
    static constexpr std::size_t MaxWaiting = 32;

    // The core is not owned and outlives the bridge.
    PumpBridge(const BridgeOptions &options, const QString &pumpId, PumpCore &core,
               const QString &version, QObject *parent = nullptr);
    ~PumpBridge() override;

    void start();
    // "offline" retained, then an orderly disconnection.
    void finish();

    bool publishing() const;
    bool controlAllowed() const { return options.allowControl; }
    // Revoking control drops the remote requests still queued.
    void setControlAllowed(bool allowed);
    const TopicNames &topics() const { return names; }

public slots:
    // One refresh tick's picture of the pump.
    void sample(const ProcessSample &sample);

signals:
    void publishingChanged(bool publishing);
    // The broker refused the bridge for good; the reason, for the operator.
    void refused(const QString &reason);
    void attemptFailed(const QString &reason);
    // The broker refused to subscribe a topic; said once per topic, not at every reconnection.
    void subscriptionFailed(const QString &filter, const QString &reason);
    // A request was answered (a set, with its value read back): a sample taken now shows it,
    // without waiting for the next refresh tick.
    void stateDue();

private:
    struct Waiting
    {
        BusinessLogic::Ticket ticket = 0;
        QString key;
        QString name;
        QString value;
        QByteArray correlation;
    };

    void connectedChanged(bool connected);
    void message(const MqttClient::Message &message);
    void answered(const Answer &answer);
    void cleared(const std::vector<BusinessLogic::Ticket> &tickets);
    // key as asked, name the value's output name (none for a command or an unknown key).
    void result(const QString &key, const QString &name, const QString &value,
                const QByteArray &correlation, bool ok, const QString &answer,
                const QString &error);
    void publishInfo(bool always);
    QByteArray info() const;

    BridgeOptions options;
    QString id;
    PumpCore &pump;
    QString version;
    TopicNames names;
    std::unique_ptr<MqttClient> client;
    StateThrottle throttle;
    std::deque<Waiting> waiting;
    // The query queued right behind an accepted set, and the item it updates.
    std::deque<std::pair<BusinessLogic::Ticket, GUI::OperationItem *>> readBacks;
    QByteArray lastState;
    QByteArray lastInfo;
    QSet<QString> refusedFilters;
    qint64 startMs = 0;
};
