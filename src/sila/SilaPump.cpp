#include "sila/SilaPump.h"

#include "journal/Journal.h"
#include "program/DosingProgram.h"
#include "program/ProgramRunner.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/StatusFlags.h"
#include "pump/StatusReading.h"
#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

using Id = PumpCore::Id;
using Key = Pump::KeyTable::Key;
using State = ProgramStatus::State;
using Fault = ProgramStatus::Fault;

constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();
// The status group polled every tick: its bit 0 says the motor is in motion.
constexpr int MotionGroup = 1;

// The status flag the pump sets with any error; the error flags that name it are polled every few
// ticks only.
const Pump::StatusFlags::Flag &pumpErrorFlag()
{
    for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags()) {
        if (flag.kind == Pump::StatusFlags::Kind::Status && Pump::StatusFlags::alarm(flag))
            return flag;
    }
    std::abort();
}

const Key &key(const char *name)
{
    return Pump::KeyTable::key(QLatin1String(name));
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// Why the value may not go out, in the key table's words but without its key name, which is not
// the parameter's; empty when it lies within the key's limits.
QString outside(const Key &key, double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN is not a number");
    const QString why = Pump::KeyTable::outside(key, value);
    const QString named = key.name + QStringLiteral(": ");
    return why.startsWith(named) ? why.mid(named.size()) : why;
}

// Unknown numbers are NaN: equal to each other here, so that they are no change.
bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

SilaPump::Outcome outcome(SilaPump::Failure failure, const QString &message)
{
    return {failure, message};
}

} // namespace

bool SilaPump::Snapshot::operator==(const Snapshot &other) const
{
    return same(volumeDeliveredMl, other.volumeDeliveredMl) &&
           same(flowRateMlMin, other.flowRateMlMin) && state == other.state &&
           errorFlags == other.errorFlags;
}

SilaPump::Invalid SilaPump::checkDose(double volumeMl, double rateMlMin, const QString &pumpType)
{
    const Key &volume = key("volume");
    const Key rate = Pump::ModelLimits::of(key("flow-rate"), pumpType);
    const Key &time = key("dispense-time");
    QString why = outside(volume, volumeMl);
    if (!why.isEmpty())
        return {QStringLiteral("Volume"), why};
    why = outside(rate, rateMlMin);
    if (!why.isEmpty())
        return {QStringLiteral("FlowRate"), why};
    // The pump spreads a dose over its dispense time, in whole seconds: at that rate the dose
    // must fit the longest. One under half a second goes at full flow, as everywhere else.
    const double seconds = volumeMl * 60.0 / rateMlMin;
    if (std::llround(seconds) > time.maximum)
        return {QStringLiteral("FlowRate"),
                QStringLiteral("%1 %2 at %3 %4 takes %5 %6, longer than the longest dispense time "
                               "of %7 %6")
                    .arg(number(volumeMl), volume.unit, number(rateMlMin), rate.unit,
                         QString::number(seconds, 'f', 1), time.unit, number(time.maximum))};
    // The plan that goes out decides last, so that nothing it would refuse passes here.
    const Pump::DosingPlan plan = Pump::DosingPlan::dose(number(volumeMl), number(rateMlMin));
    if (!plan.ok())
        return {QStringLiteral("Volume"), plan.error};
    return {};
}

SilaPump::Invalid SilaPump::checkFlow(double rateMlMin, double runTimeS, const QString &pumpType)
{
    const Key rate = Pump::ModelLimits::of(key("flow-rate"), pumpType);
    const Key &time = key("dispense-time");
    QString why = outside(rate, rateMlMin);
    if (!why.isEmpty())
        return {QStringLiteral("FlowRate"), why};
    why = outside(time, runTimeS);
    if (!why.isEmpty())
        return {QStringLiteral("RunTime"), why};
    // A time of none runs until stopped; any other is at least the shortest the pump counts, so
    // that none is taken for it once rounded to whole seconds.
    const double shortest = Pump::KeyTable::step(time);
    if (runTimeS > 0 && runTimeS < shortest)
        return {QStringLiteral("RunTime"), QStringLiteral("%1 is below %2 %3; 0 runs until stopped")
                                               .arg(number(runTimeS), number(shortest), time.unit)};
    return {};
}

struct SilaPump::Private
{
    enum class Kind { Dose, Flow };

    struct Run
    {
        RunId id = 0; // 0: none
        Kind kind = Kind::Dose;
        double targetMl = 0;
        double rateMlMin = 0;
        double runTimeS = 0; // a flow's; 0 until stopped
        bool paused = false;
        double lastDelivered = Unknown;
        double lastProgress = Unknown;
    };

    Private(SilaPump &owner, PumpCore &pumpCore, ProgramRunner &programRunner)
        : q(owner)
        , core(pumpCore)
        , programRunner(programRunner)
    {}

