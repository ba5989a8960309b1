#pragma once

#include "remote/BridgeOptions.h"
#include "remote/PumpBridge.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class PumpCore;
class ProgramRunner;

// The window's bridge to a broker, made when the operator connects and let go when they
// disconnect: fed by the window's sampler and summed up in one state for the display. A broker
// that refuses the bridge for good ends the session; one that cannot be reached yet is tried
// again by the client until the operator gives up.
class BridgeSession : public QObject
{
    Q_OBJECT

public:
    enum class State { Off, Connecting, Publishing, Refused };

    // The pump core is not owned and outlives the session.
    BridgeSession(PumpCore &pump, ProgramRunner &runner, const QString &version,
                  QObject *parent = nullptr);
    // A running bridge says "offline" and disconnects in order.
    ~BridgeSession() override;

    // The options must have passed BridgeOptions::problem(); a running bridge is stopped first.
    void start(const BridgeOptions &options, const QString &pumpId);
    // Before the Stop of the way out: requests are answered that the bridge is leaving.
    void stopTakingRequests();
    void stop();
    // Revoking either drops the queued remote requests it covered.
    void setControlAllowed(bool allowed);
    void setConfigAllowed(bool allowed);

    State state() const { return current; }
    bool running() const { return bridge != nullptr; }
    // The broker's refusal, or the last failed attempt or lost connection while connecting.
    QString reason() const { return why; }
    // "<prefix>/<id>", the root of every topic published.
    QString topicRoot() const { return root; }
    // The reason given while connecting again after the broker was lost.
    static QString lostText() { return QStringLiteral("the connection to the broker was lost"); }

signals:
    void stateChanged(BridgeSession::State state);
    // The bridge's journal lines: remote requests and their outcome, changes of the link.
    void logged(const QString &line);
    void subscriptionFailed(const QString &filter, const QString &reason);

private:
    void setState(State state, const QString &reason);
    void publishingChanged(bool publishing);
    void refused(const QString &reason);
    // Ends the bridge; later when called from one of its own signals.
    void release(bool orderly);

    PumpCore &pump;
    ProgramRunner &runner;
    QString version;
    std::unique_ptr<PumpBridge> bridge;
    State current = State::Off;
    QString why;
    QString root;
};
