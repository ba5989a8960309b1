#include "program/MultiPumpRunner.h"

#include "journal/Journal.h"
#include "journal/JournalRun.h"
#include "program/ProgramRunner.h"
#include "program/RunRecord.h"
#include "pumpcore/PumpCore.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QMetaObject>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <limits>

using State = ProgramStatus::State;
using Cause = ProgramStatus::Cause;

namespace {

// Continues the runner's prompt at that position of that program's run, if it still waits there
// when the call arrives: a run stopped or continued meanwhile is left as it is.
void continueAt(ProgramRunner &runner, const QString &programId, int position)
{
    QMetaObject::invokeMethod(
        &runner,
        [&runner, programId, position] {
            const ProgramStatus &s = runner.status();
            if (s.origin.request == programId && s.position == position &&
                s.state == State::WaitingForOperator)
                runner.continuePrompt();
        },
        Qt::QueuedConnection);
}

void stopRun(ProgramRunner &runner, const QString &programId, const RequestOrigin &by)
{
    QMetaObject::invokeMethod(
        &runner,
        [&runner, programId, by] {
            if (runner.status().origin.request == programId && runner.status().active())
                runner.stop(by);
        },
        Qt::QueuedConnection);
}

// The answers of the runners asked on their own threads.
struct Answers
{
    QMutex mutex;
    QWaitCondition done;
    int left = 0;
    QStringList busy;
};

// Each pump's progress by time, weighted by the time of its own steps; every pump the same when
// none has a time.
double progressOf(const ProgramSplit &split, const MultiPumpStatus &status)
{
    double total = 0;
    for (const ProgramSplit::Part &part : split.parts)
        total += part.seconds;
    double done = 0;
    for (const ProgramSplit::Part &part : split.parts) {
        const auto it = status.runs.find(part.pump);
        const double weight = total > 0 ? part.seconds / total : 1.0 / split.parts.size();
        done += weight * (it == status.runs.end() ? 0 : it->second.progress);
    }
    return status.state == ProgramStatus::State::Done ? 1.0 : done;
}

} // namespace

struct MultiPumpRunner::Mailbox
{
    QMutex mutex;
    MultiPumpRunner *owner = nullptr;
};

MultiPumpRunner::MultiPumpRunner(const std::map<QString, Pump> &hostPumps, QObject *parent)
    : QObject(parent)
    , pumps(hostPumps)
    , mailbox(std::make_shared<Mailbox>())
{
    qRegisterMetaType<MultiPumpStatus>();
    qRegisterMetaType<ProgramStatus>();
    qRegisterMetaType<RequestOrigin>();
    mailbox->owner = this;
    for (const auto &entry : pumps) {
        const QString name = entry.first;
        ProgramRunner *runner = &entry.second.runner;
        // A signal already on its way when the pump was removed finds it gone and is dropped.
        std::vector<QMetaObject::Connection> &w = wires[name];
        w.push_back(connect(runner, &ProgramRunner::statusChanged, this,
                            [this, name](const ProgramStatus &s) {
                                if (pumps.count(name) > 0)
                                    runChange(name, s);
                            }));
        w.push_back(connect(runner, &ProgramRunner::stepStarted, this,
                            [this, name](const ProgramStatus &s) {
                                if (!ours(s) || pumps.count(name) == 0)
                                    return;
                                current.runs[name] = s;
                                emit stepStarted(name, s);
                                release();
                            }));
        w.push_back(connect(runner, &ProgramRunner::stepFinished, this,
                            [this, name](const ProgramStatus &s) {
                                if (ours(s) && pumps.count(name) > 0)
                                    emit stepFinished(name, s);
                            }));
        w.push_back(
            connect(runner, &ProgramRunner::ended, this, [this, name](const ProgramStatus &s) {
                if (pumps.count(name) > 0)
                    runEnded(name, s);
            }));
        w.push_back(connect(&entry.second.core, &PumpCore::stopRequested, this,
                            [this, name](const RequestOrigin &by) {
                                if (pumps.count(name) > 0)
                                    stopRequested(name, by);
                            }));
    }
}

