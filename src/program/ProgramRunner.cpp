#include "program/ProgramRunner.h"

#include "journal/JournalEntry.h"
#include "program/OutsideRuns.h"
#include "program/ProgramPlan.h"
#include "program/ProgramProgress.h"
#include "program/PumpCount.h"
#include "program/RampSegments.h"
#include "program/RunRecord.h"
#include "pump/DosingPlan.h"
#include "pump/ModelLimits.h"
#include "pump/StatusFlags.h"
#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

using Id = BusinessLogic::CommandSpezifier;
using Kind = ProgramStep::Kind;
using State = ProgramStatus::State;
using Fault = ProgramStatus::Fault;
using Cause = ProgramStatus::Cause;
using Outcome = BusinessLogic::AnswerOutcome;

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// Ticks to wait for the error flags after the pump said it has an error: longer than the
// poller's round of the status groups.
constexpr int ErrorNameTicks = 8;

Cause causeOf(Fault fault)
{
    switch (fault) {
    case Fault::PumpError:
        return Cause::PumpError;
    case Fault::Refused:
        return Cause::Refused;
    case Fault::LinkLost:
        return Cause::LinkLost;
    case Fault::None:
    case Fault::Other:
        break;
    }
    return Cause::Other;
}

bool pumps(Kind kind)
{
    return kind == Kind::Dose || kind == Kind::Run || kind == Kind::Ramp || kind == Kind::Prime;
}

} // namespace

struct ProgramRunner::Private
{
    enum class Phase {
        None,
        Setup,   // the step's commands are queued, the start not yet taken
        Pumping, // the pump took the start: its polled state tells the end
        Reading, // the pump stopped at the step's end: its count is read once more
        Ended,   // that count came while paused: the next step waits for resume()
        Waiting,
        Prompt
    };

    Private(ProgramRunner &owner, PumpCore &pumpCore)
        : q(owner)
        , core(pumpCore)
    {}

    ProgramRunner &q;
    PumpCore &core;
    std::vector<PlannedStep> plan;
    ProgramProgress byTime;
    ProgramStatus status;
    std::size_t index = 0;
    Phase phase = Phase::None;
    QElapsedTimer clock;

    // The program's commands on their way, with what they set for messages.
    std::map<PumpCore::Ticket, QString> inFlight;
    PumpCore::Ticket startTicket = 0;
    PumpCore::Ticket pauseTicket = 0;
    PumpCore::Ticket volumeTicket = 0;
    // Answers to these queries arrived after the start was taken: a sample holding all three
    // shows the pump after the start, never the end of the step before.
    bool freshVolume = false;
    bool freshTime = false;
    bool freshStatus = false;
    // Trusted samples in a row that showed the pump standing short of the step's end.
    int stoppedShort = 0;
    // Ticks since the pump reported an error whose name has not come yet; -1 without one.
    int errorTicks = -1;

    // Paused by pause(); the state to go back to on resume().
    bool held = false;
    State heldFrom = State::Running;
    // The pump took the Pause; false when it refused it because the step had already ended.
    bool pumpPaused = false;
    // The pump took this run's Start: the count it reports is this run's, not the one before.
    bool started = false;
    // The last run's count was read after the pump stopped (or no run needed one).
    bool countRead = true;

    // A ramp: its runs, and what the finished ones delivered and lasted.
    std::vector<RampSegments::Segment> segments;
    std::size_t segment = 0;
    double segmentsVolumeMl = 0;
    double segmentsSeconds = 0;

    double finishedVolumeMl = 0; // steps that ended
    double stepVolumeMl = 0;     // the current step, as the pump reports it

    QTimer waitTimer;
    QElapsedTimer waitClock;
    qint64 waitTotalMs = 0;
    qint64 waitLeftMs = 0;

    QTimer linkTimer;
    // The Stop after a fault could not reach the pump: it goes out once the link is back.
    bool stopOwed = false;
    PumpCore::Ticket stopTicket = 0;
    bool linkPortOpen = false;
    bool ownStop = false;

