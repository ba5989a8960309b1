#include "MqttWatch.h"

#include "MqttRig.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

MqttWatch::MqttWatch(int port, const QString &filter, const QStringList &options)
{
    process.start(QStringLiteral("mosquitto_sub"),
                  MqttRig::clientArgs(port, filter) + options + QStringList{"-F", "%t|%D|%p"});
}

MqttWatch::~MqttWatch()
{
    process.kill();
    process.waitForFinished(2000);
}

QStringList MqttWatch::lines()
{
    text += QString::fromUtf8(process.readAllStandardOutput());
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray MqttWatch::waitFor(const QString &topic,
                              const std::function<bool(const QByteArray &)> &match,
                              const QString &correlation, int since, int timeoutMs)
{
    const QString head = topic + QLatin1Char('|') + correlation + QLatin1Char('|');
    const QDeadlineTimer deadline(timeoutMs);
    do {
        for (const QString &line : lines().mid(since)) {
            const QByteArray payload = line.mid(head.size()).toUtf8();
            if (line.startsWith(head) && match(payload))
                return payload.isEmpty() ? QByteArray(" ") : payload;
        }
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return QByteArray();
}

bool MqttWatch::waitForText(const QString &topic, const QString &payload, int since, int timeoutMs)
{
    const QByteArray wanted = payload.toUtf8();
    const auto same = [&](const QByteArray &p) {
        return p == wanted;
    };
    return !waitFor(topic, same, QString(), since, timeoutMs).isEmpty();
}

QJsonObject MqttWatch::waitForObject(const QString &topic,
                                     const std::function<bool(const QJsonObject &)> &match,
                                     const QString &correlation, int since, int timeoutMs)
{
    const auto matches = [&](const QByteArray &p) {
        return match(json(p));
    };
    return json(waitFor(topic, matches, correlation, since, timeoutMs));
}
