#pragma once

#include "program/DosingProgram.h"
#include "program/MultiPumpStatus.h"
#include "program/ProgramSplit.h"
#include "pumpcore/RequestOrigin.h"

#include <QElapsedTimer>
#include <QObject>

#include <map>
#include <memory>
#include <vector>

class ProgramRunner;
class PumpCore;

// Runs a program that names its pumps on the runners of those pumps, one run per pump: the
// program is split (ProgramSplit) and each pump's part started on its runner at once, under the
// program's origin with the program's id as the request, so that the journal ties each run to
// the program's own entry. Where the parts meet, each runner holds at a prompt step that this
// continues once the stages before are done on every pump.
//
// The interlock: a Stop to any of the program's pumps from any source (a pump error makes its
// runner send one at once), or a run ending otherwise than done (a pump error, a refusal, a link
// lost too long, a Stop, its own runner stopped), stops every other pump of the program through
// its runner's stop, which takes the core's Stop lane, on the next turn of the event loop. The
// program ends once every run has ended, with the pump's own final count for each, and with the
// cause of the run that set the interlock off.
//
// It may share the thread of the runners and cores it is given (the tool's one thread), or each
// pump may live on a thread of its own (the service): a runner on another thread is asked and
// started on that thread, and everything else reaches the runners by queued calls; it hears of
// them only through their signals either way.
class MultiPumpRunner : public QObject
{
    Q_OBJECT

public:
    // A host's pump: its core and the runner beside it. Both outlive this.
    struct Pump
    {
        PumpCore &core;
        ProgramRunner &runner;
    };

    // pumps: by the host's names for them, which a program's "pumps" name.
    // How long start() waits for a runner on another thread to say whether it is free.
    static constexpr int AskMs = 2000;

    explicit MultiPumpRunner(const std::map<QString, Pump> &pumps, QObject *parent = nullptr);
    ~MultiPumpRunner() override;

    // Starts a program that passed the file's checks and names its pumps; false, with the reason
    // in *error, when one is not here, a runner is busy, or a program is active.
    bool start(const DosingProgram &program, const RequestOrigin &origin, QString *error = nullptr);
    // Ends the program: every pump's run is stopped.
    void stop(const RequestOrigin &by = RequestOrigin());
    // Continues the pumps that wait at a prompt of the program's own (never a hold).
    void continuePrompt();
    // The host is about to destroy that pump: nothing is asked of it from now on, and a program
    // whose run on it has not ended ends, its run failed for that reason, the others stopped.
    void removePump(const QString &pump, const QString &reason);

    const MultiPumpStatus &status() const { return current; }
    // The running (or last) program as each pump runs it.
    const ProgramSplit &split() const { return parts; }
    // Whether that step of a pump's run is a hold, continued by this rather than the operator.
    bool isHold(const QString &pump, const ProgramStatus &run) const;

signals:
    void statusChanged(const MultiPumpStatus &status);
    // Each run's changes and steps, holds included, as its runner reports them.
    void runChanged(const QString &pump, const ProgramStatus &run);
    void stepStarted(const QString &pump, const ProgramStatus &run);
    void stepFinished(const QString &pump, const ProgramStatus &run);
    // Once every run has ended: the program's end, each pump's final count in its run.
    void ended(const MultiPumpStatus &status);

private:
    struct Mailbox;

    bool ours(const ProgramStatus &run) const;
    bool here(const QString &pump) const;
    // Why the pumps cannot take a run now: busy, or silent on their own thread; empty when free.
    QString busy(const QStringList &names) const;
    void startOnThread(const ProgramSplit::Part &part, const RequestOrigin &origin);
    // A run that could not start, or whose pump went: failed, and the program with it.
    void runFailed(const QString &pump, const QString &programId, const QString &why);
    void stopRunOf(const QString &pump, const RequestOrigin &by);
    void runChange(const QString &pump, const ProgramStatus &run);
    void runEnded(const QString &pump, const ProgramStatus &run);
    void stopRequested(const QString &pump, const RequestOrigin &by);
    // The interlock: stops every pump but the one whose run or Stop set it off.
    void interlock(const QString &pump);
    void release();
    void finishIfAllEnded();
    void changed();
    void journalStart(const DosingProgram &program);

    std::map<QString, Pump> pumps;
    std::map<QString, std::vector<QMetaObject::Connection>> wires;
    // Where a runner on another thread posts a refused start; emptied by the destructor.
    std::shared_ptr<Mailbox> mailbox;
    MultiPumpStatus current;
    ProgramSplit parts;
    QElapsedTimer clock;
    bool starting = false;
};