    // Ending: the state it ends in once the pump's count after the Stop is in, and its queries.
    State endState = State::Idle;
    PumpCore::Ticket finalVolumeTicket = 0;
    PumpCore::Ticket finalTimeTicket = 0;
    QTimer finalTimer;
    // Samples carry the program's name and step until the first one after its end, which shows
    // the pump's final count: the core stamps them with what changed() marks.
    bool marking = false;

    const PlannedStep &current() const { return plan[index]; }

    // What the run's own commands carry: its owner and its id.
    RequestOrigin runOrigin() const
    {
        RequestOrigin origin = status.origin;
        origin.runId = status.runId;
        return origin;
    }

    void changed()
    {
        if (clock.isValid())
            status.elapsedMs = clock.elapsed();
        status.volumeMl = finishedVolumeMl + stepVolumeMl;
        status.progress = status.state == State::Done && status.cause == Cause::Done
                              ? 1.0
                              : byTime.at(status.position, status.stepProgress);
        if (marking)
            core.markSamples(status.name, status.label);
        emit q.statusChanged(status);
    }

    void begin(std::size_t i)
    {
        index = i;
        if (index >= plan.size()) {
            end(State::Done, Cause::Done, QString());
            return;
        }
        const PlannedStep &p = current();
        status.position = static_cast<int>(index) + 1;
        status.path = p.path;
        status.label = p.label();
        status.stepProgress = 0;
        stepVolumeMl = 0;
        // What a ramp's finished runs delivered belongs to that ramp only.
        segmentsVolumeMl = 0;
        segmentsSeconds = 0;
        started = false;
        stoppedShort = 0;
        status.progress = byTime.at(status.position, 0);
        emit q.stepStarted(status);
        switch (p.step.kind) {
        case Kind::Dose:
            queue(doseSetup(p.step));
            break;
        case Kind::Run:
            // No time runs until stopped; a program file cannot ask for that, a remote caller may.
            queue(Pump::DosingPlan::run(number(p.step.rateMlMin),
                                        p.step.forS > 0
                                            ? std::optional<QString>(QString::number(
                                                  std::max(1LL, std::llround(p.step.forS))))
                                            : std::nullopt,
                                        pumpType()));
            break;
        case Kind::Ramp:
            segments = RampSegments::split(p.step.fromMlMin, p.step.toMlMin, p.step.forS,
                                           p.step.rampSteps);
            segment = 0;
            queueSegment();
            break;
        case Kind::Wait:
            phase = Phase::Waiting;
            waitTotalMs = std::llround(p.step.forS * 1000.0);
            waitLeftMs = waitTotalMs;
            waitClock.start();
            waitTimer.start(static_cast<int>(waitLeftMs));
            break;
        case Kind::Prompt:
            phase = Phase::Prompt;
            status.state = State::WaitingForOperator;
            break;
        case Kind::Prime:
            queuePrime();
            break;
        case Kind::Repeat:
        case Kind::Parallel: // in a program that names its pumps: refused by start()
        case Kind::Gradient:
            // Unrolled away; nothing to run.
            finish();
            return;
        }
        if (status.active())
            changed();
    }

    // A prime has no end of its own and nothing to set up: the pump's prime key, which runs it
    // at full flow until a Stop; a timed one gets that Stop from us once its time is up.
    void queuePrime()
    {
        waitTotalMs = std::llround(current().step.forS * 1000.0);
        phase = Phase::Setup;
        started = false;
        freshVolume = freshTime = freshStatus = false;
        const PumpCore::OriginScope scope(core, runOrigin());
        startTicket = core.submit(BusinessLogic::Lane::Program, Id::Prime, 0);
        if (startTicket == 0) {
            fail(Fault::Other, QStringLiteral("prime cannot be sent"));
            return;
        }
        inFlight.emplace(startTicket, QStringLiteral("prime"));
    }

    bool timedPrime() const
    {
        return index < plan.size() && current().step.kind == Kind::Prime && current().step.forS > 0;
    }

    // The timed prime's time is up: our own Stop ends it, then its count is read as any step's.
    void primeTimeUp()
    {
        if (phase != Phase::Pumping || !status.active() || status.state == State::Ending)
            return;
        status.stepProgress = 1;
        sendStop();
        readLastVolume();
    }

    // A prime standing is one ended by the pump or at its keypad, never done.
    void primeStood()
    {
        if (++stoppedShort >= 2)
            fail(Fault::Other, QStringLiteral("the pump stopped priming"));
    }