    QString pumpType() const { return Pump::ModelLimits::pumpType(core.items().all()); }

    SilaPump &q;
    PumpCore &core;
    ProgramRunner &programRunner;
    Snapshot shown;
    // A run key the pump took after the motion flag was last read: until it is read again, the
    // key tells the state. The sampler's own mark is cleared at each sample, which may come
    // before that reading.
    bool keyNewer = false;
    // The pump's error flag as it was when the error flags were last read for disagreeing
    // with it; none while the two agree.
    std::optional<bool> errorReadFor;
    PumpCore::Ticket errorRead = 0;
    Run run;
    RunId lastId = 0;
    // Within the runner's start: an end then is the start's failure, told to the caller alone.
    bool starting = false;
    std::optional<Outcome> endedWhileStarting;

    ProgramRunner &runner() { return programRunner; }

    ProcessSample::RunState runState() const
    {
        if (!core.linkState().connected())
            return ProcessSample::RunState::Unknown;
        const Pump::StatusReading status(core.items());
        std::optional<bool> moving;
        if (status.live(MotionGroup))
            moving = (status.word(MotionGroup) & 1) != 0;
        return RunStateJudge::judge(moving, core.sampler().lastAccepted(), keyNewer);
    }

    Snapshot read() const
    {
        const ProcessSample s = core.sampler().take();
        Snapshot now;
        now.volumeDeliveredMl = s.volumeDelivered ? *s.volumeDelivered / 1000.0 : Unknown;
        now.flowRateMlMin = s.flowRate ? *s.flowRate / 1000.0 : Unknown;
        now.state = ProcessSample::runStateText(runState());
        now.errorFlags = s.errors.value_or(QStringList());
        return now;
    }

    void answered(const Answer &answer)
    {
        // The core put the error flags read in the status item already.
        if (answer.ticket != 0 && answer.ticket == errorRead)
            errorRead = 0;
        if (answer.accepted()) {
            if (RunStateJudge::keyOf(answer.commandId)) {
                keyNewer = true;
            } else if (answer.commandId == BusinessLogic::toInt(Id::GetPumpStatus)) {
                // Which group it read, whoever asked.
                const Pump::StatusReading reading = Pump::StatusReading::of(answer);
                if (reading.live(MotionGroup))
                    keyNewer = false;
                errorFlagRead(reading);
            }
        }
        refresh();
    }

    // An error that came or went shows in the flag read every tick; its names follow within an
    // exchange rather than at their own turn some ticks later. Once per disagreement: a pump
    // whose flag stays lit with no error named is not asked every tick.
    void errorFlagRead(const Pump::StatusReading &reading)
    {
        const Pump::StatusFlags::Flag &flag = pumpErrorFlag();
        if (!reading.live(flag.group))
            return;
        const bool lit = Pump::StatusFlags::lit(flag, reading.word(flag.group));
        if (lit == !shown.errorFlags.isEmpty()) {
            errorReadFor.reset();
            return;
        }
        if (errorReadFor == lit)
            return;
        errorReadFor = lit;
        errorRead =
            core.readBack(PumpCore::Lane::Remote, Id::GetPumpStatus, Pump::StatusFlags::ErrorGroup);
    }

    // After every answer the items took, every sample and every change of the link: a change
    // shows as soon as the answer that tells it is in.
    void refresh()
    {
        const Snapshot now = read();
        if (now == shown)
            return;
        shown = now;
        emit q.snapshotChanged(shown);
    }

    // Down, rather than not yet tried: a port just opened has no verdict before its first
    // exchange, and a run's own commands find out (a silent pump ends it as a lost link).
    bool linkUp() const
    {
        const LinkState link = core.linkState();
        return link.connected() || link.kind == LinkState::Kind::Unknown;
    }

    bool mayStart(Outcome *out)
    {
        const auto refuse = [out](Failure failure, const QString &message) {
            if (out != nullptr)
                *out = outcome(failure, message);
            return false;
        };
        if (runner().status().active())
            return refuse(Failure::PumpRefused,
                          run.id != 0 ? QStringLiteral("another dose or flow is running")
                                      : QStringLiteral("a dosing program is running"));
        if (!linkUp())
            return refuse(
                Failure::LinkLost,
                QStringLiteral("the pump is not connected (%1)").arg(core.linkState().described()));
        // Started at its keypad or by another front-end: not ours to set up anew.
        const ProcessSample::RunState state = runState();
        if (state == ProcessSample::RunState::Running || state == ProcessSample::RunState::Priming)
            return refuse(Failure::PumpRefused,
                          QStringLiteral("the pump is %1").arg(ProcessSample::runStateText(state)));
        return true;
    }

