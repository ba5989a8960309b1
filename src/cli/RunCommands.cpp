#include "cli/RunCommands.h"

#include "GUI/OperationItemStatus.h"
#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunLoop.h"
#include "pump/KeyTable.h"
#include "recorder/ProcessSampler.h"

#include <QElapsedTimer>
#include <QThread>

#include <cmath>

using Pump::KeyTable;

RunCommands::RunCommands(const CliArguments &arguments, const CliOutput &out, CliPump &p)
    : args(arguments)
    , output(out)
    , pump(p)
{}

int RunCommands::start(const Pump::DosingPlan &plan)
{
    if (!plan.ok()) {
        output.message(plan.error);
        return CliRunner::Usage;
    }
    int exit = CliRunner::Done;
    if (!pump.connect(&exit))
        return exit;
    // Signals are caught from before the start on: a Ctrl-C in between still stops the pump. It
    // is looked at after each step, since a step blocks.
    RunLoop loop;
    for (const Pump::DosingPlan::Step &step : plan.steps) {
        if (!pump.send(step.command, step.value, step.what, &exit)) {
            // A start that met silence may still have been taken.
            return step.command == Id::Start && exit == CliRunner::NoAnswer ? stop(exit) : exit;
        }
        if (const std::optional<int> interrupted = loop.interruption())
            return stop(*interrupted);
    }
    if (!args.flags.contains(QStringLiteral("wait"))) {
        output.result({{QStringLiteral("command"), args.command},
                       {QStringLiteral("result"), QStringLiteral("started")}},
                      QString());
        return CliRunner::Done;
    }
    const int status = follow(loop, plan.targetVolume, plan.targetSeconds);
    return status == CliRunner::Done ? CliRunner::Done : stop(status);
}

int RunCommands::stop(int status)
{
    // A lost port is tried again for as long as a silent pump is: an adapter that is back, or a
    // stable link that leads to the new device, still takes the Stop.
    PumpSession &session = pump.session();
    QElapsedTimer clock;
    clock.start();
    while (!session.portOpen() && !session.communication().reopen() &&
           clock.elapsed() < args.timeoutMs)
        QThread::msleep(100);
    const QString why = status == RunLoop::ReaderGone ? QStringLiteral("output closed: ")
                        : status > 128                ? QStringLiteral("interrupted: ")
                                                      : QString();
    if (!session.portOpen())
        output.message(QStringLiteral("%1Stop could not be sent (%2); check the pump")
                           .arg(why, session.problem().text()));
    else if (session.run(Id::Stop).answered())
        output.message(QStringLiteral("%1the pump was stopped").arg(why));
    else
        output.message(
            QStringLiteral("%1Stop was sent, but the pump did not confirm it; check the pump")
                .arg(why));
    return status;
}

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

int RunCommands::follow(RunLoop &loop, double targetVolume, int targetSeconds)
{
    const QString &command = args.command;
    PumpSession &session = pump.session();
    ProgressDisplay progress(output, CliOutput::errorIsTerminal());
    const KeyTable::Key &delivered = KeyTable::key(QStringLiteral("volume-delivered"));
    const KeyTable::Key &elapsed = KeyTable::key(QStringLiteral("time-elapsed"));
    bool seenMoving = false;
    std::optional<qint64> lastElapsedMs;
    int standingTicks = 0;
    const int intervalMs = 200;
    // A pump that has not moved or counted time for this long did not start.
    const int startTicks = 5000 / intervalMs;
    const int status = loop.exec(intervalMs, [&]() -> std::optional<int> {
        auto *flags = static_cast<OperationItemStatus *>(session.items().find(Id::GetPumpStatus));
        if (!session.query(Id::GetPumpStatus, 1) || !session.read(delivered) ||
            !session.read(elapsed)) {
            progress.finish();
            return pump.silent(command);
        }
        const int word = flags->statusWord(1);
        if (word & 2) {
            progress.finish();
            const std::optional<QStringList> errors = pump.errorFlags();
            const QString named = !errors ? QStringLiteral("its error flags did not come")
                                  : errors->isEmpty() ? QStringLiteral("no error flag is set")
                                                      : errors->join(QLatin1String(", "));
            output.cause(
                QStringLiteral("%1: the pump stopped with an error: %2").arg(command, named),
                CliPump::errorsField(errors));
            return CliRunner::Refused;
        }
        const bool moving = (word & 1) != 0;
        const qint64 ms =
            ProcessSampler::elapsedMs(session.items().find(Id::GetTimeActual)->text());
        const double volume = session.items().find(Id::GetActualVolume)->value() / 1000.0;
        seenMoving = seenMoving || moving;
        const QString clock = KeyTable::text(elapsed, session.items());
        if (targetSeconds > 0)
            progress.show(ms / 1000.0, targetSeconds, QStringLiteral("s"),
                          KeyTable::thousandths(std::llround(volume * 1000)) +
                              QStringLiteral(" ml"));
        else
            progress.show(volume, targetVolume, QStringLiteral("ml"), clock);
        // Standing, with its clock no longer counting (a break between doses still counts).
        const bool standing = !moving && lastElapsedMs && *lastElapsedMs == ms;
        lastElapsedMs = ms;
        standingTicks = standing ? standingTicks + 1 : 0;
        if (standing && (seenMoving || ms > 0)) {
            progress.finish();
            output.result({{QStringLiteral("command"), command},
                           {QStringLiteral("result"), QStringLiteral("done")},
                           {delivered.output, KeyTable::json(delivered, session.items())},
                           {elapsed.output, KeyTable::json(elapsed, session.items())}},
                          QStringLiteral("done: %1 ml in %2")
                              .arg(KeyTable::text(delivered, session.items()), clock));
            return CliRunner::Done;
        }
        if (standingTicks >= startTicks) {
            progress.finish();
            output.cause(
                QStringLiteral("%1: the pump took the start but did not move").arg(command));
            return CliRunner::Refused;
        }
        return std::nullopt;
    });
    progress.finish();
    return status;
}
