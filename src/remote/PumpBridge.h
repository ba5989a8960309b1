#pragma once

#include "journal/JournalTotals.h"
#include "platform/RepeatedLine.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "pumpcore/RequestOrigin.h"
#include "recorder/ProcessSample.h"
#include "remote/BridgeOptions.h"
#include "remote/IdClaim.h"
#include "remote/MqttClient.h"
#include "remote/ProgramThrottle.h"
#include "remote/StateThrottle.h"
#include "remote/TopicNames.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class JournalEntry;
class LinkState;
class ProgramRunner;
class RemoteRequest;
struct ProgramStatus;

// Publishes one pump on an MQTT broker and takes its commands from there: availability (with the
// last will), whether the pump answers, the state after every refresh tick when it changed or
// every 10 s, the identity, and the outcome of each request with its correlation data. Requests
// are checked by the key table and join the pump core's remote lane, behind the local operator
// and ahead of the polls; a stop goes to the Stop lane and is never refused. A refused value
// never reaches the queue. A JSON dose or run is a one-step run on the core's program runner,
// as a program file sent to program/run is (checked whole first): the result says that the pump
// took its start, or why it did not, and its state, progress and end (the cause, the pump's final
// count) go out on the program topic. Everything asked goes to the pump under the client's
// origin; with a journal on the core, a request the bridge refuses is journaled as refused, and
// each entry this process writes for the pump goes out on the journal topic.
class PumpBridge : public QObject
{
    Q_OBJECT

public:
    // Requests and their read-backs waiting for answers at most; more are refused as "busy"
    // (a stop never is).
    static constexpr std::size_t MaxWaiting = 32;

    // The core is not owned and outlives the bridge.
    PumpBridge(const BridgeOptions &options, const QString &pumpId, PumpCore &core,
               ProgramRunner &runner, const QString &version, QObject *parent = nullptr);
    ~PumpBridge() override;

    void start();
    // From here on every request is answered that the bridge is leaving, and those still queued
    // are dropped: nothing the network asks goes out behind the Stop of the way out.
    void stopTakingRequests();
    // The pump "offline" and the owner record cleared, "offline" retained, then an orderly
    // disconnection; a bridge that has not yet made sure its id is its own publishes nothing.
    void finish();

    bool publishing() const;
    bool controlAllowed() const { return options.allowControl; }
    bool configAllowed() const { return options.allowConfig; }
    // Revoking a permission drops the remote requests still queued that needed it.
    void setControlAllowed(bool allowed);
    void setConfigAllowed(bool allowed);
    const TopicNames &topics() const { return names; }

public slots:
    // One refresh tick's picture of the pump.
    void sample(const ProcessSample &sample);

signals:
    void publishingChanged(bool publishing);
    // The broker refused the bridge for good, or the pump id is online elsewhere; the reason,
    // for the operator.
    void refused(const QString &reason);
    void attemptFailed(const QString &reason);
    // The broker refused to subscribe a topic; said once per topic, not at every reconnection.
    void subscriptionFailed(const QString &filter, const QString &reason);
    // A request was answered (a set, with its value read back): a sample taken now shows it,
    // without waiting for the next refresh tick.
    void stateDue();
    // A line for the journal: each remote request with its outcome, each change of the link.
    void logged(const QString &line);

private:
    struct Waiting
    {
        PumpCore::Ticket ticket = 0;
        QString key;
        QString name;
        QString value;
        QByteArray correlation;
        Pump::KeyTable::Permission permission = Pump::KeyTable::Permission::None;
        QString topic; // the request's, for the log
        // Set while the error flags are read after a NAK.
        bool refused = false;
    };
    // A JSON dose or run on the runner until the pump took its start or it ended.
    struct PendingRun
    {
        QString runId;
        QString key;
        QString value;
        QByteArray correlation;
        QString topic;
    };
    struct ReadBack
    {
        PumpCore::Ticket ticket = 0;
        Pump::KeyTable::Permission permission = Pump::KeyTable::Permission::None;
    };

    void connectedChanged(bool connected);
    // The id is this bridge's: what it publishes goes out.
    void claimGranted();
    void claimRefused(const QString &reason);
    // Drops the queued requests that needed that permission.
    void revoke(Pump::KeyTable::Permission permission);
    void message(const MqttClient::Message &message);
    void answered(const Answer &answer);
    // flagsRead: the error flags' read after a NAK, shared by the requests of one ticket.
    void answerWaiting(const Waiting &w, const Answer &answer, PumpCore::Ticket *flagsRead);
    void cleared(const std::vector<PumpCore::Ticket> &tickets);
    // key as asked, name the value's output name (none for a command or an unknown key);
    // fields: more for the result object (a refusal's "errors").
    void result(const QString &key, const QString &name, const QString &value,
                const QByteArray &correlation, bool ok, const QString &answer, const QString &error,
                const QJsonObject &fields = QJsonObject());
    void publishInfo(bool always);
    void linkChanged(const LinkState &state);
    // "online" while the pump answers, retained; always: even when it did not change.
    void publishPump(bool always);
    // The discovery configs again when the pump's identity became known or changed.
    void publishDiscovery(bool always);
    // Who asked, for the core and the journal: the bridge, its id, the correlation data.
    RequestOrigin originOf(const RemoteRequest &request) const;
    // A request the bridge itself refuses: journaled as refused, and answered.
    void refuse(const RemoteRequest &request, const QString &error);
    void startRun(const RemoteRequest &request);
    // The pending run's result, once the pump took its start or the run ended before.
    void runAnswer(const ProgramStatus &status, bool started);
    void publishJournal(const JournalEntry &entry);
    // program/run and the cmd words for the program runner: answered at once, but for a stop,
    // answered when the program has ended, with the pump's final count.
    void programRequest(const RemoteRequest &request);
    void programChanged(const ProgramStatus &status);
    void programEnded(const ProgramStatus &status);
    void publishProgram();
    // The refusal with the error flags the pump reports, read right after it.
    void refusal(const Waiting &w, const Answer &flags);
    QByteArray info() const;
    // The pump's totals read again from the journal: after a run ended or a service.
    void readTotals();

    BridgeOptions options;
    QString id;
    PumpCore &pump;
    ProgramRunner &runner;
    QString version;
    TopicNames names;
    std::unique_ptr<MqttClient> client;
    StateThrottle throttle;
    std::deque<Waiting> waiting;
    // The core's read-back of a set value, queued right behind the set.
    std::deque<ReadBack> readBacks;
    QByteArray lastState;
    QByteArray lastInfo;
    QByteArray lastPump;
    QString discoveredIdentity;
    QString answering; // the topic of the request result() answers, for the log
    QSet<QString> refusedFilters;
    qint64 startMs = 0;
    IdClaim claim;
    // A flood of one request (a stop sent over and over) costs the journal a line a second.
    RepeatedLine requestLog{[this](const QString &line) {
        emit logged(line);
    }};
    // Requests that came before the claim was decided: served once it is granted.
    std::vector<MqttClient::Message> held;
    ProgramThrottle programThrottle;
    // program-stop requests waiting for the program's end, with their topics (at most
    // MaxWaiting; more are answered at once).
    std::vector<std::pair<RemoteRequest, QString>> programStops;
    bool leaving = false;
    std::optional<PendingRun> pendingRun;
    QTimer programTimer;                 // the newest status, once the throttle lets it go
    std::optional<JournalTotals> totals; // none without a readable journal
};
