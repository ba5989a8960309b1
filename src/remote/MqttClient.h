#pragma once

#include "program/ProgramFile.h"
#include "remote/BridgeOptions.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class QSocketNotifier;
struct mosquitto;

// One MQTT 5 connection to the broker, driven by the event loop alone: the client library runs
// no thread of its own, so every callback comes from inside a call this class makes. It connects
// with the options' credentials and TLS files and a last will, tries again with a growing pause
// (1 s to 30 s) while the broker cannot be reached, renews its subscriptions after every
// reconnection, and never queues a message while it is not connected: what the bridge publishes
// then is dropped and published afresh on reconnection. It tells the broker never to send a
// packet over MaxPacketBytes.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        QByteArray correlation; // MQTT 5 correlation data, empty when none came
        bool retained = false;  // the retain flag as received
    };

    // Announced at CONNECT: the broker drops a larger message for us instead of sending it, and
    // nobody can answer that. Twice the largest request (a program file), so that a request too
    // long to take still arrives and is refused on result; the bridge holds one at a time.
    static constexpr int MaxPacketBytes = 2 * ProgramFile::MaxBytes;

    MqttClient(const BridgeOptions &options, const QString &clientId, QObject *parent = nullptr);
    ~MqttClient() override;

    // The will the broker publishes (retained, QoS 1) when the connection breaks off.
    void start(const QString &willTopic, const QByteArray &willPayload);
    // Kept, and subscribed again on every connection; a filter given again takes the new
    // options. Without withRetained (requests) the broker sends no retained message at
    // subscription and passes on the retain flag of what comes live, so that a request published
    // with it can be told apart; withRetained gets the retained messages as usual.
    void subscribe(const QStringList &filters, bool withRetained = false);
    // Takes in what has already arrived, without waiting: before the line goes to a poll.
    void readArrived();
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
    // The broker refused a subscription (SUBACK with a failure reason code).
    void subscriptionFailed(const QString &filter, const QString &reason);

private:
    // What the library reported from inside one call, handled once the call has returned.
    struct Event
    {
        enum Kind { Connected, Ended, Received, Subscribed } kind = Ended;
        int code = 0; // reason code, or the library's error
        QString text;
        Message message;
        int mid = 0;
        std::vector<int> granted;
    };

    struct Hooks; // the library's callbacks
    friend struct Hooks;

    void attempt();
    QString prepare(); // empty, or why the options cannot be used (lasting)
    void drive();      // the socket is ready, or the keep-alive timer is due
    void settle(int rc);
    void dispatch();
    void watchSocket();
    void endAttempt(const QString &reason, bool lasting);
    void lose();
    void release();
    void sendSubscription(const QString &filter, bool withRetained);
    QString failureText(int rc) const;

    BridgeOptions options;
    QString clientId;
    QString host;
    int port = 0;
    mosquitto *handle = nullptr; // a fresh one per attempt: nothing carries over
    std::unique_ptr<QSocketNotifier> reader;
    std::unique_ptr<QSocketNotifier> writer;
    int watched = -1;
    QTimer miscTimer;   // keep-alive pings and their time-out
    QTimer answerTimer; // the attempt in flight
    QTimer retryTimer;
    int retryMs = 1000;
    QMap<QString, bool> subscriptions;        // filter -> with retained messages
    QHash<int, QString> pendingSubscriptions; // message id -> filter
    std::vector<Event> events;
    QString tlsProblem;               // what the TLS handshake of this attempt found
    bool certificateRejected = false; // the broker's certificate failed the check
    QString libraryError;
    int lastPublished = -1; // finish(): the message id it waits for
    bool published = false;
    QString willTopic;
    QByteArray willPayload;
    bool online = false;
    bool stopped = false;
};

Q_DECLARE_METATYPE(MqttClient::Message)
