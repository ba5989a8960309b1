#pragma once

#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "BusinessLogic/QueueEntry.h"
#include "GUI/RefreshTimer.h"
#include "pump/PumpItems.h"
#include "pumpcore/LinkState.h"
#include "pumpcore/RequestOrigin.h"
#include "recorder/ProcessSampler.h"
#include "serial/Communication.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

// The pump as every front-end reaches it: the one link, every command, the queue and its
// arbiter, the poller, one set of items and the sampler, made in that order and destroyed in
// reverse. Front-ends only add requests to the arbiter's lanes and read what comes back: the
// verdict on each exchange, the items, the link state and the samples. Each request carries the
// origin set at the time (see OriginScope); with a journal attached, every setting sent and every
// change of the link is recorded with it. The runner sits above, beside it in every host.
class Journal;

class PumpCore : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // Poll the pump every refresh tick and sample the items (the window and the bridge);
        // off for the command-line tool, which asks only what it needs.
        bool polling = true;
    };

    using Id = BusinessLogic::CommandSpezifier;
    using Lane = BusinessLogic::Lane;
    using Ticket = BusinessLogic::Ticket;

    explicit PumpCore(Options options, QObject *parent = nullptr);
    PumpCore()
        : PumpCore(Options{})
    {}
    ~PumpCore() override;

    Communication &link() { return communication; }
    const Communication &link() const { return communication; }
    BusinessLogic::LoggingCommandStack &stack() { return commandStack; }
    // One object of every command, in the order they were made.
    const std::vector<BusinessLogic::Command *> &commandObjects() const
    {
        return commands.commands();
    }
    // Indexed by command id; 44 and 64 stay null.
    std::vector<BusinessLogic::Command *> &table() { return commandTable; }
    BusinessLogic::Command *command(Id id) const;
    GUI::RefreshTimer &refresher() { return *refreshTimer; }
    Pump::PumpItems &items() { return pumpItems; }
    const Pump::PumpItems &items() const { return pumpItems; }
    ProcessSampler &sampler() { return *processSampler; }
    LinkState linkState() const;

    // The journal this process writes, and the pump's name in it; none until a host attaches
    // one. The journal outlives the core.
    void attachJournal(Journal *journal, const QString &pumpId = QString());
    Journal *journal() const { return journalSink; }
    // The name given, or the port and address the link uses now: "/dev/ttyUSB0:1".
    QString pumpId() const;

    // The origin every request carries until another is set: the host's own (the window, the
    // tool), or the client a front-end serves right now.
    void setOrigin(const RequestOrigin &origin) { currentOrigin = origin; }
    const RequestOrigin &origin() const { return currentOrigin; }
    // Sets an origin for the requests of one scope and puts the one before back after it.
    class OriginScope
    {
    public:
        OriginScope(PumpCore &core, const RequestOrigin &origin)
            : core(core)
            , before(core.origin())
        {
            core.setOrigin(origin);
        }
        ~OriginScope() { core.setOrigin(before); }
        OriginScope(const OriginScope &) = delete;
        OriginScope &operator=(const OriginScope &) = delete;

    private:
        PumpCore &core;
        RequestOrigin before;
    };
    // The origin of a request on its way, while its answer is being handed out; null for a
    // poll or a ticket that is not on its way.
    const RequestOrigin *originOf(Ticket ticket) const;

    // Queues a command in that lane; 0 when the command does not exist. Stop always goes to the
    // Stop lane, whichever lane is named.
    Ticket submit(Lane lane, Id id, int value, bool logFlag = true);
    // Stop from any source: next on the wire, never refused.
    Ticket stop(bool logFlag = true);
    // A setting whose value an item takes once the pump accepted it: done(true) runs then, and
    // done(false) on a refusal, silence, a garbled answer or a clear (while context lives).
    Ticket submitSetting(Lane lane, Id id, int value, QObject *context,
                         std::function<void(bool accepted)> done);

    // Whether a command goes on the wire (local commands and the receive-state query do not).
    static bool onWire(BusinessLogic::Command *command);

    // The program and step every sample is stamped with until the next call; the runner sets
    // them, and clears them once a sample holds its final count.
    void markSamples(const QString &program, const QString &step);

signals:
    // Every execution's answer with its verdict, after the items took it.
    void answered(const Answer &answer);
    void linkStateChanged(const LinkState &state);
    // One picture of the polled values per refresh tick, once its round is in; stamped with the
    // running program's name and step (see markSamples).
    void sampled(const ProcessSample &sample);
    // A Stop from any source, just before it is queued, with who asked for it.
    void stopRequested(const RequestOrigin &by);

private:
    void judge(const Answer &answer);
    void cleared(const std::vector<Ticket> &tickets);
    // The pump fell silent: the status words the poller read before are no reading of now, and
    // each group counts again once it is answered. The tool keeps its words: it reads what it
    // shows right before, and tries a silent exchange again.
    void forgetStatusWords();
    void updateLinkState();
    void roundDelivered();
    void tick();
    void stamp(const ProcessSample &sample);
    void remember(Lane lane, Id id, int value, Ticket ticket);
    void record(const Answer &answer);
    void recordLink(const LinkState &state);

    Options options;
    Communication communication;
    BusinessLogic::CommandSet commands{&communication};
    std::vector<BusinessLogic::Command *> commandTable;
    BusinessLogic::LoggingCommandStack commandStack;
    Pump::PumpItems pumpItems;
    std::unique_ptr<GUI::RefreshTimer> refreshTimer;
    std::unique_ptr<ProcessSampler> processSampler;
    LinkState verdictState;
    LinkState shownState;
    struct Held
    {
        QPointer<QObject> context;
        std::function<void(bool)> done;
    };
    // A Stop's ticket may be held by several callers: they joined one Stop.
    std::multimap<Ticket, Held> held;
    bool roundSampled = false;
    QString markedProgram;
    QString markedStep;
    Journal *journalSink = nullptr;
    QString pumpName;
    RequestOrigin currentOrigin;
    // Requests on their way with their origin; settings also with what the pump had before.
    struct Sent
    {
        RequestOrigin origin;
        Id id = Id::Base;
        int value = 0;
        QJsonValue before;
    };
    std::map<Ticket, Sent> sent;
    bool journaledConnected = false;

    // Read-backs: queries outside the poller's round whose answers the items take.
public:
    // A query whose answer the item of that query takes before anyone hears of it through
    // answered(), as a polled answer is: a value read right behind its setting, the error flags
    // right after a refusal. Not logged. An answer the pump did not give leaves the item as it
    // is, for the poller to tell. 0 when no command or no item answers to that query.
    Ticket readBack(Lane lane, Id query, int parameter);

private:
    void takeReadBack(const Answer &answer);
    void dropReadBacks(const std::vector<Ticket> &tickets);

    // The item each read-back's answer goes to; the poller's own queries are never in here.
    std::map<Ticket, GUI::OperationItem *> readBacks;
};
