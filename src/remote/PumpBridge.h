#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/Ticket.h"
#include "recorder/ProcessSample.h"
#include "remote/BridgeOptions.h"
#include "remote/MqttClient.h"
#include "remote/StateThrottle.h"
#include "remote/TopicNames.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class Communication;

namespace BusinessLogic {
class Command;
class CommandStack;
} // namespace BusinessLogic

namespace GUI {
class OperationItem;
}

// Publishes one pump on an MQTT broker and takes its commands from there: availability (with the
// last will), the state after every refresh tick when it changed or every 10 s, the identity,
// and the outcome of each request with its correlation data. Requests are checked by the key
// table and join the operator's lane of the command stack, ahead of the polls; a refused value
// never reaches the queue.
class PumpBridge : public QObject
{
    Q_OBJECT

public:
    // The pump as the window or a headless node holds it; nothing of it is owned.
    struct Pump
    {
        BusinessLogic::CommandStack *stack = nullptr;
        std::vector<BusinessLogic::Command *> *table = nullptr; // indexed by command id
        std::vector<GUI::OperationItem *> items;
        Communication *link = nullptr;
    };

    // Requests waiting for their answers at most; more are refused as "busy".
    static constexpr std::size_t MaxWaiting = 32;

    PumpBridge(const BridgeOptions &options, const QString &pumpId, const Pump &pump,
               const QString &version, QObject *parent = nullptr);
    ~PumpBridge() override;

    void start();
    // "offline" retained, then an orderly disconnection.
    void finish();

    bool publishing() const;
    bool controlAllowed() const { return options.allowControl; }
    void setControlAllowed(bool allowed) { options.allowControl = allowed; }
    const TopicNames &topics() const { return names; }

public slots:
    // One refresh tick's picture of the pump.
    void sample(const ProcessSample &sample);

signals:
    void publishingChanged(bool publishing);
    // The broker refused the bridge for good; the reason, for the operator.
    void refused(const QString &reason);
    void attemptFailed(const QString &reason);
    // A request was answered (a set, with its value read back): a sample taken now shows it,
    // without waiting for the next refresh tick.
    void stateDue();

private:
    struct Waiting
    {
        BusinessLogic::Ticket ticket = 0;
        QString key;
        QString value;
        QByteArray correlation;
    };

    void connectedChanged(bool connected);
    void message(const MqttClient::Message &message);
    void answered(const Answer &answer);
    void cleared(const std::vector<BusinessLogic::Ticket> &tickets);
    void result(const QString &key, const QString &value, const QByteArray &correlation, bool ok,
                const QString &answer, const QString &error);
    void publishInfo(bool always);
    QByteArray info() const;

    BridgeOptions options;
    QString id;
    Pump pump;
    QString version;
    TopicNames names;
    std::unique_ptr<MqttClient> client;
    StateThrottle throttle;
    std::deque<Waiting> waiting;
    // The query queued right behind an accepted set, and the item it updates.
    std::deque<std::pair<BusinessLogic::Ticket, GUI::OperationItem *>> readBacks;
    QByteArray lastState;
    QByteArray lastInfo;
    qint64 startMs = 0;
};