MultiPumpRunner::~MultiPumpRunner()
{
    // A runner that refuses its start after this is gone tells nobody.
    QMutexLocker lock(&mailbox->mutex);
    mailbox->owner = nullptr;
}

bool MultiPumpRunner::here(const QString &pump) const
{
    return pumps.at(pump).runner.thread() == thread();
}

QString MultiPumpRunner::busy(const QStringList &names) const
{
    const auto running = [](const QString &pump) {
        return QStringLiteral("%1: a program is already running").arg(pump);
    };
    auto answers = std::make_shared<Answers>();
    QStringList asked;
    for (const QString &pump : names) {
        ProgramRunner *runner = &pumps.at(pump).runner;
        if (here(pump)) {
            if (runner->status().active())
                return running(pump);
            continue;
        }
        asked << pump;
        {
            QMutexLocker lock(&answers->mutex);
            ++answers->left;
        }
        // Read on the runner's own thread; dropped with the runner if it goes first.
        QMetaObject::invokeMethod(
            runner,
            [runner, answers, pump] {
                const bool active = runner->status().active();
                QMutexLocker lock(&answers->mutex);
                if (active)
                    answers->busy << pump;
                --answers->left;
                answers->done.wakeAll();
            },
            Qt::QueuedConnection);
    }
    if (asked.isEmpty())
        return QString();
    const QDeadlineTimer deadline(AskMs);
    QMutexLocker lock(&answers->mutex);
    while (answers->left > 0 && !deadline.hasExpired())
        answers->done.wait(&answers->mutex, deadline);
    for (const QString &pump : asked)
        if (answers->busy.contains(pump))
            return running(pump);
    if (answers->left > 0)
        return QStringLiteral("a pump did not say within %1 s whether it is free; try again")
            .arg(AskMs / 1000);
    return QString();
}