    // No rate doses at full flow; a program file always gives one, a front-end may not.
    Pump::DosingPlan doseSetup(const ProgramStep &step) const
    {
        return Pump::DosingPlan::dose(
            number(step.volumeMl),
            step.rateMlMin > 0 ? std::optional<QString>(number(step.rateMlMin)) : std::nullopt,
            pumpType());
    }

    // The connected pump's type, whose limits a step's values must keep.
    QString pumpType() const { return Pump::ModelLimits::pumpType(core.items().all()); }

    void queueSegment()
    {
        const RampSegments::Segment &s = segments[segment];
        queue(Pump::DosingPlan::run(number(s.rateMlMin), QString::number(s.seconds), pumpType()));
    }

    void queue(const Pump::DosingPlan &setup)
    {
        if (!setup.ok()) {
            fail(Fault::Other, setup.error);
            return;
        }
        phase = Phase::Setup;
        started = false;
        freshVolume = freshTime = freshStatus = false;
        // A step is one dose: cycles left on the pump would repeat it after their break.
        std::vector<Pump::DosingPlan::Step> steps = setup.steps;
        steps.insert(steps.begin() + 1,
                     {Id::SetDispenseVolumeNumber, 1, QStringLiteral("one dose per start")});
        const PumpCore::OriginScope scope(core, runOrigin());
        for (const Pump::DosingPlan::Step &s : steps) {
            const PumpCore::Ticket ticket =
                core.submit(BusinessLogic::Lane::Program, s.command, s.value);
            if (ticket == 0) {
                fail(Fault::Other, QStringLiteral("%1 cannot be sent").arg(s.what));
                return;
            }
            inFlight.emplace(ticket, s.what);
            if (s.command == Id::Start)
                startTicket = ticket;
        }
    }

    void finish()
    {
        finishedVolumeMl += stepVolumeMl;
        stepVolumeMl = 0;
        status.stepProgress = 1;
        status.volumeMl = finishedVolumeMl;
        phase = Phase::None;
        status.progress = byTime.at(status.position, 1);
        emit q.stepFinished(status);
        begin(index + 1);
    }

    // Ends the program; a Stop goes out first unless it ended by itself or by a Stop. When the
    // pump ran for the step, its count is read once more after the Stop, and the program ends
    // with that count.
    void end(State state, Cause cause, const QString &reason, bool stopPump = true)
    {
        if (!status.active() || status.state == State::Ending)
            return;
        // Clears a Start still queued; one already on the wire keeps its ticket, and its answer
        // tells whether the pump counts for this run.
        dropQueued();
        waitTimer.stop();
        linkTimer.stop();
        phase = Phase::None;
        held = false;
        if (state != State::Done && stopPump && errorTicks < 0)
            sendStop();
        errorTicks = -1;
        status.reason = reason;
        status.cause = cause;
        const bool ran =
            state != State::Done && pumps(current().step.kind) && (started || startTicket != 0);
        if (ran && core.linkState().connected() && readFinalCount()) {
            endState = state;
            status.state = State::Ending;
            changed();
            return;
        }
        if (ran)
            countRead = false;
        close(state);
    }

    // Behind the Stop (its lane goes first, and a Stop from outside is queued just after this
    // runs): the pump's count and clock once it stands.
    bool readFinalCount()
    {
        finalVolumeTicket = core.submit(BusinessLogic::Lane::Program, Id::GetActualVolume, 0);
        finalTimeTicket = core.submit(BusinessLogic::Lane::Program, Id::GetTimeActual, 0);
        if (finalVolumeTicket == 0)
            return false;
        finalTimer.start(ProgramRunner::FinalCountMs);
        return true;
    }

    void close(State state)
    {
        finalTimer.stop();
        // A query still queued (a late count, a failed one) would tell nobody anything.
        const std::vector<PumpCore::Ticket> left{finalVolumeTicket, finalTimeTicket};
        finalVolumeTicket = finalTimeTicket = 0;
        if (left[0] != 0 || left[1] != 0)
            core.stack().removeTickets(BusinessLogic::Lane::Program, left);
        startTicket = 0;
        status.state = state;
        status.finalCountRead = countRead;
        if (!countRead) {
            const QString unread = QStringLiteral("the pump's final count could not be read");
            status.reason = status.reason.isEmpty() ? unread : status.reason + "; " + unread;
        }
        changed();
        RunRecord::end(core, status);
        emit q.ended(status);
    }

