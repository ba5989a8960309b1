#include "remote/IdClaim.h"

#include "platform/EscapedText.h"
#include "pump/JsonKeys.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");
// A last will that says "offline" this soon after another bridge probed the id is taken for
// that bridge's, not for this one's.
constexpr qint64 ForeignWillMs = 60000;

QString processName(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

// The owner's process still runs: its pid is there, and, where that can be read, under the same
// name (a pid of a bridge long gone may have been given to another program since).
bool running(const IdClaim::Owner &owner)
{
    if (owner.pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(owner.pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString name = processName(owner.pid);
    return name.isEmpty() || owner.program.isEmpty() || name == owner.program;
}

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

// Of two owners that both claimed an id, the one started first keeps it.
bool before(const IdClaim::Owner &a, const IdClaim::Owner &b)
{
    if (a.startMs != b.startMs)
        return a.startMs < b.startMs;
    return std::make_pair(a.host, a.pid) < std::make_pair(b.host, b.pid);
}

bool same(const IdClaim::Owner &a, const IdClaim::Owner &b)
{
    return a.host == b.host && a.pid == b.pid && a.startMs == b.startMs;
}

} // namespace

IdClaim::IdClaim(const TopicNames &topicNames, qint64 startMs, QObject *parent)
    : QObject(parent)
    , names(topicNames)
    , id(topicNames.pumpId())
    , me(self(startMs))
{
    probeTimer.setSingleShot(true);
    probeTimer.setInterval(ProbeWaitMs);
    connect(&probeTimer, &QTimer::timeout, this, &IdClaim::decide);
    dueTimer.setSingleShot(true);
    connect(&dueTimer, &QTimer::timeout, this, [this] {
        if (state == State::Granted) {
            lastDue.start();
            emit claimDue();
        }
    });
}

QStringList IdClaim::filters() const
{
    return {names.availability(), names.owner(), names.probe()};
}

void IdClaim::begin(MqttClient &client)
{
    state = State::Probing;
    availability.clear();
    ownerJson.clear();
    probeToken = QStringLiteral("%1 %2 %3")
                     .arg(me.host)
                     .arg(me.pid)
                     .arg(QDateTime::currentMSecsSinceEpoch())
                     .toUtf8();
    probeTimer.start();
    // QoS 1 like the subscriptions: it comes back behind what they hold.
    client.publish(names.probe(), probeToken, 1, false);
}

void IdClaim::end()
{
    probeTimer.stop();
    dueTimer.stop();
    if (state != State::Refused)
        state = State::Idle;
}

bool IdClaim::take(const MqttClient::Message &message)
{
    if (message.topic == names.probe()) {
        if (message.payload != probeToken)
            foreignProbeMs = QDateTime::currentMSecsSinceEpoch();
        else if (state == State::Probing)
            decide();
        return true;
    }
    if (message.topic == names.availability()) {
        availability = message.payload;
        if (state == State::Granted && message.payload == Offline && foreignProbeMs >= 0 &&
            QDateTime::currentMSecsSinceEpoch() - foreignProbeMs < ForeignWillMs)
            due();
        return true;
    }
    if (message.topic == names.owner()) {
        ownerJson = message.payload;
        const std::optional<Owner> owner = parse(message.payload);
        if (state == State::Granted && !(owner && same(*owner, me))) {
            // Two bridges that probed at the same moment both serve for a moment: the later
            // leaves. Past it, a record is no claim: anyone allowed to write the topic can
            // write one, and a bridge that serves does not leave the pump for it.
            if (owner && before(*owner, me) && grantClock.elapsed() < RaceMs) {
                state = State::Refused;
                emit claimRefused(refusal(id, Online, owner, me));
            } else {
                due();
            }
        }
        return true;
    }
    return false;
}

void IdClaim::decide()
{
    probeTimer.stop();
    const QString why = refusal(id, availability, parse(ownerJson), me);
    state = why.isEmpty() ? State::Granted : State::Refused;
    if (why.isEmpty()) {
        grantClock.start();
        emit claimGranted();
    } else {
        emit claimRefused(why);
    }
}

void IdClaim::due()
{
    if (!lastDue.isValid() || lastDue.elapsed() >= RepublishGapMs) {
        lastDue.start();
        emit claimDue();
    } else if (!dueTimer.isActive()) {
        dueTimer.start(static_cast<int>(RepublishGapMs - lastDue.elapsed()));
    }
}

QByteArray IdClaim::record() const
{
    const QJsonObject object{{QStringLiteral("host"), me.host},
                             {QStringLiteral("pid"), me.pid},
                             {QStringLiteral("started"), isoTime(me.startMs)},
                             {QStringLiteral("program"), me.program}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

IdClaim::Owner IdClaim::self(qint64 startMs)
{
    Owner owner;
    owner.host = QSysInfo::machineHostName();
    owner.pid = QCoreApplication::applicationPid();
    owner.startMs = startMs;
    owner.program = processName(owner.pid);
    return owner;
}

std::optional<IdClaim::Owner> IdClaim::parse(const QByteArray &json)
{
    // A record from the broker, which anyone may have written.
    if (!Pump::JsonKeys::repeated(json).isNull())
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    Owner owner;
    owner.host = object.value(QStringLiteral("host")).toString();
    owner.pid = static_cast<qint64>(object.value(QStringLiteral("pid")).toDouble());
    const QDateTime started = QDateTime::fromString(
        object.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    owner.startMs = started.isValid() ? started.toMSecsSinceEpoch() : 0;
    owner.program = object.value(QStringLiteral("program")).toString();
    if (owner.host.isEmpty())
        return std::nullopt;
    return owner;
}

QString IdClaim::refusal(const QString &id, const QByteArray &availability,
                         const std::optional<Owner> &owner, const Owner &self)
{
    // "offline" (a bridge that ended, or its last will), or nothing retained at all.
    if (availability != Online)
        return QString();
    if (!owner)
        return QStringLiteral("the pump id \"%1\" is already online at the broker, with no owner "
                              "record to say where (a bridge of an older version, or an "
                              "\"online\" left behind, which a retained empty message to its "
                              "availability topic clears)")
            .arg(id);
    if (same(*owner, self))
        return QString(); // this bridge's own, from before a reconnection
    if (owner->host == self.host && !running(*owner))
        return QString(); // left behind by a bridge of this host that has ended
    return QStringLiteral("the pump id \"%1\" is already online at the broker, served from host "
                          "%2, pid %3, since %4")
        .arg(id, EscapedText::text(owner->host))
        .arg(owner->pid)
        .arg(owner->startMs > 0 ? isoTime(owner->startMs) : QStringLiteral("an unknown time"));
}
