#include "program/MultiPumpRunner.h"

#include "journal/Journal.h"
#include "journal/JournalRun.h"
#include "program/ProgramRunner.h"
#include "program/RunRecord.h"
#include "pumpcore/PumpCore.h"

#include <QJsonObject>
#include <QMetaObject>

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

} // namespace

MultiPumpRunner::MultiPumpRunner(const std::map<QString, Pump> &hostPumps, QObject *parent)
    : QObject(parent)
    , pumps(hostPumps)
{
    qRegisterMetaType<MultiPumpStatus>();
    for (const auto &entry : pumps) {
        const QString name = entry.first;
        ProgramRunner *runner = &entry.second.runner;
        connect(runner, &ProgramRunner::statusChanged, this,
                [this, name](const ProgramStatus &s) { runChange(name, s); });
        connect(runner, &ProgramRunner::stepStarted, this, [this, name](const ProgramStatus &s) {
            if (!ours(s))
                return;
            current.runs[name] = s;
            emit stepStarted(name, s);
            release();
        });
        connect(runner, &ProgramRunner::stepFinished, this, [this, name](const ProgramStatus &s) {
            if (ours(s))
                emit stepFinished(name, s);
        });
        connect(runner, &ProgramRunner::ended, this,
                [this, name](const ProgramStatus &s) { runEnded(name, s); });
        connect(&entry.second.core, &PumpCore::stopRequested, this,
                [this, name](const RequestOrigin &by) { stopRequested(name, by); });
    }
}

MultiPumpRunner::~MultiPumpRunner() = default;

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
        const auto it = pumps.find(pump);
        if (it == pumps.end())
            return refuse(QStringLiteral("the program's pump \"%1\" is not here").arg(pump));
        if (it->second.runner.status().active())
            return refuse(QStringLiteral("%1: a program is already running").arg(pump));
    }
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
        QString why;
        if (!pumps.at(part.pump).runner.start(part.program, runOrigin, &why)) {
            // Only another caller between the checks and here: what started is stopped.
            current.state = State::Failed;
            current.cause = Cause::Other;
            current.causePump = part.pump;
            current.reason = QStringLiteral("%1: %2").arg(part.pump, why);
            for (const QString &pump : current.pumps)
                stopRun(pumps.at(pump).runner, current.programId, runOrigin);
            emit statusChanged(current);
            emit ended(current);
            return refuse(current.reason);
        }
    }
    changed();
    release();
    return true;
}

void MultiPumpRunner::stop(const RequestOrigin &by)
{
    if (current.state != State::Running && current.state != State::WaitingForOperator)
        return;
    current.state = State::Ending;
    current.cause = Cause::ProgramStop;
    current.stoppedBy = by.known() ? by : current.origin;
    for (const QString &pump : current.pumps)
        stopRun(pumps.at(pump).runner, current.programId, current.stoppedBy);
    changed();
}

void MultiPumpRunner::continuePrompt()
{
    for (const QString &pump : current.pumps) {
        const ProgramStatus &run = current.runs[pump];
        if (run.state == State::WaitingForOperator && !isHold(pump, run))
            continueAt(pumps.at(pump).runner, current.programId, run.position);
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
            stopRun(pumps.at(other).runner, current.programId, by);
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
        for (const ProgramSplit::Hold &hold : part.holds)
            if (hold.position == it->second.position && hold.after <= done)
                continueAt(pumps.at(part.pump).runner, current.programId, hold.position);
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
    emit statusChanged(current);
    emit ended(current);
}

void MultiPumpRunner::changed()
{
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
