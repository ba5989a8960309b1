#include "cli/RunCommands.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/ProgramRunCommand.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "program/ProgramRunner.h"
#include "pump/DurationText.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "remote/HeadlessPump.h"
#include "service/ExitStop.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

using Pump::KeyTable;
using State = ProgramStatus::State;
using Cause = ProgramStatus::Cause;

namespace {

double thousandths(double ml)
{
    return std::round(ml * 1000.0) / 1000.0;
}

QString volumeText(double ml)
{
    return KeyTable::thousandths(std::llround(ml * 1000)) + QStringLiteral(" ml");
}

// The key's value read from the pump now, into its item: the run's end may have come from a
// round that read it before the pump stood.
void readNow(PumpCore &core, const KeyTable::Key &key, int boundMs)
{
    // The core's read-back: the item takes the answer before the caller hears of it.
    const PumpCore::Ticket ticket =
        core.readBack(BusinessLogic::Lane::Program, key.query, key.parameters.front());
    if (ticket == 0)
        return;
    QEventLoop wait;
    QObject::connect(&core, &PumpCore::answered, &wait, [&](const Answer &answer) {
        if (answer.ticket == ticket)
            wait.quit();
    });
    QTimer::singleShot(boundMs, &wait, &QEventLoop::quit);
    wait.exec();
}

} // namespace

RunCommands::RunCommands(const CliArguments &arguments, const CliOutput &out, CliPump &p)
    : args(arguments)
    , output(out)
    , pump(p)
{}

int RunCommands::dispense()
{
    const QString rate = args.values.value(QStringLiteral("rate"));
    return start(Pump::DosingPlan::dose(args.values.value(QStringLiteral("volume")),
                                        args.values.contains(QStringLiteral("rate"))
                                            ? std::optional<QString>(rate)
                                            : std::nullopt));
}

int RunCommands::run()
{
    const QString time = args.values.value(QStringLiteral("for"));
    return start(Pump::DosingPlan::run(
        args.values.value(QStringLiteral("rate")),
        args.values.contains(QStringLiteral("for")) ? std::optional<QString>(time) : std::nullopt));
}

QJsonObject RunCommands::endFields(const ProgramStatus &status)
{
    QJsonObject fields{{QStringLiteral("cause"), ProgramStatus::causeName(status.cause)},
                       {QStringLiteral("volume_delivered_ml"), thousandths(status.volumeMl)},
                       {QStringLiteral("final_count_read"), status.finalCountRead}};
    if (!status.runId.isEmpty())
        fields.insert(QStringLiteral("run_id"), status.runId);
    if (!status.errorFlags.isEmpty())
        fields.insert(QStringLiteral("errors"), QJsonArray::fromStringList(status.errorFlags));
    return fields;
}

int RunCommands::prime()
{
    return go(ProgramStep::prime(), 0, 0);
}

int RunCommands::start(const Pump::DosingPlan &plan)
{
    if (!plan.ok()) {
        output.message(plan.error);
        return CliRunner::Usage;
    }
    return go(ProgramStep::of(plan), plan.targetVolume, plan.targetSeconds);
}

