#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/Ticket.h"
#include "journal/JournalRun.h"
#include "pumpcore/RequestOrigin.h"
#include "recorder/ProcessSample.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <optional>
#include <vector>

class PumpCore;
class ProgramRunner;
struct Answer;

// Runs that a process started on this pump and never closed because it died: found in the
// journal once the pump answers, and closed there as "owner-gone" with the pump's own count.
// The pump is looked at each time it answers again (the host may now talk to another port or
// address). Unattended, a pump that still runs, or whose state cannot be read, is stopped
// first; asked, found() hands the choice to the operator and close() carries it out. Every wait is
// bounded; a journal that cannot be read is reported through logged() and nothing else happens.
class OrphanRuns : public QObject
{
    Q_OBJECT

public:
    // For a sample that tells whether the pump runs, for the Stop to be taken, for the count.
    static constexpr int LookMs = 3000;
    static constexpr int StopMs = 3000;
    static constexpr int CountMs = 3000;
    static constexpr const char *Cause = "owner-gone";

    // Every front-end's origin: a service takes over whatever was left on its pump.
    static QStringList anyOrigin();

    // Whether the process that wrote the run's start is gone: no such process, a zombie, or a
    // process of that id that started after the run did (the id was used again, perhaps by this
    // very process after a reboot). A start without a process id is never taken. *why says what
    // was found.
    static bool ownerGone(const JournalEntry &start, QString *why = nullptr);
    // The open runs on the pump started through one of origins (by who, unless empty) whose
    // owner is gone, oldest first. No file holds no run; false, with *problem, when the file
    // cannot be read.
    static bool find(const QString &journalPath, const QString &pump, const QStringList &origins,
                     const QString &who, QVector<JournalRun> *runs, QString *problem);

    // Looks with the core's journal, under the host's origin as the core has it now.
    OrphanRuns(PumpCore &core, const ProgramRunner &runner, const QStringList &origins,
               const QString &who, bool ask, QObject *parent = nullptr);

    // Ends the runs found(): with a Stop first, or leaving the pump as it is.
    void close(bool stop);
    bool busy() const { return step != Step::Idle; }

signals:
    // Asked only: runs whose owner is gone, oldest first, and what the pump is doing now (its
    // run state unknown when no sample came within LookMs).
    void found(const QVector<JournalRun> &runs, const ProcessSample &sample);
    // One line per closing, or the journal's problem.
    void logged(const QString &line);
    // The runs are closed in the journal's queue.
    void closed();

private:
    enum class Step { Idle, Looking, Asking, Stopping, Counting };

    void connected();
    void sampled(const ProcessSample &sample);
    void decide();
    void sendStop();
    void answered(const Answer &answer);
    void cleared(const std::vector<BusinessLogic::Ticket> &tickets);
    void timedOut();
    void count();
    void finish();
    // What was done to the pump, for the reason.
    QString pumpText() const;

    PumpCore &core;
    const ProgramRunner &runner;
    const QStringList origins;
    const QString who;
    const bool ask;
    const RequestOrigin host;
    bool wasConnected = false;
    Step step = Step::Idle;
    QVector<JournalRun> runs;
    ProcessSample seen;
    bool stopSent = false;
    bool stopTaken = false;
    bool ownRun = false; // a run of this host started before the Stop could go
    BusinessLogic::Ticket stopTicket = 0;
    BusinessLogic::Ticket volumeTicket = 0;
    BusinessLogic::Ticket timeTicket = 0;
    std::optional<double> volumeMl;
    std::optional<double> seconds;
    QTimer deadline;
};
