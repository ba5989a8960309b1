#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <functional>

// mosquitto_sub on a topic filter, printing "topic|correlation data|payload" a line per message.
// More mosquitto_sub options may follow the filter. The waits look from line `since` on and give
// up after timeoutMs.
class MqttWatch
{
public:
    MqttWatch(int port, const QString &filter, const QStringList &options = QStringList());
    ~MqttWatch();

    MqttWatch(const MqttWatch &) = delete;
    MqttWatch &operator=(const MqttWatch &) = delete;

    QStringList lines();
    // The payload of the first message on topic with that correlation data that matches, or
    // empty; a matching empty payload comes back as " ", so that it still counts as found.
    QByteArray waitFor(const QString &topic, const std::function<bool(const QByteArray &)> &match,
                       const QString &correlation = QString(), int since = 0,
                       int timeoutMs = 10000);
    bool waitForText(const QString &topic, const QString &payload, int since = 0,
                     int timeoutMs = 10000);
    QJsonObject waitForObject(const QString &topic,
                              const std::function<bool(const QJsonObject &)> &match,
                              const QString &correlation = QString(), int since = 0,
                              int timeoutMs = 10000);

private:
    QProcess process;
    QString text;
};
