#include "remote/MqttClient.h"

#include "platform/UserFile.h"
#include "remote/ReceiptStamp.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QUrl>

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

constexpr int FirstRetryMs = 1000;
constexpr int LongestRetryMs = 30000;
constexpr int KeepAliveS = 20;
constexpr int AnswerMs = 5000; // CONNECT to CONNACK, TLS handshake included
constexpr int MiscMs = 1000;   // keep-alive bookkeeping
// QoS 1 messages the broker may have in flight to us before it waits for our acknowledgements.
constexpr int ReceiveMaximum = 16;

// Reason codes (MQTT 5) and return codes (3.1.1) that another attempt cannot mend.
bool lasting(int code)
{
    return code == 0x86 || code == 0x87 || code == 0x8C || code == 4 || code == 5;
}

QString sentence(const char *text)
{
    QString s = QString::fromLocal8Bit(text).trimmed();
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    if (!s.isEmpty())
        s[0] = s.at(0).toLower();
    return s;
}

QString reasonText(int code)
{
    switch (code) {
    case 0x86:
    case 4:
        return QStringLiteral("bad user name or password");
    case 0x87:
    case 5:
        return QStringLiteral("not authorised");
    default:
        return sentence(mosquitto_reason_string(code));
    }
}

// No prompt on the terminal for a key's pass phrase: an encrypted key cannot be loaded.
int noPassPhrase(char *, int, int, void *)
{
    return 0;
}

int initialised = mosquitto_lib_init();

} // namespace

struct MqttClient::Hooks
{
    static MqttClient *of(void *self) { return static_cast<MqttClient *>(self); }

    static void connect(mosquitto *, void *self, int rc, int, const mosquitto_property *)
    {
        Event e;
        e.kind = Event::Connected;
        e.code = rc;
        of(self)->events.push_back(std::move(e));
    }

    static void disconnect(mosquitto *, void *self, int rc, const mosquitto_property *)
    {
        Event e;
        e.kind = Event::Ended;
        e.code = rc;
        e.text = of(self)->failureText(rc); // errno is still the one of the failure
        of(self)->events.push_back(std::move(e));
    }

    static void message(mosquitto *, void *self, const mosquitto_message *m,
                        const mosquitto_property *props)
    {
        Event e;
        e.kind = Event::Received;
        e.message.topic = QString::fromUtf8(m->topic);
        e.message.payload = QByteArray(static_cast<const char *>(m->payload), m->payloadlen);
        e.message.retained = m->retain;
        void *data = nullptr;
        uint16_t length = 0;
        if (mosquitto_property_read_binary(props, MQTT_PROP_CORRELATION_DATA, &data, &length,
                                           false)) {
            e.message.correlation = QByteArray(static_cast<const char *>(data), length);
            free(data);
        }
        ReceiptStamp::note(e.message.topic, e.message.correlation);
        of(self)->events.push_back(std::move(e));
    }

    static void subscribe(mosquitto *, void *self, int mid, int count, const int *granted,
                          const mosquitto_property *)
    {
        Event e;
        e.kind = Event::Subscribed;
        e.mid = mid;
        e.granted.assign(granted, granted + count);
        of(self)->events.push_back(std::move(e));
    }

    static void publish(mosquitto *, void *self, int mid, int, const mosquitto_property *)
    {
        if (mid == of(self)->lastPublished)
            of(self)->published = true;
    }

    // The library names a failed certificate check only in its log, while the connection's
    // TLS state still holds OpenSSL's verdict.
    static void log(mosquitto *mosq, void *self, int level, const char *text)
    {
        if (level != MOSQ_LOG_ERR)
            return;
        MqttClient *client = of(self);
        const QString line = QString::fromLocal8Bit(text);
        if (client->libraryError.isEmpty())
            client->libraryError = line;
        if (!client->tlsProblem.isEmpty())
            return;
        if (line.contains(QLatin1String("host name verification failed"))) {
            client->certificateRejected = true;
            client->tlsProblem =
                QStringLiteral("TLS: the broker's certificate does not name host %1")
                    .arg(client->host);
        } else if (line.startsWith(QLatin1String("OpenSSL Error"))) {
            auto *ssl = static_cast<SSL *>(mosquitto_ssl_get(mosq));
            const long verdict = ssl != nullptr ? SSL_get_verify_result(ssl) : X509_V_OK;
            client->certificateRejected = verdict != X509_V_OK;
            if (verdict == X509_V_ERR_HOSTNAME_MISMATCH)
                client->tlsProblem =
                    QStringLiteral("TLS: the broker's certificate does not name host %1")
                        .arg(client->host);
            else if (verdict != X509_V_OK)
                client->tlsProblem =
                    QStringLiteral("TLS: the broker's certificate is not trusted (%1)")
                        .arg(QString::fromLatin1(X509_verify_cert_error_string(verdict)));
            else
                client->tlsProblem =
                    QStringLiteral("TLS: %1").arg(line.section(QLatin1String(": "), 1));
        }
    }
};