    RequestOrigin originOr(const RequestOrigin &origin) const
    {
        return origin.known() ? origin : core.origin();
    }

    RunId start(const ProgramStep &step, const QString &name, Run asked, Outcome *out,
                const RequestOrigin &origin)
    {
        asked.id = ++lastId;
        run = asked;
        starting = true;
        endedWhileStarting.reset();
        QString error;
        const bool ok = runner().start({name, {step}}, originOr(origin), &error);
        starting = false;
        if (!ok || endedWhileStarting) {
            run = Run();
            if (out != nullptr)
                *out = ok ? *endedWhileStarting : outcome(Failure::PumpRefused, error);
            return 0;
        }
        return asked.id;
    }

    void statusChanged(const ProgramStatus &status)
    {
        if (run.id == 0 || starting || !status.active())
            return;
        const bool paused = status.state == State::Paused;
        if (paused != run.paused) {
            run.paused = paused;
            emit q.runPaused(run.id, paused);
        }
        const double delivered = status.volumeMl;
        double progress = std::min(1.0, std::max(0.0, status.stepProgress));
        double remaining = -1;
        if (run.kind == Kind::Dose)
            remaining = std::max(0.0, run.targetMl - delivered) * 60.0 / run.rateMlMin;
        else if (run.runTimeS > 0)
            remaining = run.runTimeS * (1.0 - progress);
        else
            progress = 0;
        if (same(delivered, run.lastDelivered) && same(progress, run.lastProgress))
            return;
        run.lastDelivered = delivered;
        run.lastProgress = progress;
        emit q.runProgress(run.id, delivered, progress, remaining);
    }

    static Outcome outcomeOf(const ProgramStatus &status)
    {
        switch (status.state) {
        case State::Done:
            return outcome(Failure::None, QString());
        case State::Failed:
            break;
        default:
            // Whose Stop it was: another front-end on the same core may have sent it.
            return outcome(Failure::Stopped,
                           status.stoppedBy.known()
                               ? QStringLiteral("stopped before its end by a Stop from %1")
                                     .arg(status.stoppedBy.text())
                               : QStringLiteral("stopped before its end"));
        }
        switch (status.fault) {
        case Fault::PumpError:
            return outcome(Failure::PumpError, status.reason);
        case Fault::Refused:
            return outcome(Failure::PumpRefused, status.reason);
        case Fault::LinkLost:
            return outcome(Failure::LinkLost, status.reason);
        case Fault::None:
        case Fault::Other:
            break;
        }
        // The pump stopped short of the end by itself, at its keypad for one.
        return outcome(Failure::Stopped,
                       QStringLiteral("stopped before its end: %1").arg(status.reason));
    }

    void ended(const ProgramStatus &status)
    {
        if (run.id == 0)
            return;
        Outcome result = outcomeOf(status);
        if (starting) {
            endedWhileStarting = result;
            return;
        }
        // Cut short: the client hears what the pump counted, read after it stopped.
        if (result.failure != Failure::None)
            result.message +=
                QStringLiteral("; %1 ml delivered").arg(QString::number(status.volumeMl, 'f', 3));
        const RunId id = run.id;
        // Over before anyone hears of it: a listener may start the next run at once.
        run = Run();
        emit q.runEnded(id, status.volumeMl, result);
    }
};

SilaPump::SilaPump(PumpCore &core, ProgramRunner &runner, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(*this, core, runner))
{
    qRegisterMetaType<SilaPump::RunId>("SilaPump::RunId");
    qRegisterMetaType<SilaPump::Snapshot>();
    qRegisterMetaType<SilaPump::Outcome>();
    d->shown = d->read();
    connect(&core, &PumpCore::answered, this, [this](const Answer &a) { d->answered(a); });
    connect(&core, &PumpCore::sampled, this, [this] { d->refresh(); });
    connect(&core, &PumpCore::linkStateChanged, this, [this] { d->refresh(); });
    connect(&runner, &ProgramRunner::statusChanged, this,
            [this](const ProgramStatus &s) { d->statusChanged(s); });
    connect(&runner, &ProgramRunner::ended, this, [this](const ProgramStatus &s) { d->ended(s); });
}

SilaPump::~SilaPump() = default;

SilaPump::Snapshot SilaPump::snapshot() const
{
    return d->shown;
}