int RunCommands::go(const ProgramStep &step, double targetVolume, int targetSeconds)
{
    const QString &command = args.command;
    const bool priming = step.kind == ProgramStep::Kind::Prime;
    // A prime has no end of its own to wait for.
    const bool follow = args.flags.contains(QStringLiteral("wait")) && !priming;
    const int startId = BusinessLogic::toInt(priming ? BusinessLogic::CommandSpezifier::Prime
                                                     : BusinessLogic::CommandSpezifier::Start);
    int exit = CliRunner::Done;
    if (!pump.choose(&exit))
        return exit;
    Journal journal;
    const std::unique_ptr<HeadlessPump> headless = pump.polled(journal, &exit);
    if (!headless)
        return exit;
    PumpCore &core = headless->core();
    ProgramRunner &runner = headless->runner();
    // Signals are caught from before the start on: a Ctrl-C in between still stops the pump.
    RunLoop loop;
    ProgressDisplay progress(output, CliOutput::errorIsTerminal());
    std::optional<ProgramStatus> end;
    bool everConnected = false;
    bool taken = false; // the pump took this run's start
    bool portLost = false;
    QObject::connect(&core, &PumpCore::linkStateChanged, &loop, [&](const LinkState &state) {
        everConnected = everConnected || state.connected();
        portLost = portLost || (everConnected && !state.portOpen);
    });
    QObject::connect(&core, &PumpCore::answered, &loop, [&](const Answer &answer) {
        if (answer.accepted() && answer.commandId == startId && runner.status().active())
            taken = true;
    });
    QObject::connect(&runner, &ProgramRunner::ended, &loop,
                     [&](const ProgramStatus &s) { end = s; });
    if (follow) {
        QObject::connect(
            &runner, &ProgramRunner::statusChanged, &loop, [&](const ProgramStatus &s) {
                if (s.state != State::Running)
                    return;
                const QString clock =
                    Pump::DurationText::clock(static_cast<int>(s.elapsedMs / 1000));
                if (targetSeconds > 0)
                    progress.show(s.stepProgress * targetSeconds, targetSeconds,
                                  QStringLiteral("s"), volumeText(s.volumeMl));
                else
                    progress.show(s.volumeMl, targetVolume, QStringLiteral("ml"), clock);
            });
    }
    // A pump that never answered is given the tool's timeout before anything is asked of it, as
    // every other command gives it; a Ctrl-C meanwhile still stops it.
    QElapsedTimer clock;
    clock.start();
    const int waited = loop.exec(100, [&]() -> std::optional<int> {
        if (core.linkState().connected())
            return CliRunner::Done;
        if (clock.elapsed() >= std::max(1000, args.timeoutMs))
            return CliRunner::NoAnswer;
        return std::nullopt;
    });
    if (waited == CliRunner::NoAnswer) {
        output.cause(QStringLiteral("the pump at address %1 on %2 never answered; nothing was "
                                    "started")
                         .arg(pump.address())
                         .arg(pump.port()));
        return CliRunner::NoAnswer;
    }
    if (waited != CliRunner::Done)
        return interrupted(core, runner, waited, end);
    QString refusal;
    if (!runner.start({command, {step}}, &refusal)) {
        output.message(refusal.isEmpty() ? QStringLiteral("the run cannot start") : refusal);
        return CliRunner::Refused;
    }
    const int status = loop.exec(100, [&]() -> std::optional<int> {
        if (end)
            return end->state == State::Done ? CliRunner::Done : CliRunner::Refused;
        // The tool ends a run whose port was lost, however soon it came back: the port may
        // now lead elsewhere.
        if (portLost && runner.status().active())
            return CliRunner::NoAnswer;
        if (!follow && taken) {
            runner.release(QStringLiteral("dosetta-cli left the run to the pump"));
            return CliRunner::Done;
        }
        return std::nullopt;
    });
    progress.finish();
    if (end && end->state == State::Done) {
        if (end->cause == Cause::Released) {
            output.result({{QStringLiteral("command"), command},
                           {QStringLiteral("result"),
                            priming ? QStringLiteral("accepted") : QStringLiteral("started")},
                           {QStringLiteral("run_id"), end->runId}},
                          QString());
            return CliRunner::Done;
        }
        const KeyTable::Key &elapsed = KeyTable::key(QStringLiteral("time-elapsed"));
        readNow(core, elapsed, std::max(1000, args.timeoutMs));
        QJsonObject result{{QStringLiteral("command"), command},
                           {QStringLiteral("result"), QStringLiteral("done")},
                           {elapsed.output, KeyTable::json(elapsed, core.items())}};
        const QJsonObject fields = endFields(*end);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            result.insert(it.key(), it.value());
        output.result(result,
                      QStringLiteral("done: %1 in %2")
                          .arg(volumeText(end->volumeMl), KeyTable::text(elapsed, core.items())));
        return CliRunner::Done;
    }
    if (end)
        return failed(core, *end, everConnected);
    if (status == CliRunner::NoAnswer)
        return portGone(core, runner, end);
    return interrupted(core, runner, status, end);
}

int RunCommands::portGone(PumpCore &core, ProgramRunner &runner, std::optional<ProgramStatus> &end)
{
    const int returnMs = ProgramRunCommand::LinkReturnMs;
    QString problem = core.link().portProblem.text();
    if (problem.endsWith(QLatin1Char('.')))
        problem.chop(1);
    output.cause(
        QStringLiteral("%1: the port was lost%2; waiting up to %3 s for the link to "
                       "come back to stop the pump")
            .arg(args.command, problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem))
            .arg(returnMs / 1000));
    const bool stopped = ExitStop::stopPump(core, returnMs);
    waitForEnd(runner, end);
    if (end)
        output.addToFailure(endFields(*end));
    output.message(stopped ? QStringLiteral("the link came back and the pump took the Stop")
                           : QStringLiteral("the Stop was not acknowledged within %1 s; check "
                                            "the pump")
                                 .arg(returnMs / 1000));
    return CliRunner::NoAnswer;
}

