#include "program/OutsideRuns.h"

#include "journal/JournalEntry.h"
#include "program/ProgramRunner.h"
#include "program/PumpCount.h"
#include "program/RunRecord.h"
#include "pump/StatusFlags.h"
#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"

namespace {

using Id = BusinessLogic::CommandSpezifier;
using State = ProgramStatus::State;
using Cause = ProgramStatus::Cause;

} // namespace

OutsideRuns::OutsideRuns(PumpCore &pumpCore, const ProgramRunner &programRunner, QObject *parent)
    : QObject(parent)
    , core(pumpCore)
    , runner(programRunner)
{
    countTimer.setSingleShot(true);
    linkTimer.setSingleShot(true);
    connect(&core, &PumpCore::answered, this, &OutsideRuns::answered);
    connect(&core, &PumpCore::sampled, this, &OutsideRuns::sampled);
    connect(&core, &PumpCore::stopRequested, this, [this](const RequestOrigin &by) {
        if (run.state == State::Running && !run.stoppedBy.known())
            run.stoppedBy = by;
    });
    connect(&core, &PumpCore::linkStateChanged, this, [this](const LinkState &link) {
        if (run.state != State::Running || link.connected() ||
            link.kind == LinkState::Kind::Unknown)
            linkTimer.stop();
        else if (!linkTimer.isActive())
            linkTimer.start(ProgramRunner::LinkLossMs);
    });
    connect(&linkTimer, &QTimer::timeout, this, [this] {
        close(State::Failed, Cause::LinkLost,
              QStringLiteral("the link was lost for more than %1 s")
                  .arg(ProgramRunner::LinkLossMs / 1000));
    });
    connect(&countTimer, &QTimer::timeout, this, [this] {
        run.finalCountRead = false;
        close(endState, endCause, endReason);
    });
}

OutsideRuns::~OutsideRuns() = default;

void OutsideRuns::answered(const Answer &answer)
{
    const Id id = static_cast<Id>(answer.commandId);
    if ((id == Id::Start || id == Id::Prime) && answer.accepted()) {
        const RequestOrigin *origin = core.originOf(answer.ticket);
        // The runner's own starts are its runs.
        if (origin != nullptr && origin->runId.isEmpty()) {
            startedBy = *origin;
            primed = id == Id::Prime;
            startClock.start();
        }
        return;
    }
    if (answer.ticket == 0 || run.state != State::Ending)
        return;
    if (answer.ticket == volumeTicket) {
        volumeTicket = 0;
        const std::optional<double> count = PumpCount::of(core, answer, Id::GetActualVolume);
        run.finalCountRead = count.has_value();
        if (count)
            run.volumeMl = *count / 1000.0;
    } else if (answer.ticket == timeTicket) {
        timeTicket = 0;
        PumpCount::of(core, answer, Id::GetTimeActual);
    } else {
        return;
    }
    if (volumeTicket == 0 && timeTicket == 0) {
        countTimer.stop();
        close(endState, endCause, endReason);
    }
}

void OutsideRuns::sampled(const ProcessSample &sample)
{
    if (run.state == State::Ending)
        return;
    if (run.state != State::Running) {
        // The runner's runs are its own, up to the sample that shows their final count.
        if (runner.status().active() || !sample.program.isEmpty() || !sample.running()) {
            runningSeen = 0;
            return;
        }
        if (++runningSeen >= RunningSamples)
            open(sample);
        return;
    }
    last = sample;
    if (sample.volumeDelivered)
        run.volumeMl = *sample.volumeDelivered / 1000.0;
    run.elapsedMs = runClock.elapsed();
    if (sample.errors && !sample.errors->isEmpty())
        run.errorFlags = *sample.errors;
    if (sample.running() || sample.runState == ProcessSample::RunState::Unknown ||
        sample.runState == ProcessSample::RunState::Paused)
        return;
    // Stopped by an error whose name has not come yet: it comes within a round of the status
    // groups.
    const bool alarm = Pump::StatusFlags::alarmLit(sample.status);
    if (alarm && run.errorFlags.isEmpty() && ++errorTicks <= ErrorNameTicks)
        return;
    // Standing: the pump's count is read once more, and the run ends with it.
    if (!run.errorFlags.isEmpty() || alarm) {
        endState = State::Failed;
        endCause = Cause::PumpError;
        endReason = run.errorFlags.isEmpty() ? QStringLiteral("the pump reports an error")
                                             : QStringLiteral("the pump reports an error: %1")
                                                   .arg(run.errorFlags.join(QStringLiteral(", ")));
    } else if (run.stoppedBy.known()) {
        endState = State::Stopped;
        endCause = Cause::OutsideStop;
        endReason = QStringLiteral("stopped by %1").arg(run.stoppedBy.text());
    } else if (RunStateJudge::doseDone(sample, RunStateJudge::Key::Start)) {
        endState = State::Done;
        endCause = Cause::Done;
        endReason.clear();
    } else {
        endState = State::Stopped;
        endCause = Cause::Other;
        endReason =
            QStringLiteral("the pump stopped before its set end, at its keypad or an input");
    }
    readCount();
}

void OutsideRuns::open(const ProcessSample &sample)
{
    runningSeen = 0;
    errorTicks = 0;
    const bool ours = startClock.isValid() && startClock.elapsed() < StartWindowMs;
    run = ProgramStatus();
    run.state = State::Running;
    run.origin = ours ? startedBy
                      : RequestOrigin{QLatin1String(JournalEntry::Origin::Pump),
                                      QStringLiteral("keypad or input"), QString(), QString()};
    run.origin.runId.clear();
    run.runId = JournalEntry::newRunId();
    const bool priming = sample.runState == ProcessSample::RunState::Priming || (ours && primed);
    run.name = priming ? QStringLiteral("prime") : QStringLiteral("run started at the pump");
    if (ours && !priming)
        run.name = QStringLiteral("run started by %1").arg(run.origin.frontEnd);
    startClock.invalidate();
    runClock.start();
    last = sample;
    DosingProgram asked;
    asked.name = run.name;
    RunRecord::begin(core, run, asked);
    emit started(run);
}

void OutsideRuns::readCount()
{
    run.state = State::Ending;
    linkTimer.stop();
    volumeTicket = core.submit(BusinessLogic::Lane::Program, Id::GetActualVolume, 0);
    timeTicket = core.submit(BusinessLogic::Lane::Program, Id::GetTimeActual, 0);
    if (volumeTicket == 0) {
        run.finalCountRead = false;
        close(endState, endCause, endReason);
        return;
    }
    countTimer.start(ProgramRunner::FinalCountMs);
}

void OutsideRuns::close(ProgramStatus::State state, ProgramStatus::Cause cause,
                        const QString &reason)
{
    if (run.state != State::Running && run.state != State::Ending)
        return;
    countTimer.stop();
    linkTimer.stop();
    volumeTicket = timeTicket = 0;
    run.state = state;
    run.cause = cause;
    run.reason = reason;
    run.elapsedMs = runClock.elapsed();
    if (!run.finalCountRead) {
        const QString unread = QStringLiteral("the pump's final count could not be read");
        run.reason = run.reason.isEmpty() ? unread : run.reason + QStringLiteral("; ") + unread;
    }
    RunRecord::end(core, run);
    emit ended(run);
}
