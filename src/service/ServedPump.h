#pragma once

#include "service/PortNotice.h"
#include "service/PumpPlan.h"
#include "sila/SilaDiscovery.h"
#include "sila/SilaIdentity.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <memory>

class BridgeSession;
class ExitStop;
class HeadlessPump;
class Journal;
class OrphanRuns;
class ProgramRunner;
class PumpCore;
class SilaPump;
class SilaServer;

// One pump served: its polled core and runner (a lost port opened again), the Stop on the way out
// for what its front-ends set going, the runs a dead process left open, and its front-ends on
// that one core, the MQTT bridge, the SiLA server with its announcement, or both. Lives on the
// thread it was made on, which must run an event loop; its lines go out through logged().
class ServedPump : public QObject
{
    Q_OBJECT

public:
    enum class Failure {
        None,
        Setup,      // what the options name cannot be used (a certificate, the identity)
        Unreachable // the broker refused the bridge, the SiLA server cannot listen
    };
    struct Outcome
    {
        Failure failure = Failure::None;
        QString reason;
        bool ok() const { return failure == Failure::None; }
    };

    // The plan must have passed PumpPlan::problem() and name its port and address. The journal
    // is the process's and outlives this object.
    ServedPump(const PumpPlan &plan, Journal *journal, const QString &version,
               QObject *parent = nullptr);
    // Ends as finish() does, if it was not called.
    ~ServedPump() override;

    // Opens the line and starts the front-ends. On a failure, finish() is all that is left.
    Outcome start();
    // The way out: requests answered that the service is leaving, Stop for a run of ours, the
    // run's end in the journal, then the front-ends closed (the bridge says "offline"). Bounded.
    void finish();

    const PumpPlan &plan() const { return servedPlan; }
    // Valid after start(); for what runs across pumps, on this object's thread only.
    PumpCore *core();
    ProgramRunner *runner();

signals:
    void logged(const QString &line);
    // The SiLA server listens: its result line's fields and text.
    void silaServing(const QJsonObject &fields, const QString &text);
    // After start(): a front-end ended for good (the broker refused the bridge).
    void failed(ServedPump::Outcome outcome);

private:
    Outcome startAll();
    Outcome startSila();
    void startBridge();
    void watchPort();

    const PumpPlan servedPlan;
    Journal *const journal;
    const QString version;
    QString pumpId; // the MQTT id
    bool finished = false;
    bool ending = false;
    bool starting = false;
    SilaIdentity identity;
    QByteArray certificatePem;
    QByteArray keyPem;
    QByteArray clientCaPem;
    bool selfSigned = false;
    std::unique_ptr<HeadlessPump> headless;
    std::unique_ptr<ExitStop> ours;
    std::unique_ptr<OrphanRuns> orphans;
    std::unique_ptr<BridgeSession> bridge;
    QString lastBridgeFailure;
    std::unique_ptr<SilaPump> silaPump;
    std::unique_ptr<SilaServer> silaServer;
    std::unique_ptr<SilaDiscovery> discovery;
    SilaDiscovery::Record record;
    PortNotice portNotice;
    QTimer portTimer;
};

Q_DECLARE_METATYPE(ServedPump::Outcome)