SilaPump::RunId SilaPump::startDose(double volumeMl, double rateMlMin, Outcome *outcome,
                                    const RequestOrigin &origin)
{
    // Never a value outside the limits on the wire, whatever the caller checked.
    const Invalid invalid = checkDose(volumeMl, rateMlMin, d->pumpType());
    if (!invalid.valid()) {
        if (outcome != nullptr)
            *outcome = {Failure::PumpRefused,
                        invalid.parameter + QStringLiteral(": ") + invalid.message};
        return 0;
    }
    if (!d->mayStart(outcome))
        return 0;
    ProgramStep step;
    step.kind = ProgramStep::Kind::Dose;
    step.volumeMl = volumeMl;
    step.rateMlMin = rateMlMin;
    Private::Run run;
    run.kind = Private::Kind::Dose;
    run.targetMl = volumeMl;
    run.rateMlMin = rateMlMin;
    return d->start(step, QStringLiteral("SiLA DoseVolume"), run, outcome, origin);
}

SilaPump::RunId SilaPump::startFlow(double rateMlMin, double runTimeS, Outcome *outcome,
                                    const RequestOrigin &origin)
{
    const Invalid invalid = checkFlow(rateMlMin, runTimeS, d->pumpType());
    if (!invalid.valid()) {
        if (outcome != nullptr)
            *outcome = {Failure::PumpRefused,
                        invalid.parameter + QStringLiteral(": ") + invalid.message};
        return 0;
    }
    if (!d->mayStart(outcome))
        return 0;
    // Whole seconds, as the pump counts them; none runs until stopped.
    const double seconds = runTimeS > 0 ? double(std::llround(runTimeS)) : 0;
    ProgramStep step;
    step.kind = ProgramStep::Kind::Run;
    step.rateMlMin = rateMlMin;
    step.forS = seconds;
    Private::Run run;
    run.kind = Private::Kind::Flow;
    run.rateMlMin = rateMlMin;
    run.runTimeS = seconds;
    return d->start(step, QStringLiteral("SiLA GenerateFlow"), run, outcome, origin);
}

void SilaPump::stop(const RequestOrigin &origin)
{
    // The core's Stop: ahead of everything on the wire, and the runner ends the run on hearing it.
    const PumpCore::OriginScope scope(d->core, d->originOr(origin));
    d->core.stop();
}

bool SilaPump::prime(Outcome *outcome, const RequestOrigin &origin)
{
    const auto refuse = [outcome](Failure failure, const QString &message) {
        if (outcome != nullptr)
            *outcome = {failure, message};
        return false;
    };
    if (d->runner().status().active())
        return refuse(Failure::PumpRefused, d->run.id != 0
                                                ? QStringLiteral("a dose or flow is running")
                                                : QStringLiteral("a dosing program is running"));
    if (!d->linkUp())
        return refuse(
            Failure::LinkLost,
            QStringLiteral("the pump is not connected (%1)").arg(d->core.linkState().described()));
    if (d->runState() == ProcessSample::RunState::Running)
        return refuse(Failure::PumpRefused, QStringLiteral("the pump is running"));
    // A run of its own until a Stop, as every front-end primes.
    QString error;
    if (!d->runner().start({QStringLiteral("SiLA Prime"), {ProgramStep::prime()}},
                           d->originOr(origin), &error))
        return refuse(Failure::PumpRefused, error);
    return true;
}

bool SilaPump::pause(RunId id, Outcome *outcome, const RequestOrigin &origin)
{
    if (id == 0 || id != d->run.id || d->runner().status().state != State::Running) {
        if (outcome != nullptr)
            *outcome = {Failure::PumpRefused, QStringLiteral("the run is not running")};
        return false;
    }
    const PumpCore::OriginScope scope(d->core, d->originOr(origin));
    d->runner().pause();
    return d->runner().status().state == State::Paused;
}

bool SilaPump::resume(RunId id, Outcome *outcome, const RequestOrigin &origin)
{
    if (id == 0 || id != d->run.id || d->runner().status().state != State::Paused) {
        if (outcome != nullptr)
            *outcome = {Failure::PumpRefused, QStringLiteral("the run is not paused")};
        return false;
    }
    const PumpCore::OriginScope scope(d->core, d->originOr(origin));
    d->runner().resume();
    return d->runner().status().state == State::Running;
}

bool SilaPump::paused(RunId id) const
{
    return id != 0 && id == d->run.id && d->runner().status().state == State::Paused;
}

void SilaPump::journalRefused(const RequestOrigin &origin, const QString &command,
                              const QString &parameter, const QString &value, const QString &reason)
{
    Journal *journal = d->core.journal();
    if (journal == nullptr)
        return;
    const RequestOrigin by = d->originOr(origin);
    QJsonObject fields{{QStringLiteral("topic"), command},
                       {QStringLiteral("key"), parameter},
                       {QStringLiteral("value"), value},
                       {QStringLiteral("reason"), reason}};
    if (!by.request.isEmpty())
        fields.insert(QStringLiteral("request"), by.request);
    journal->append(d->core.pumpId(), QLatin1String(JournalEntry::Kind::Refused), by.frontEnd,
                    by.who, fields);
}
