#pragma once

#include "remote/MqttClient.h"
#include "remote/TopicNames.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

// Makes sure one bridge at a time serves a pump id. After every connection, before the bridge
// publishes anything, it reads what the broker retains for the id: availability and the owner
// record (host, pid, start time) that the serving bridge keeps next to it. Retained messages
// arrive right behind the subscription, so a probe published to the id's probe topic and
// received back marks that all of them are in. An id that is online under another owner is
// taken; a record left behind ("offline", or a process of this host that is gone) is not. Once
// granted, the id stays with this bridge until it leaves: a record someone else writes is written
// over, except in the moment right after the grant, when two bridges that probed together may
// both have been granted and the one started later gives way.
class IdClaim : public QObject
{
    Q_OBJECT

public:
    // How long the probe may take before the claim is decided on what has arrived.
    static constexpr int ProbeWaitMs = 3000;
    // How long after the grant a rival's record can still come from a probe made at the same
    // time as this bridge's, rather than from someone writing over a bridge that serves.
    static constexpr int RaceMs = ProbeWaitMs;
    // The record and availability are republished at most this often, however many records
    // others write.
    static constexpr int RepublishGapMs = 1000;

    struct Owner
    {
        QString host;
        qint64 pid = 0;
        qint64 startMs = 0;
        QString program; // the process name, which tells a reused pid from the bridge's own
    };

    IdClaim(const TopicNames &names, qint64 startMs, QObject *parent = nullptr);

    // The subscriptions the claim reads, with their retained messages.
    QStringList filters() const;
    // A connection was made: reads the id's record afresh and publishes the probe.
    void begin(MqttClient &client);
    // The connection was lost: undecided again.
    void end();
    bool granted() const { return state == State::Granted; }
    // True when the message was one of the claim's topics; the bridge does nothing else with it.
    bool take(const MqttClient::Message &message);
    // This bridge's owner record, published retained once the claim is granted.
    QByteArray record() const;

    static Owner self(qint64 startMs);
    static std::optional<Owner> parse(const QByteArray &json);
    // Empty when a bridge with the owner `self` may serve an id that the broker retains with
    // this availability and owner record; else why not, naming where the id is online.
    static QString refusal(const QString &id, const QByteArray &availability,
                           const std::optional<Owner> &owner, const Owner &self);

signals:
    void claimGranted();
    // The id is served elsewhere: the bridge must leave without publishing anything.
    void claimRefused(const QString &reason);
    // Another owner's record replaced this bridge's own, or another bridge's last will said
    // "offline", while this bridge serves the id: its record and availability are due again.
    void claimDue();

private:
    enum class State { Idle, Probing, Granted, Refused };

    void decide();
    void due();

    TopicNames names;
    QString id;
    Owner me;
    State state = State::Idle;
    QByteArray probeToken;
    QByteArray availability;
    QByteArray ownerJson;
    QTimer probeTimer;
    QElapsedTimer grantClock;
    QElapsedTimer lastDue;
    QTimer dueTimer;
    qint64 foreignProbeMs = -1; // when another bridge last probed this id
};
