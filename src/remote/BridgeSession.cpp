#include "remote/BridgeSession.h"

#include "pumpcore/PumpCore.h"

BridgeSession::BridgeSession(PumpCore &core, ProgramRunner &programRunner,
                             const QString &programVersion, QObject *parent)
    : QObject(parent)
    , pump(core)
    , runner(programRunner)
    , version(programVersion)
{}

BridgeSession::~BridgeSession()
{
    release(true);
}

void BridgeSession::start(const BridgeOptions &options, const QString &pumpId)
{
    release(true);
    root = options.topicPrefix + QLatin1Char('/') + pumpId;
    bridge = std::make_unique<PumpBridge>(options, pumpId, pump, runner, version);
    connect(bridge.get(), &PumpBridge::publishingChanged, this, &BridgeSession::publishingChanged);
    connect(bridge.get(), &PumpBridge::refused, this, &BridgeSession::refused);
    connect(bridge.get(), &PumpBridge::subscriptionFailed, this,
            &BridgeSession::subscriptionFailed);
    connect(bridge.get(), &PumpBridge::attemptFailed, this,
            [this](const QString &reason) { setState(State::Connecting, reason); });
    connect(&pump, &PumpCore::sampled, bridge.get(), &PumpBridge::sample);
    connect(bridge.get(), &PumpBridge::logged, this, &BridgeSession::logged);
    // Not a row of the recorder: only the bridge sees this extra sample.
    PumpBridge *b = bridge.get();
    connect(b, &PumpBridge::stateDue, b, [this, b] { b->sample(pump.sampler().take()); });
    setState(State::Connecting, QString());
    // May refuse at once (a TLS file the library cannot use): the state then says so.
    bridge->start();
}

void BridgeSession::stopTakingRequests()
{
    if (bridge)
        bridge->stopTakingRequests();
}

void BridgeSession::stop()
{
    release(true);
    setState(State::Off, QString());
}

void BridgeSession::setControlAllowed(bool allowed)
{
    if (bridge)
        bridge->setControlAllowed(allowed);
}

void BridgeSession::setConfigAllowed(bool allowed)
{
    if (bridge)
        bridge->setConfigAllowed(allowed);
}

void BridgeSession::setState(State state, const QString &reason)
{
    if (state == current && reason == why)
        return;
    current = state;
    why = reason;
    emit stateChanged(current);
}

void BridgeSession::publishingChanged(bool publishing)
{
    if (publishing)
        setState(State::Publishing, QString());
    else
        setState(State::Connecting, lostText());
}

void BridgeSession::refused(const QString &reason)
{
    release(false);
    setState(State::Refused, reason);
}

void BridgeSession::release(bool orderly)
{
    if (!bridge)
        return;
    PumpBridge *old = bridge.release();
    old->disconnect(this);
    disconnect(&pump, nullptr, old, nullptr);
    if (orderly) {
        old->finish();
        delete old;
    } else {
        // Inside the bridge's own signal: its client is still on the stack.
        old->deleteLater();
    }
}