    // An answer while ending: the Start that was on the wire, then the final count.
    void endingAnswer(const Answer &answer)
    {
        if (answer.ticket == 0)
            return;
        if (answer.ticket == startTicket) {
            startTicket = 0;
            started = started || answer.accepted();
        } else if (answer.ticket == finalVolumeTicket) {
            finalVolumeTicket = 0;
            const std::optional<double> count = countOf(answer, Id::GetActualVolume);
            countRead = count.has_value();
            if (count && started)
                takeCount(*count / 1000.0);
            // Without the count the time tells nothing worth waiting for.
            if (!count) {
                close(endState);
                return;
            }
        } else if (answer.ticket == finalTimeTicket) {
            finalTimeTicket = 0;
            const std::optional<double> ms = countOf(answer, Id::GetTimeActual);
            if (ms && started)
                takeTime(*ms / 1000.0);
        } else {
            return;
        }
        if (finalVolumeTicket == 0 && finalTimeTicket == 0)
            close(endState);
    }

    // An answer to the runner's own query of volume (thousandths of a ml) or elapsed time
    // (milliseconds), through its item: nothing when it went unanswered.
    std::optional<double> countOf(const Answer &answer, Id id)
    {
        return PumpCount::of(core, answer, id);
    }

    // The current run's count: a count never falls within a run, so a smaller one is not this
    // run's (a late answer to another query, taken on a busy line).
    void takeCount(double deliveredMl)
    {
        stepVolumeMl = std::max(stepVolumeMl, segmentsVolumeMl + deliveredMl);
        const PlannedStep &p = current();
        if (p.step.kind == Kind::Dose && p.step.volumeMl > 0)
            status.stepProgress = std::min(1.0, deliveredMl / p.step.volumeMl);
    }

    void takeTime(double elapsedS)
    {
        const PlannedStep &p = current();
        if (p.step.kind != Kind::Dose && p.step.forS > 0)
            status.stepProgress = std::min(1.0, (segmentsSeconds + elapsedS) / p.step.forS);
    }

    // Entries dropped while ending: a final query the queue cleared away (a lost port) was
    // never answered; a Start dropped never reached the pump.
    void endingCleared(PumpCore::Ticket ticket)
    {
        if (ticket == startTicket) {
            startTicket = 0;
        } else if (ticket == finalVolumeTicket) {
            finalVolumeTicket = 0;
            countRead = false;
            close(endState);
        } else if (ticket == finalTimeTicket) {
            finalTimeTicket = 0;
            if (finalVolumeTicket == 0)
                close(endState);
        }
    }

    void finalCountLate()
    {
        if (status.state != State::Ending)
            return;
        countRead = false;
        close(endState);
    }

    // Nothing of the program may run after its end, a queued Start least of all.
    void dropQueued()
    {
        inFlight.clear();
        pauseTicket = volumeTicket = 0;
        core.stack().removeLane(BusinessLogic::Lane::Program);
    }

    void fail(Fault fault, const QString &reason)
    {
        if (!status.active())
            return;
        if (!core.linkState().connected())
            stopOwed = true;
        status.fault = fault;
        end(State::Failed, causeOf(fault), reason);
    }

    // A command dropped unanswered: the link's doing when it is down.
    Fault droppedFault() const
    {
        return core.linkState().connected() ? Fault::Other : Fault::LinkLost;
    }

    void sendStop()
    {
        ownStop = true;
        const PumpCore::OriginScope scope(core, runOrigin());
        stopTicket = core.stop();
        ownStop = false;
    }