void RunCommands::waitForEnd(ProgramRunner &runner, std::optional<ProgramStatus> &end)
{
    // The run ends once the pump's count after the Stop is in; the runner bounds that.
    if (end || !runner.status().active())
        return;
    QEventLoop wait;
    QObject::connect(&runner, &ProgramRunner::ended, &wait, &QEventLoop::quit);
    QTimer::singleShot(ProgramRunner::FinalCountMs + 1000, &wait, &QEventLoop::quit);
    wait.exec();
}

int RunCommands::interrupted(PumpCore &core, ProgramRunner &runner, int status,
                             std::optional<ProgramStatus> &end)
{
    // Interrupted: the tool's Stop ends the run as any Stop would.
    const int stopBoundMs = std::max(3000, 2 * args.timeoutMs);
    const QString why = status == RunLoop::ReaderGone ? QStringLiteral("output closed: ")
                                                      : QStringLiteral("interrupted: ");
    const bool stopped = ExitStop::stopPump(core, stopBoundMs);
    waitForEnd(runner, end);
    QString text = why + (stopped ? QStringLiteral("the pump was stopped")
                                  : QStringLiteral("the pump did not confirm the Stop"));
    if (end) {
        text += QStringLiteral("; %1 delivered").arg(volumeText(end->volumeMl));
        output.addToFailure(endFields(*end));
    }
    output.message(stopped ? text : text + QStringLiteral("; check it"));
    return status;
}

int RunCommands::failed(PumpCore &core, const ProgramStatus &end, bool everConnected)
{
    const QString &command = args.command;
    QJsonObject fields = endFields(end);
    if (!core.linkState().connected()) {
        if (!everConnected) {
            output.cause(QStringLiteral("the pump at address %1 on %2 never answered; nothing "
                                        "was started")
                             .arg(pump.address())
                             .arg(pump.port()),
                         fields);
            return CliRunner::NoAnswer;
        }
        const int returnMs = ProgramRunCommand::LinkReturnMs;
        output.cause(QStringLiteral("%1 %2: %3; waiting up to %4 s for the link to come back to "
                                    "stop the pump")
                         .arg(command, ProgramStatus::stateName(end.state),
                              end.reason.isEmpty() ? QStringLiteral("the link to the pump was lost")
                                                   : end.reason)
                         .arg(returnMs / 1000),
                     fields);
        output.message(ExitStop::stopPump(core, returnMs)
                           ? QStringLiteral("the link came back and the pump took the Stop")
                           : QStringLiteral("the Stop was not acknowledged within %1 s; check "
                                            "the pump")
                                 .arg(returnMs / 1000));
        return CliRunner::NoAnswer;
    }
    QString text;
    if (end.cause == Cause::PumpError) {
        // Flags the runner did not wait for are the last the core read.
        if (end.errorFlags.isEmpty()) {
            const QJsonObject read = CliPump::errorsField(core.sampler().take().errors);
            fields.insert(QStringLiteral("errors"), read.value(QStringLiteral("errors")));
        }
        const QJsonValue flags = fields.value(QStringLiteral("errors"));
        const QStringList named = flags.toVariant().toStringList();
        text = QStringLiteral("%1: the pump stopped with an error: %2")
                   .arg(command, flags.isNull()    ? QStringLiteral("its error flags did not come")
                                 : named.isEmpty() ? QStringLiteral("no error flag is set")
                                                   : named.join(QLatin1String(", ")));
    } else {
        text = QStringLiteral("%1 %2 (%3): %4")
                   .arg(command, ProgramStatus::stateName(end.state),
                        ProgramStatus::causeName(end.cause),
                        end.reason.isEmpty() ? QStringLiteral("no reason given") : end.reason);
    }
    output.cause(QStringLiteral("%1; %2 delivered").arg(text, volumeText(end.volumeMl)), fields);
    // The runner sent its Stop; one more makes sure of it before the tool lets go of the port.
    if (!ExitStop::stopPump(core, std::max(3000, 2 * args.timeoutMs)))
        output.message(QStringLiteral("the pump did not confirm the Stop; check it"));
    return CliRunner::Refused;
}
