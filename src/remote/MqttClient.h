#pragma once

#include "remote/BridgeOptions.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace mqtt {
class async_client;
class token;
} // namespace mqtt

// One MQTT 5 connection to the broker, on the event loop: the client library's threads only post
// to it. It connects with the options' credentials and TLS files and a last will, tries again
// with a growing pause (1 s to 30 s) while the broker cannot be reached, renews its
// subscriptions after every reconnection, and never queues a message while it is not
// connected: what the bridge publishes then is dropped and published afresh on reconnection.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        QByteArray correlation; // MQTT 5 correlation data, empty when none came
        bool retained = false;  // kept by the broker from before, not sent just now
    };

    MqttClient(const BridgeOptions &options, const QString &clientId, QObject *parent = nullptr);
    ~MqttClient() override;

    // The will the broker publishes (retained, QoS 1) when the connection breaks off.
    void start(const QString &willTopic, const QByteArray &willPayload);
    // Kept, and subscribed again on every connection; the filters add to those given before.
    // withRetained: the broker's retained messages are wanted too (they always come here).
    void subscribe(const QStringList &filters, bool withRetained = false);
    bool isConnected() const { return online; }
    // False, sending nothing, while not connected.
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retained,
                 const QByteArray &correlation = QByteArray());
    // Publishes a last message (retained, QoS 1) and disconnects in order, waiting at most
    // about two seconds for the broker.
    void finish(const QString &topic, const QByteArray &payload);

signals:
    void connectedChanged(bool connected);
    void messageReceived(const MqttClient::Message &message);
    // The broker refused the connection for a reason another attempt cannot mend (user name or
    // password wrong or missing, not authorised, bad TLS files); nothing more is tried.
    void refused(const QString &reason);
    // Each failed attempt, with the reason, while it goes on trying.
    void attemptFailed(const QString &reason);

private:
    void attempt();
    void checkAttempt();
    void onConnected();
    void onLost();
    void subscribeNow(const QStringList &filters);

    BridgeOptions options;
    std::unique_ptr<mqtt::async_client> client;
    std::shared_ptr<mqtt::token> pending;
    QTimer attemptTimer; // polls the attempt in flight
    QTimer retryTimer;
    int retryMs = 1000;
    QStringList filters;
    QString willTopic;
    QByteArray willPayload;
    bool online = false;
    bool stopped = false;
};

Q_DECLARE_METATYPE(MqttClient::Message)