    void answered(const Answer &answer)
    {
        if (answer.ticket == stopTicket && stopTicket != 0) {
            stopTicket = 0;
            if (answer.accepted())
                stopOwed = false;
        }
        if (status.state == State::Ending) {
            endingAnswer(answer);
            return;
        }
        const auto it = inFlight.find(answer.ticket);
        if (it != inFlight.end()) {
            const QString what = it->second;
            inFlight.erase(it);
            ownAnswer(answer, what);
            return;
        }
        if (phase == Phase::Pumping && answer.accepted()) {
            switch (static_cast<Id>(answer.commandId)) {
            case Id::GetActualVolume:
                freshVolume = true;
                break;
            case Id::GetTimeActual:
                freshTime = true;
                break;
            case Id::GetPumpStatus:
                freshStatus = true;
                break;
            default:
                break;
            }
        }
    }

    // Entries the queue dropped unanswered (a clear, or a Stop dropping a queued Start).
    void cleared(const std::vector<PumpCore::Ticket> &tickets)
    {
        for (PumpCore::Ticket ticket : tickets) {
            if (ticket == 0)
                continue;
            if (ticket == stopTicket)
                stopTicket = 0;
            if (status.state == State::Ending) {
                endingCleared(ticket);
                continue;
            }
            if (ticket == startTicket)
                startTicket = 0;
            const auto it = inFlight.find(ticket);
            if (it != inFlight.end()) {
                const QString what = it->second;
                inFlight.erase(it);
                fail(droppedFault(), QStringLiteral("%1 was dropped from the queue").arg(what));
            }
        }
    }

    void ownAnswer(const Answer &answer, const QString &what)
    {
        if (answer.ticket == volumeTicket) {
            volumeTicket = 0;
            lastVolume(answer);
            return;
        }
        const bool isPause = answer.ticket == pauseTicket;
        if (isPause)
            pauseTicket = 0;
        if (!answer.accepted()) {
            // A Pause that came as the step ended by itself: nothing left to pause.
            if (isPause && answer.outcome == Outcome::Nak) {
                pumpPaused = false;
                return;
            }
            switch (answer.outcome) {
            case Outcome::Nak:
                fail(Fault::Refused, QStringLiteral("the pump refused %1").arg(what));
                break;
            case Outcome::Cleared:
                fail(droppedFault(), QStringLiteral("%1 was dropped from the queue").arg(what));
                break;
            default:
                fail(Fault::LinkLost, QStringLiteral("no answer to %1").arg(what));
                break;
            }
            return;
        }
        if (isPause) {
            pumpPaused = true;
            // Continued while the Pause was on its way.
            if (!held)
                sendResume();
            return;
        }
        if (answer.ticket == startTicket) {
            startTicket = 0;
            started = true;
            phase = Phase::Pumping;
            freshVolume = freshTime = freshStatus = false;
            pumpPaused = false;
            // Timed from the pump's taking the prime: the pump does not time one.
            if (timedPrime()) {
                waitClock.start();
                waitTimer.start(static_cast<int>(waitTotalMs));
            }
            // Paused while the step was being set up: hold the pump at once.
            if (held)
                sendPause();
        }
    }

    void sendResume()
    {
        // The pump's Start continues a paused dose with what remains of it.
        const PumpCore::OriginScope scope(core, runOrigin());
        startTicket = core.submit(BusinessLogic::Lane::Program, Id::Start, 0);
        if (startTicket == 0) {
            fail(Fault::Other, QStringLiteral("start cannot be sent"));
            return;
        }
        inFlight.emplace(startTicket, QStringLiteral("start"));
        pumpPaused = false;
    }

    void sendPause()
    {
        const PumpCore::OriginScope scope(core, runOrigin());
        pauseTicket = core.submit(BusinessLogic::Lane::Program, Id::Pause, 0);
        if (pauseTicket != 0)
            inFlight.emplace(pauseTicket, QStringLiteral("pause"));
    }