bool MultiPumpRunner::start(const DosingProgram &program, const RequestOrigin &origin,
                            QString *error)
{
    const auto refuse = [error](const QString &why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (current.active())
        return refuse(QStringLiteral("a program is already running on these pumps"));
    if (program.pumps.isEmpty())
        return refuse(QStringLiteral("the program names no pumps; it runs on one pump's runner"));
    for (const QString &pump : program.pumps) {
        if (pumps.count(pump) == 0)
            return refuse(QStringLiteral("the program's pump \"%1\" is not here").arg(pump));
    }
    const QString taken = busy(program.pumps);
    if (!taken.isEmpty())
        return refuse(taken);
    parts = ProgramSplit::of(program);
    current = MultiPumpStatus();
    current.state = State::Running;
    current.name = program.name;
    current.programId = JournalEntry::newRunId();
    current.origin = origin;
    current.pumps = program.pumps;
    clock.start();
    journalStart(program);

    RequestOrigin runOrigin = origin;
    runOrigin.request = current.programId;
    runOrigin.runId.clear();
    for (const ProgramSplit::Part &part : parts.parts) {
        if (!here(part.pump)) {
            startOnThread(part, runOrigin);
            continue;
        }
        QString why;
        if (!pumps.at(part.pump).runner.start(part.program, runOrigin, &why)) {
            // Only another caller between the checks and here: what started is stopped.
            current.state = State::Failed;
            current.cause = Cause::Other;
            current.causePump = part.pump;
            current.reason = QStringLiteral("%1: %2").arg(part.pump, why);
            for (const QString &pump : current.pumps)
                stopRunOf(pump, runOrigin);
            emit statusChanged(current);
            emit ended(current);
            return refuse(current.reason);
        }
    }
    changed();
    release();
    return true;
}

void MultiPumpRunner::startOnThread(const ProgramSplit::Part &part, const RequestOrigin &origin)
{
    ProgramRunner *runner = &pumps.at(part.pump).runner;
    const std::shared_ptr<Mailbox> box = mailbox;
    const QString pump = part.pump;
    const DosingProgram program = part.program;
    QMetaObject::invokeMethod(
        runner,
        [runner, box, pump, program, origin] {
            QString why;
            if (runner->start(program, origin, &why))
                return;
            // Posted while the owner cannot go away; once posted, it is dropped with the owner.
            QMutexLocker lock(&box->mutex);
            MultiPumpRunner *owner = box->owner;
            if (owner != nullptr)
                QMetaObject::invokeMethod(
                    owner,
                    [owner, pump, id = origin.request, why] { owner->runFailed(pump, id, why); },
                    Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void MultiPumpRunner::runFailed(const QString &pump, const QString &programId, const QString &why)
{
    if (!current.active() || current.programId != programId || !current.pumps.contains(pump))
        return;
    ProgramStatus &run = current.runs[pump];
    if (run.ended())
        return;
    run.state = State::Failed;
    run.cause = Cause::Other;
    run.fault = ProgramStatus::Fault::Other;
    run.reason = why;
    run.origin.request = programId;
    emit runChanged(pump, run);
    interlock(pump);
    release();
    finishIfAllEnded();
}

void MultiPumpRunner::removePump(const QString &pump, const QString &reason)
{
    if (pumps.count(pump) == 0)
        return;
    for (const QMetaObject::Connection &wire : wires[pump])
        disconnect(wire);
    wires.erase(pump);
    pumps.erase(pump);
    runFailed(pump, current.programId, reason);
}

void MultiPumpRunner::stopRunOf(const QString &pump, const RequestOrigin &by)
{
    const auto it = pumps.find(pump);
    if (it != pumps.end())
        stopRun(it->second.runner, current.programId, by);
}

void MultiPumpRunner::stop(const RequestOrigin &by)
{
    if (current.state != State::Running && current.state != State::WaitingForOperator)
        return;
    current.state = State::Ending;
    current.cause = Cause::ProgramStop;
    current.stoppedBy = by.known() ? by : current.origin;
    for (const QString &pump : current.pumps)
        stopRunOf(pump, current.stoppedBy);
    changed();
}

void MultiPumpRunner::continuePrompt()
{
    for (const QString &pump : current.pumps) {
        const ProgramStatus &run = current.runs[pump];
        const auto it = pumps.find(pump);
        if (it != pumps.end() && run.state == State::WaitingForOperator && !isHold(pump, run))
            continueAt(it->second.runner, current.programId, run.position);
    }
}

bool MultiPumpRunner::isHold(const QString &pump, const ProgramStatus &run) const
{
    return parts.isHold(pump, run.position);
}

bool MultiPumpRunner::ours(const ProgramStatus &run) const
{
    return current.active() && run.origin.request == current.programId;
}

void MultiPumpRunner::runChange(const QString &pump, const ProgramStatus &run)
{
    if (!ours(run))
        return;
    current.runs[pump] = run;
    emit runChanged(pump, run);
    if ((run.state == State::Ending || run.ended()) && run.cause != Cause::Done)
        interlock(pump);
    release();
    changed();
}

void MultiPumpRunner::runEnded(const QString &pump, const ProgramStatus &run)
{
    if (!ours(run))
        return;
    current.runs[pump] = run;
    emit runChanged(pump, run);
    if (run.cause != Cause::Done)
        interlock(pump);
    release();
    finishIfAllEnded();
}

void MultiPumpRunner::stopRequested(const QString &pump, const RequestOrigin &by)
{
    Q_UNUSED(by)
    // Its run says why, when it ends; the others stop now.
    const auto it = current.runs.find(pump);
    if (it != current.runs.end() && it->second.active() && ours(it->second))
        interlock(pump);
}

void MultiPumpRunner::interlock(const QString &pump)
{
    if (current.state != State::Running && current.state != State::WaitingForOperator)
        return;
    current.state = State::Ending;
    current.causePump = pump;
    RequestOrigin by = current.origin;
    by.request = current.programId;
    by.runId.clear();
    for (const QString &other : current.pumps)
        if (other != pump)
            stopRunOf(other, by);
    changed();
}

void MultiPumpRunner::release()
{
    if (current.state != State::Running && current.state != State::WaitingForOperator)
        return;
    // Where each pump is in its program: an ended run is past all of it.
    const auto reached = [this](const QString &pump) {
        const auto it = current.runs.find(pump);
        if (it == current.runs.end())
            return 0;
        return it->second.ended() ? std::numeric_limits<int>::max() : it->second.position;
    };
    int done = 0;
    for (const ProgramSplit::Stage &stage : parts.stages) {
        bool all = true;
        for (const QString &pump : stage.pumps)
            all = all && reached(pump) > parts.part(pump)->lastOfStage.at(done);
        if (!all)
            break;
        ++done;
    }
    for (const ProgramSplit::Part &part : parts.parts) {
        const auto it = current.runs.find(part.pump);
        if (it == current.runs.end() || !it->second.active())
            continue;
        const auto host = pumps.find(part.pump);
        for (const ProgramSplit::Hold &hold : part.holds)
            if (host != pumps.end() && hold.position == it->second.position && hold.after <= done)
                continueAt(host->second.runner, current.programId, hold.position);
    }
}

void MultiPumpRunner::finishIfAllEnded()
{
    for (const QString &pump : current.pumps) {
        const auto it = current.runs.find(pump);
        if (it == current.runs.end() || !it->second.ended())
            return;
    }
    if (current.cause == Cause::ProgramStop) {
        current.state = State::Stopped;
        current.reason = QStringLiteral("stopped");
    } else if (current.causePump.isEmpty()) {
        current.state = State::Done;
        current.cause = Cause::Done;
    } else {
        const ProgramStatus &run = current.runs[current.causePump];
        // A Stop that came as its run was ending done stopped the others all the same.
        current.state = run.state == State::Done ? State::Stopped : run.state;
        current.cause = run.cause == Cause::Done ? Cause::OutsideStop : run.cause;
        current.reason = QStringLiteral("%1: %2").arg(
            current.causePump,
            run.reason.isEmpty() ? QStringLiteral("stopped from outside the program") : run.reason);
    }
    current.elapsedMs = clock.elapsed();
    current.progress = progressOf(parts, current);
    emit statusChanged(current);
    emit ended(current);
}

void MultiPumpRunner::changed()
{
    current.progress = progressOf(parts, current);
    if (current.state == State::Running || current.state == State::WaitingForOperator) {
        bool waiting = false;
        for (const auto &run : current.runs)
            waiting = waiting || (run.second.state == State::WaitingForOperator &&
                                  !isHold(run.first, run.second));
        current.state = waiting ? State::WaitingForOperator : State::Running;
    }
    current.elapsedMs = clock.elapsed();
    emit statusChanged(current);
}

void MultiPumpRunner::journalStart(const DosingProgram &program)
{
    Journal *journal = nullptr;
    QJsonObject bound;
    QStringList ids;
    for (const QString &pump : program.pumps) {
        PumpCore &core = pumps.at(pump).core;
        if (journal == nullptr)
            journal = core.journal();
        bound.insert(pump, core.pumpId());
        ids << core.pumpId();
    }
    if (journal == nullptr)
        return;
    QJsonObject fields{{QStringLiteral("name"), program.name},
                       {QStringLiteral("program_id"), current.programId},
                       {QStringLiteral("pumps"), bound},
                       {QLatin1String(JournalRun::Field::Asked), RunRecord::asked(program)}};
    if (!program.fileSha256.isEmpty())
        fields.insert(QStringLiteral("file_sha256"), program.fileSha256);
    if (!current.origin.request.isEmpty())
        fields.insert(QStringLiteral("request"), current.origin.request);
    journal->append(ids.join(QStringLiteral(", ")), QLatin1String(JournalEntry::Kind::Program),
                    current.origin.frontEnd, current.origin.who, fields);
}