MqttClient::MqttClient(const BridgeOptions &bridgeOptions, const QString &id, QObject *parent)
    : QObject(parent)
    , options(bridgeOptions)
    , clientId(id)
{
    Q_UNUSED(initialised)
    qRegisterMetaType<MqttClient::Message>();
    const QUrl uri(options.serverUri());
    host = uri.host();
    port = uri.port(options.tls() ? 8883 : 1883);
    miscTimer.setInterval(MiscMs);
    connect(&miscTimer, &QTimer::timeout, this, [this] {
        if (handle != nullptr)
            settle(mosquitto_loop_misc(handle));
    });
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, [this] {
        if (!online)
            endAttempt(
                tlsProblem.isEmpty()
                    ? QStringLiteral("no answer from the broker within %1 s").arg(AnswerMs / 1000)
                    : tlsProblem,
                false);
    });
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MqttClient::attempt);
}

MqttClient::~MqttClient()
{
    stopped = true;
    // Orderly, without waiting: the library has no thread that could call back later.
    if (handle != nullptr && online)
        mosquitto_disconnect_v5(handle, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
    release();
}

void MqttClient::start(const QString &topic, const QByteArray &payload)
{
    willTopic = topic;
    willPayload = payload;
    attempt();
}

void MqttClient::subscribe(const QStringList &topicFilters, bool withRetained)
{
    for (const QString &filter : topicFilters) {
        subscriptions.insert(filter, withRetained);
        if (online)
            sendSubscription(filter, withRetained);
    }
    watchSocket();
}

void MqttClient::sendSubscription(const QString &filter, bool withRetained)
{
    // A request that was retained must not act when we subscribe, and one published with the
    // retain flag while we listen must still show it.
    const int subscribeOptions =
        withRetained ? 0 : MQTT_SUB_OPT_SEND_RETAIN_NEVER | MQTT_SUB_OPT_RETAIN_AS_PUBLISHED;
    int mid = 0;
    const int rc = mosquitto_subscribe_v5(handle, &mid, filter.toUtf8().constData(), 1,
                                          subscribeOptions, nullptr);
    if (rc == MOSQ_ERR_SUCCESS)
        pendingSubscriptions.insert(mid, filter);
    else
        emit subscriptionFailed(filter, failureText(rc));
}

QString MqttClient::prepare()
{
    mosquitto_int_option(handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_int_option(handle, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_int_option(handle, MOSQ_OPT_RECEIVE_MAXIMUM, ReceiveMaximum);
    mosquitto_connect_v5_callback_set(handle, &Hooks::connect);
    mosquitto_disconnect_v5_callback_set(handle, &Hooks::disconnect);
    mosquitto_message_v5_callback_set(handle, &Hooks::message);
    mosquitto_subscribe_v5_callback_set(handle, &Hooks::subscribe);
    mosquitto_publish_v5_callback_set(handle, &Hooks::publish);
    mosquitto_log_callback_set(handle, &Hooks::log);
    const QByteArray topic = willTopic.toUtf8();
    if (mosquitto_will_set_v5(handle, topic.constData(), willPayload.size(),
                              willPayload.constData(), 1, true, nullptr) != MOSQ_ERR_SUCCESS)
        return QStringLiteral("the will topic %1 cannot be used").arg(willTopic);
    if (!options.username.isEmpty() || !options.password.isEmpty()) {
        const QByteArray user = options.username.toUtf8();
        const QByteArray password = options.password.toUtf8();
        mosquitto_username_pw_set(handle, user.isEmpty() ? nullptr : user.constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (!options.tls())
        return QString();
    // The library opens them itself, and would wait on a FIFO for ever.
    for (const QString &file : {options.caFile, options.certFile, options.keyFile}) {
        const QString problem = file.isEmpty() ? QString() : UserFile::problem(file);
        if (!problem.isEmpty())
            return QStringLiteral("TLS: %1").arg(problem);
    }
    const QByteArray ca = options.caFile.toLocal8Bit();
    const QByteArray cert = options.certFile.toLocal8Bit();
    const QByteArray key = options.keyFile.toLocal8Bit();
    // Without a CA file the system's authorities check the broker.
    const QByteArray systemPath = X509_get_default_cert_dir();
    if (ca.isEmpty())
        mosquitto_int_option(handle, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    const int rc = mosquitto_tls_set(handle, ca.isEmpty() ? nullptr : ca.constData(),
                                     ca.isEmpty() ? systemPath.constData() : nullptr,
                                     cert.isEmpty() ? nullptr : cert.constData(),
                                     key.isEmpty() ? nullptr : key.constData(), &noPassPhrase);
    if (rc != MOSQ_ERR_SUCCESS)
        return QStringLiteral("TLS: the certificate and key files cannot be used together");
    return QString();
}

void MqttClient::attempt()
{
    if (stopped)
        return;
    release();
    tlsProblem.clear();
    libraryError.clear();
    certificateRejected = false;
    handle = mosquitto_new(clientId.toUtf8().constData(), true, this);
    if (handle == nullptr) {
        endAttempt(QStringLiteral("no memory for a connection"), false);
        return;
    }
    const QString problem = prepare();
    if (!problem.isEmpty()) {
        release();
        emit refused(problem);
        return;
    }
    // The library takes CONNECT properties only through its blocking connect, which stores them
    // before it looks at the host: given none, it keeps them and returns at once, and the
    // connection below, which never blocks on the network, sends them.
    mosquitto_property *properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE, MaxPacketBytes);
    mosquitto_connect_bind_v5(handle, nullptr, port, KeepAliveS, nullptr, properties);
    mosquitto_property_free_all(&properties);
    const int rc =
        mosquitto_connect_bind_async(handle, host.toUtf8().constData(), port, KeepAliveS, nullptr);
    // The library says "Error: Unable to load ..." of our own certificate, key or CA file before
    // anything reaches the broker; a handshake that failed says only OpenSSL's error.
    if (rc == MOSQ_ERR_TLS && !certificateRejected &&
        libraryError.startsWith(QLatin1String("Error: "))) {
        QString why = libraryError.section(QLatin1String(": "), 1);
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        release();
        emit refused(
            QStringLiteral("TLS: the certificate, key or CA file cannot be used (%1)").arg(why));
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        endAttempt(failureText(rc), false);
        return;
    }
    answerTimer.start(AnswerMs);
    miscTimer.start();
    watchSocket();
}

void MqttClient::drive()
{
    if (handle == nullptr)
        return;
    // Reads what is there (a packet or a few, no more), writes what is queued, carries the TLS
    // handshake on; never waits.
    settle(mosquitto_loop(handle, 0, 1));
}

void MqttClient::readArrived()
{
    if (online)
        drive();
}

void MqttClient::settle(int rc)
{
    if (rc != MOSQ_ERR_SUCCESS && handle != nullptr) {
        const bool ended = std::any_of(events.begin(), events.end(), [](const Event &e) {
            return e.kind == Event::Ended || (e.kind == Event::Connected && e.code != 0);
        });
        // A failed TLS handshake ends the connection without a callback.
        if (!ended) {
            Event e;
            e.kind = Event::Ended;
            e.code = rc;
            e.text = rc == MOSQ_ERR_TLS && !tlsProblem.isEmpty() ? tlsProblem : failureText(rc);
            events.push_back(std::move(e));
        }
    }
    dispatch();
}

void MqttClient::dispatch()
{
    QPointer<MqttClient> self(this);
    std::vector<Event> now;
    now.swap(events);
    for (Event &e : now) {
        if (handle == nullptr || stopped)
            return;
        switch (e.kind) {
        case Event::Connected:
            answerTimer.stop();
            if (e.code != 0) {
                endAttempt(reasonText(e.code), lasting(e.code));
                return;
            }
            online = true;
            retryMs = FirstRetryMs;
            // A copy: a listener to a refusal may subscribe again.
            for (const auto &[filter, withRetained] : subscriptions.toStdMap())
                sendSubscription(filter, withRetained);
            emit connectedChanged(true);
            break;
        case Event::Ended:
            if (online)
                lose();
            else
                endAttempt(e.text, false);
            return;
        case Event::Received:
            if (online)
                emit messageReceived(e.message);
            break;
        case Event::Subscribed: {
            const QString filter = pendingSubscriptions.take(e.mid);
            for (int code : e.granted) {
                if (code >= 0x80) {
                    emit subscriptionFailed(filter, reasonText(code));
                    break;
                }
            }
            break;
        }
        }
        if (!self)
            return;
    }
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = handle != nullptr ? mosquitto_socket(handle) : -1;
    if (fd != watched) {
        for (auto *notifier : {&reader, &writer}) {
            if (*notifier) {
                // Perhaps inside its own signal: it goes once that has returned.
                (*notifier)->setEnabled(false);
                notifier->release()->deleteLater();
            }
        }
        watched = fd;
        if (fd >= 0) {
            reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            connect(reader.get(), &QSocketNotifier::activated, this, &MqttClient::drive);
            connect(writer.get(), &QSocketNotifier::activated, this, &MqttClient::drive);
        }
    }
    if (writer)
        writer->setEnabled(mosquitto_want_write(handle));
}

void MqttClient::endAttempt(const QString &reason, bool isLasting)
{
    release();
    if (isLasting) {
        emit refused(reason);
        return;
    }
    retryTimer.start(retryMs);
    retryMs = std::min(retryMs * 2, LongestRetryMs);
    emit attemptFailed(reason);
}

void MqttClient::lose()
{
    release();
    online = false;
    retryTimer.start(retryMs);
    retryMs = std::min(retryMs * 2, LongestRetryMs);
    emit connectedChanged(false);
}

void MqttClient::release()
{
    answerTimer.stop();
    miscTimer.stop();
    events.clear();
    pendingSubscriptions.clear();
    online = false;
    if (handle != nullptr) {
        mosquitto_destroy(handle);
        handle = nullptr;
    }
    watchSocket();
}

QString MqttClient::failureText(int rc) const
{
    if (rc == MOSQ_ERR_ERRNO)
        return sentence(std::strerror(errno));
    if (rc == MOSQ_ERR_EAI)
        return QStringLiteral("cannot look up the host %1").arg(host);
    if (rc == MOSQ_ERR_CONN_LOST && !online)
        return QStringLiteral("the broker closed the connection");
    if (rc == MOSQ_ERR_TLS)
        return tlsProblem.isEmpty() ? QStringLiteral("TLS: the handshake failed") : tlsProblem;
    if (rc >= 0x80)
        return reasonText(rc);
    return sentence(mosquitto_strerror(rc));
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retained,
                         const QByteArray &correlation)
{
    if (!online || handle == nullptr || stopped)
        return false;
    mosquitto_property *properties = nullptr;
    if (!correlation.isEmpty())
        mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA,
                                      correlation.constData(),
                                      static_cast<uint16_t>(std::min(correlation.size(), 65535)));
    const int rc = mosquitto_publish_v5(handle, nullptr, topic.toUtf8().constData(), payload.size(),
                                        payload.constData(), qos, retained, properties);
    mosquitto_property_free_all(&properties);
    watchSocket();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::finish(const QString &topic, const QByteArray &payload)
{
    stopped = true;
    retryTimer.stop();
    if (handle != nullptr && online) {
        const auto waitFor = [this](int ms, const std::function<bool()> &done) {
            QElapsedTimer clock;
            clock.start();
            while (handle != nullptr && !done() && clock.elapsed() < ms) {
                if (mosquitto_loop(handle, 50, 1) != MOSQ_ERR_SUCCESS)
                    return;
            }
        };
        published = false;
        lastPublished = -1;
        int mid = 0;
        if (mosquitto_publish_v5(handle, &mid, topic.toUtf8().constData(), payload.size(),
                                 payload.constData(), 1, true, nullptr) == MOSQ_ERR_SUCCESS) {
            lastPublished = mid;
            waitFor(1000, [this] { return published; });
        }
        // The broker closes the connection once it has the DISCONNECT: then it surely has it.
        if (mosquitto_disconnect_v5(handle, MQTT_RC_NORMAL_DISCONNECTION, nullptr) ==
            MOSQ_ERR_SUCCESS)
            waitFor(1000, [this] { return mosquitto_socket(handle) < 0; });
    }
    release();
}