    void sampled(const ProcessSample &sample)
    {
        if (stopOwed && stopTicket == 0 && !status.active())
            sendStop();
        // The core stamped this sample before it came here: once the program ended, it was the
        // last one to carry the program's name.
        if (marking && !status.active()) {
            marking = false;
            core.markSamples(QString(), QString());
        }
        if (!status.active() || status.state == State::Ending)
            return;
        if (sample.errors && !sample.errors->isEmpty()) {
            status.errorFlags = *sample.errors;
            fail(Fault::PumpError, QStringLiteral("the pump reports an error: %1")
                                       .arg(sample.errors->join(QStringLiteral(", "))));
            return;
        }
        if (errorTicks >= 0 || Pump::StatusFlags::alarmLit(sample.status)) {
            // Stopped at once; the program ends when the error's name comes, or without it.
            if (errorTicks < 0) {
                dropQueued();
                sendStop();
                waitTimer.stop();
                phase = Phase::None; // nothing of the step goes on, resume() included
            }
            if (++errorTicks > ErrorNameTicks)
                fail(Fault::PumpError, QStringLiteral("the pump reports an error"));
            return;
        }
        // The pump does not time a prime: its part done is our clock's.
        if (phase == Phase::Pumping && timedPrime() && waitClock.isValid())
            status.stepProgress =
                std::min(1.0, double(waitClock.elapsed()) / std::max<qint64>(1, waitTotalMs));
        if (phase == Phase::Waiting) {
            const qint64 left = held ? waitLeftMs : waitLeftMs - waitClock.elapsed();
            status.stepProgress =
                waitTotalMs > 0 ? double(waitTotalMs - std::max<qint64>(0, left)) / waitTotalMs
                                : 1.0;
        } else if (phase == Phase::Pumping && freshVolume && freshTime && freshStatus) {
            pumping(sample);
            if (!status.active() || phase != Phase::Pumping)
                return;
        }
        changed();
    }

    void pumping(const ProcessSample &sample)
    {
        // Without the pump's counts (their polls went unanswered, the link is down) a sample
        // tells nothing of the step: the volume and progress stay where the last one left them.
        // A count without the time is still the last one the pump reported.
        if (sample.volumeDelivered)
            stepVolumeMl = segmentsVolumeMl + *sample.volumeDelivered / 1000.0;
        if (!sample.volumeDelivered || !sample.timeElapsedMs)
            return;
        const PlannedStep &p = current();
        const double delivered = *sample.volumeDelivered / 1000.0;
        const double elapsedS = *sample.timeElapsedMs / 1000.0;
        switch (p.step.kind) {
        case Kind::Dose:
            status.stepProgress = p.step.volumeMl > 0 ? delivered / p.step.volumeMl : 0;
            break;
        case Kind::Run:
        case Kind::Ramp:
            status.stepProgress = p.step.forS > 0 ? (segmentsSeconds + elapsedS) / p.step.forS : 0;
            break;
        default:
            break;
        }
        status.stepProgress = std::min(1.0, std::max(0.0, status.stepProgress));
        if (sample.runState != ProcessSample::RunState::Stopped) {
            stoppedShort = 0;
            return;
        }
        if (p.step.kind == Kind::Prime) {
            primeStood();
            return;
        }
        // An error flag unknown yet is no error: the flags are checked on their own.
        ProcessSample judged = sample;
        if (!judged.errors)
            judged.errors = QStringList();
        // Judged by the step's own end, never by what the items last heard of the pump's
        // settings: a value polled before this step's settings went out gives another end, and
        // a run until stopped has none.
        if (p.step.kind == Kind::Dose) {
            judged.mode = ProcessSample::Mode::Volume;
            judged.volumeTarget = std::llround(p.step.volumeMl * 1000);
        } else {
            judged.mode = ProcessSample::Mode::FlowDispense;
            judged.dispenseTimeS =
                p.step.kind == Kind::Ramp ? segments[segment].seconds : std::llround(p.step.forS);
        }
        if (!RunStateJudge::doseDone(judged, RunStateJudge::Key::Start)) {
            // Standing short of the end twice in a row (one picture may mix two rounds): the pump
            // ended the step by itself, at its keypad or for a reason it does not report.
            if (++stoppedShort >= 2)
                fail(Fault::Other, QStringLiteral("the pump stopped before the step's end"));
            return;
        }
        // Held: the next step waits for resume().
        if (held)
            return;
        readLastVolume();
    }

    // The round that showed the pump standing may have read its count before it stopped (the
    // volume is asked first): the step's volume is the count read after the end.
    void readLastVolume()
    {
        phase = Phase::Reading;
        volumeTicket = core.submit(BusinessLogic::Lane::Program, Id::GetActualVolume, 0);
        if (volumeTicket == 0) {
            fail(Fault::Other, QStringLiteral("the volume delivered cannot be asked for"));
            return;
        }
        inFlight.emplace(volumeTicket, QStringLiteral("the query of the volume delivered"));
    }

