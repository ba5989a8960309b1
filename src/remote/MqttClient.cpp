#include "remote/MqttClient.h"

#include <mqtt/async_client.h>

#include <chrono>

namespace {

constexpr int FirstRetryMs = 1000;
constexpr int LongestRetryMs = 30000;

std::string utf8(const QString &text)
{
    return text.toStdString();
}

// Reason codes (MQTT 5) and return codes (3.1.1) that another attempt cannot mend.
bool lasting(int code)
{
    return code == 0x86 || code == 0x87 || code == 0x8C || code == 4 || code == 5;
}

QString describe(int code, const QString &what)
{
    switch (code) {
    case 0x86:
    case 4:
        return QStringLiteral("bad user name or password");
    case 0x87:
    case 5:
        return QStringLiteral("not authorised");
    default:
        return what;
    }
}

} // namespace

MqttClient::MqttClient(const BridgeOptions &bridgeOptions, const QString &clientId, QObject *parent)
    : QObject(parent)
    , options(bridgeOptions)
{
    qRegisterMetaType<MqttClient::Message>();
    // No buffering while disconnected: publish() refuses instead, so nothing piles up.
    client = std::make_unique<mqtt::async_client>(utf8(options.serverUri()), utf8(clientId),
                                                  mqtt::create_options(MQTTVERSION_5));
    client->set_connected_handler([this](const std::string &) {
        QMetaObject::invokeMethod(
            this, [this] { onConnected(); }, Qt::QueuedConnection);
    });
    client->set_connection_lost_handler([this](const std::string &) {
        QMetaObject::invokeMethod(
            this, [this] { onLost(); }, Qt::QueuedConnection);
    });
    client->set_message_callback([this](mqtt::const_message_ptr m) {
        Message message;
        message.topic = QString::fromStdString(m->get_topic());
        const std::string payload = m->get_payload_str();
        message.payload = QByteArray(payload.data(), static_cast<int>(payload.size()));
        message.retained = m->is_retained();
        const mqtt::properties &props = m->get_properties();
        if (props.contains(mqtt::property::CORRELATION_DATA)) {
            const std::string data =
                mqtt::get<std::string>(props, mqtt::property::CORRELATION_DATA);
            message.correlation = QByteArray(data.data(), static_cast<int>(data.size()));
        }
        QMetaObject::invokeMethod(
            this, [this, message] { emit messageReceived(message); }, Qt::QueuedConnection);
    });
    attemptTimer.setInterval(50);
    connect(&attemptTimer, &QTimer::timeout, this, &MqttClient::checkAttempt);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MqttClient::attempt);
}

MqttClient::~MqttClient()
{
    stopped = true;
    // The library's threads must not call into a half-destroyed object.
    client->set_connected_handler([](const std::string &) {});
    client->set_connection_lost_handler([](const std::string &) {});
    client->set_message_callback([](mqtt::const_message_ptr) {});
    try {
        if (client->is_connected())
            client->disconnect(0)->wait_for(std::chrono::seconds(2));
    } catch (const mqtt::exception &) {
        // Going away anyway.
    }
}

void MqttClient::start(const QString &topic, const QByteArray &payload)
{
    willTopic = topic;
    willPayload = payload;
    attempt();
}

void MqttClient::subscribe(const QStringList &topicFilters, bool withRetained)
{
    Q_UNUSED(withRetained)
    QStringList added;
    for (const QString &filter : topicFilters) {
        if (!filters.contains(filter))
            added << filter;
    }
    filters += added;
    if (online)
        subscribeNow(added);
}

void MqttClient::subscribeNow(const QStringList &topicFilters)
{
    for (const QString &filter : topicFilters) {
        try {
            client->subscribe(utf8(filter), 1);
        } catch (const mqtt::exception &) {
            // The connection just broke; the next one subscribes again.
        }
    }
}

void MqttClient::attempt()
{
    if (stopped)
        return;
    mqtt::connect_options_builder builder;
    builder.mqtt_version(MQTTVERSION_5)
        .clean_start(true)
        .keep_alive_interval(std::chrono::seconds(20))
        .connect_timeout(std::chrono::seconds(5))
        .automatic_reconnect(std::chrono::seconds(1), std::chrono::seconds(30))
        .will(mqtt::message(utf8(willTopic), willPayload.constData(),
                            static_cast<std::size_t>(willPayload.size()), 1, true));
    if (!options.username.isEmpty())
        builder.user_name(utf8(options.username));
    if (!options.password.isEmpty())
        builder.password(utf8(options.password));
    if (options.tls()) {
        mqtt::ssl_options ssl;
        if (!options.caFile.isEmpty())
            ssl.set_trust_store(utf8(options.caFile));
        if (!options.certFile.isEmpty()) {
            ssl.set_key_store(utf8(options.certFile));
            ssl.set_private_key(utf8(options.keyFile));
        }
        ssl.set_enable_server_cert_auth(true);
        ssl.set_verify(true);
        builder.ssl(ssl);
    }
    try {
        pending = client->connect(builder.finalize());
        attemptTimer.start();
    } catch (const mqtt::exception &e) {
        emit refused(QString::fromStdString(e.what()));
    }
}

void MqttClient::checkAttempt()
{
    if (!pending)
        return;
    try {
        if (!pending->wait_for(std::chrono::milliseconds(0)))
            return; // still in flight
        attemptTimer.stop();
        pending.reset();
        retryMs = FirstRetryMs;
    } catch (const mqtt::exception &e) {
        attemptTimer.stop();
        pending.reset();
        const int code = e.get_reason_code() != 0 ? e.get_reason_code() : e.get_return_code();
        const QString reason = describe(
            code, QString::fromStdString(e.get_message().empty() ? e.what() : e.get_message()));
        if (lasting(code)) {
            emit refused(reason);
            return;
        }
        emit attemptFailed(reason);
        retryTimer.start(retryMs);
        retryMs = std::min(retryMs * 2, LongestRetryMs);
    }
}

void MqttClient::onConnected()
{
    if (stopped)
        return;
    online = true;
    subscribeNow(filters);
    emit connectedChanged(true);
}

void MqttClient::onLost()
{
    if (!online)
        return;
    online = false;
    emit connectedChanged(false);
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retained,
                         const QByteArray &correlation)
{
    if (!online || !client->is_connected())
        return false;
    auto message = mqtt::make_message(utf8(topic), payload.constData(),
                                      static_cast<std::size_t>(payload.size()), qos, retained);
    if (!correlation.isEmpty()) {
        mqtt::properties props;
        props.add(mqtt::property(
            mqtt::property::CORRELATION_DATA,
            mqtt::binary(correlation.constData(), static_cast<std::size_t>(correlation.size()))));
        message->set_properties(props);
    }
    try {
        client->publish(message);
        return true;
    } catch (const mqtt::exception &) {
        return false;
    }
}

void MqttClient::finish(const QString &topic, const QByteArray &payload)
{
    stopped = true;
    retryTimer.stop();
    attemptTimer.stop();
    try {
        if (client->is_connected()) {
            client
                ->publish(utf8(topic), payload.constData(),
                          static_cast<std::size_t>(payload.size()), 1, true)
                ->wait_for(std::chrono::seconds(1));
            client->disconnect(std::chrono::milliseconds(500))->wait_for(std::chrono::seconds(1));
        }
    } catch (const mqtt::exception &) {
        // The broker is gone: its last will tells the same.
    }
    online = false;
}