    void lastVolume(const Answer &answer)
    {
        // Unanswered, the round's count stands: the step did end.
        const std::optional<double> count = countOf(answer, Id::GetActualVolume);
        countRead = count.has_value();
        if (count)
            stepVolumeMl = std::max(stepVolumeMl, segmentsVolumeMl + *count / 1000.0);
        phase = Phase::Ended;
        if (!held)
            advance();
    }

    // The pump's part of the step is over: the ramp's next run, or the next step.
    void advance()
    {
        if (current().step.kind == Kind::Ramp && segment + 1 < segments.size()) {
            segmentsVolumeMl = stepVolumeMl;
            segmentsSeconds += segments[segment].seconds;
            ++segment;
            stoppedShort = 0;
            changed();
            queueSegment();
            return;
        }
        finish();
    }

    void waitDone()
    {
        if (timedPrime()) {
            primeTimeUp();
            return;
        }
        if (phase == Phase::Waiting && !held && status.active())
            finish();
    }

    void linkChanged(const LinkState &link)
    {
        const bool reopened = link.portOpen && !linkPortOpen;
        linkPortOpen = link.portOpen;
        // The port is back: the Stop owed goes out before anything else on it.
        if (stopOwed && reopened && stopTicket == 0)
            sendStop();
        // Ending is bounded by its own timer.
        if (!status.active() || status.state == State::Ending)
            return;
        if (link.connected() || link.kind == LinkState::Kind::Unknown)
            linkTimer.stop();
        else if (!linkTimer.isActive())
            linkTimer.start(ProgramRunner::LinkLossMs);
    }

    void linkLost()
    {
        stopOwed = true;
        fail(Fault::LinkLost, QStringLiteral("the link was lost for more than %1 s")
                                  .arg(ProgramRunner::LinkLossMs / 1000));
    }

    // Nothing of the run goes out any more and nothing of it is judged; the pump is not
    // stopped.
    void releaseRun(const QString &reason)
    {
        dropQueued();
        waitTimer.stop();
        linkTimer.stop();
        phase = Phase::None;
        held = false;
        errorTicks = -1;
        startTicket = 0;
        status.state = State::Done;
        status.cause = Cause::Released;
        status.reason =
            reason.isEmpty() ? QStringLiteral("left to the pump, which runs on") : reason;
        status.finalCountRead = false;
        changed();
        RunRecord::end(core, status);
        emit q.ended(status);
    }

    void stopRequested(const RequestOrigin &by)
    {
        if (ownStop || !status.active())
            return;
        status.stoppedBy = by;
        end(State::Stopped, Cause::OutsideStop, QStringLiteral("stopped from outside the program"),
            false);
    }
};

ProgramRunner::ProgramRunner(PumpCore &core, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(*this, core))
{
    qRegisterMetaType<ProgramStatus>();
    d->waitTimer.setSingleShot(true);
    d->waitTimer.setTimerType(Qt::PreciseTimer);
    d->linkTimer.setSingleShot(true);
    d->finalTimer.setSingleShot(true);
    d->linkPortOpen = core.linkState().portOpen;
    connect(&d->waitTimer, &QTimer::timeout, this, [this] { d->waitDone(); });
    connect(&d->linkTimer, &QTimer::timeout, this, [this] { d->linkLost(); });
    connect(&d->finalTimer, &QTimer::timeout, this, [this] { d->finalCountLate(); });
    connect(&core, &PumpCore::answered, this, [this](const Answer &a) { d->answered(a); });
    connect(&core, &PumpCore::sampled, this, [this](const ProcessSample &s) { d->sampled(s); });
    connect(&core, &PumpCore::linkStateChanged, this,
            [this](const LinkState &link) { d->linkChanged(link); });
    connect(&core, &PumpCore::stopRequested, this,
            [this](const RequestOrigin &by) { d->stopRequested(by); });
    connect(&core.stack(), &BusinessLogic::CommandStack::entriesCleared, this,
            [this](const std::vector<PumpCore::Ticket> &tickets) { d->cleared(tickets); });
    outsideRuns = new OutsideRuns(core, *this, this);
}

ProgramRunner::~ProgramRunner() = default;

bool ProgramRunner::start(const DosingProgram &program, QString *error)
{
    return start(program, d->core.origin(), error);
}

bool ProgramRunner::start(const DosingProgram &program, const RequestOrigin &origin, QString *error)
{
    const auto refuse = [error](const QString &why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (d->status.state == State::Ending)
        return refuse(QStringLiteral("the last program is still ending: its count is being read"));
    if (d->status.active())
        return refuse(QStringLiteral("a program is already running"));
    // Its steps name their pumps and may run several at once: a runner above the pumps' runners
    // splits it.
    if (!program.pumps.isEmpty())
        return refuse(QStringLiteral("the program names its pumps; it runs on them together"));
    std::vector<PlannedStep> plan = ProgramPlan::unroll(program);
    if (plan.empty())
        return refuse(QStringLiteral("the program has no steps"));
    d->plan = std::move(plan);
    d->byTime = ProgramProgress(d->plan);
    d->status = ProgramStatus();
    d->status.state = State::Running;
    d->status.name = program.name;
    d->status.total = static_cast<int>(d->plan.size());
    d->status.origin = origin;
    d->status.origin.runId.clear();
    d->status.runId = JournalEntry::newRunId();
    d->finishedVolumeMl = 0;
    d->stepVolumeMl = 0;
    d->segmentsVolumeMl = 0;
    d->segmentsSeconds = 0;
    d->started = false;
    d->countRead = true;
    d->held = false;
    d->marking = true;
    d->inFlight.clear();
    d->startTicket = 0;
    d->clock.start();
    RunRecord::begin(d->core, d->status, program);
    const LinkState link = d->core.linkState();
    if (!link.connected() && link.kind != LinkState::Kind::Unknown)
        d->linkTimer.start(LinkLossMs);
    d->begin(0);
    return true;
}

void ProgramRunner::pause()
{
    // A prime's pause could only be continued by a Start, which would dose.
    if (d->index < d->plan.size() && d->current().step.kind == Kind::Prime)
        return;
    if (d->held ||
        (d->status.state != State::Running && d->status.state != State::WaitingForOperator))
        return;
    d->held = true;
    d->heldFrom = d->status.state;
    d->status.state = State::Paused;
    if (d->phase == Private::Phase::Pumping)
        d->sendPause();
    // While being set up, the Pause follows the start's acknowledgement.
    if (d->phase == Private::Phase::Waiting) {
        d->waitLeftMs -= d->waitClock.elapsed();
        d->waitTimer.stop();
    }
    d->changed();
}

void ProgramRunner::resume()
{
    if (!d->held || d->status.state != State::Paused)
        return;
    d->held = false;
    d->status.state = d->heldFrom;
    // A Pause still on its way is followed by the Start once the pump took it; one it refused
    // (the step had ended) needs none.
    if (d->phase == Private::Phase::Pumping && d->pumpPaused)
        d->sendResume();
    if (d->phase == Private::Phase::Ended) {
        d->advance();
        return;
    }
    if (d->phase == Private::Phase::Waiting) {
        d->waitClock.start();
        d->waitTimer.start(static_cast<int>(std::max<qint64>(0, d->waitLeftMs)));
    }
    d->changed();
}

void ProgramRunner::continuePrompt()
{
    if (d->phase == Private::Phase::Prompt && d->status.state == State::WaitingForOperator) {
        d->status.state = State::Running;
        d->finish();
    }
}

void ProgramRunner::stop(const RequestOrigin &by)
{
    if (d->status.active() && d->status.state != State::Ending)
        d->status.stoppedBy = by.known() ? by : d->core.origin();
    d->end(State::Stopped, Cause::ProgramStop, QStringLiteral("stopped"));
}

void ProgramRunner::release(const QString &reason)
{
    if (d->status.active() && d->status.state != State::Ending)
        d->releaseRun(reason);
}

const ProgramStatus &ProgramRunner::status() const
{
    return d->status;
}

const OutsideRuns &ProgramRunner::outside() const
{
    return *outsideRuns;
}

const std::vector<PlannedStep> &ProgramRunner::plan() const
{
    return d->plan;
}
