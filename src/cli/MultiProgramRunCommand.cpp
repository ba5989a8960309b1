#include "cli/MultiProgramRunCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "service/ExitStop.h"
#include "cli/ProgressDisplay.h"
#include "cli/PumpBinding.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "program/MultiPumpRunner.h"
#include "program/ProgramRunner.h"
#include "pump/DurationText.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "remote/HeadlessPump.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>

using State = ProgramStatus::State;

namespace {

QString volumeText(double ml)
{
    return Pump::KeyTable::thousandths(std::llround(ml * 1000)) + QStringLiteral(" ml");
}

// "A 12.5 ml, B 3.2 ml"
QString volumes(const MultiPumpStatus &s)
{
    QStringList parts;
    for (const QString &pump : s.pumps)
        parts << QStringLiteral("%1 %2").arg(pump, volumeText(s.volumeMl(pump)));
    return parts.join(QStringLiteral(", "));
}

} // namespace

MultiProgramRunCommand::MultiProgramRunCommand(const CliArguments &arguments, const CliOutput &out)
    : args(arguments)
    , output(out)
{}

void MultiProgramRunCommand::event(const char *name, const QString &pump,
                                   const ProgramStatus &status, const QString &text) const
{
    QJsonObject object = status.toJson();
    object.insert(QStringLiteral("event"), QLatin1String(name));
    object.insert(QStringLiteral("pump"), pump);
    output.result(object, text.isEmpty() ? text : pump + QStringLiteral(": ") + text);
}

int MultiProgramRunCommand::exec(const DosingProgram &program, const QString &file)
{
    if (args.values.contains(QStringLiteral("csv"))) {
        output.message(QStringLiteral("--csv records one pump; %1 drives %2")
                           .arg(file, program.pumps.join(QStringLiteral(", "))));
        return CliRunner::Usage;
    }
    // Which port each of the program's pumps is on: all of them, each once, each its own port.
    std::map<QString, PumpBinding> bindings;
    for (const QString &text : args.lists.value(QStringLiteral("pump"))) {
        QString error;
        std::optional<PumpBinding> b = PumpBinding::parse(text, &error);
        if (b && !program.pumps.contains(b->name))
            error = QStringLiteral("--pump %1: %2 has no pump \"%3\"; it names %4")
                        .arg(text, file, b->name, program.pumps.join(QStringLiteral(", ")));
        else if (b && bindings.count(b->name) > 0)
            error = QStringLiteral("--pump %1: pump %2 is given twice").arg(text, b->name);
        for (const auto &other : bindings)
            if (b && error.isEmpty() && other.second.port == b->port)
                error = QStringLiteral("--pump %1: %2 is on %3 already; each pump needs a port "
                                       "of its own")
                            .arg(text, other.first, b->port);
        if (!error.isEmpty()) {
            output.message(error);
            return CliRunner::Usage;
        }
        if (b->address < 0)
            b->address = args.address >= 0 ? args.address : 1;
        bindings.emplace(b->name, *b);
    }
    for (const QString &pump : program.pumps) {
        if (bindings.count(pump) == 0) {
            output.message(QStringLiteral("%1 drives pump %2: give its port with --pump "
                                          "%2=PORT[:ADDRESS]")
                               .arg(file, pump));
            return CliRunner::Usage;
        }
    }
    const ProgramSplit split = ProgramSplit::of(program);
    int prompts = 0;
    for (const ProgramSplit::Part &part : split.parts)
        prompts += part.prompts;
    const bool yes = args.flags.contains(QStringLiteral("yes"));
    if (prompts > 0 && !yes && ::isatty(STDIN_FILENO) != 1) {
        output.message(QStringLiteral("%1 waits for the operator at %2 prompt step%3, and standard "
                                      "input is no terminal where Enter could continue it; run "
                                      "it with --yes to go on at once")
                           .arg(file)
                           .arg(prompts)
                           .arg(prompts == 1 ? QString() : QStringLiteral("s")));
        return CliRunner::Usage;
    }

    Journal journal;
    const RequestOrigin origin{QLatin1String(JournalEntry::Origin::Cli), JournalEntry::localUser(),
                               QString(), QString()};
    std::map<QString, std::unique_ptr<HeadlessPump>> headless;
    std::map<QString, MultiPumpRunner::Pump> hosts;
    for (const QString &pump : program.pumps) {
        const PumpBinding &b = bindings.at(pump);
        auto h = std::make_unique<HeadlessPump>(b.port, b.address, &journal, origin);
        if (!h->portOpen()) {
            const QString why = h->problem().text();
            output.message(QStringLiteral("pump %1: %2")
                               .arg(pump, why.isEmpty()
                                              ? QStringLiteral("%1 cannot be opened").arg(b.port)
                                              : why));
            return CliRunner::NoAnswer;
        }
        hosts.emplace(pump, MultiPumpRunner::Pump{h->core(), h->runner()});
        headless.emplace(pump, std::move(h));
    }
    const auto eachCore = [&](const std::function<void(const QString &, PumpCore &)> &f) {
        for (const QString &pump : program.pumps)
            f(pump, headless.at(pump)->core());
    };

    // Signals are caught from before the start on: a Ctrl-C in between still stops the pumps.
    RunLoop loop;
    MultiPumpRunner runner(hosts);
    ProgressDisplay progress(output, CliOutput::errorIsTerminal());
    std::optional<MultiPumpStatus> end;
    std::map<QString, bool> everConnected;
    eachCore([&](const QString &pump, PumpCore &core) {
        QObject::connect(&core, &PumpCore::linkStateChanged, &loop,
                         [&everConnected, pump](const LinkState &state) {
                             everConnected[pump] = everConnected[pump] || state.connected();
                         });
    });
    QObject::connect(&runner, &MultiPumpRunner::stepStarted, &loop,
                     [&](const QString &pump, const ProgramStatus &s) {
                         if (!runner.isHold(pump, s))
                             event("step-started", pump, s, QString());
                     });
    QObject::connect(&runner, &MultiPumpRunner::stepFinished, &loop,
                     [&](const QString &pump, const ProgramStatus &s) {
                         if (runner.isHold(pump, s))
                             return;
                         progress.finish();
                         event("step-finished", pump, s, QStringLiteral("done %1").arg(s.label));
                     });
    // Enter on the terminal continues the prompts that wait; holds are the runner's own.
    std::unique_ptr<QSocketNotifier> input;
    if (prompts > 0 && !yes) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, &loop, [&] {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input->setEnabled(false);
                return;
            }
            if (QByteArray(buffer, static_cast<int>(n)).contains('\n'))
                runner.continuePrompt();
        });
    }
    std::map<QString, State> shown;
    QObject::connect(
        &runner, &MultiPumpRunner::runChanged, &loop,
        [&](const QString &pump, const ProgramStatus &s) {
            const State before = shown[pump];
            shown[pump] = s.state;
            if (s.state == before)
                return;
            if (s.state == State::WaitingForOperator && !runner.isHold(pump, s)) {
                progress.finish();
                event("waiting", pump, s, QString());
                const ProgramRunner &own = headless.at(pump)->runner();
                const int index = s.position - 1;
                const QString text = index >= 0 && index < static_cast<int>(own.plan().size())
                                         ? own.plan().at(index).step.text
                                         : QString();
                if (yes) {
                    output.message(
                        QStringLiteral("%1: prompt: %2 (continued: --yes)").arg(pump, text));
                    QTimer::singleShot(0, &runner, &MultiPumpRunner::continuePrompt);
                } else {
                    output.message(
                        QStringLiteral("%1: prompt: %2 (Enter continues)").arg(pump, text));
                }
            } else if (s.ended()) {
                progress.finish();
                event(
                    "run-ended", pump, s,
                    QStringLiteral("%1%2: %3 in %4")
                        .arg(ProgramStatus::stateName(s.state),
                             s.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(s.reason),
                             volumeText(s.volumeMl),
                             Pump::DurationText::clock(static_cast<int>(s.elapsedMs / 1000))));
            }
        });
    QObject::connect(
        &runner, &MultiPumpRunner::statusChanged, &loop, [&](const MultiPumpStatus &s) {
            if (s.state != State::Running)
                return;
            double done = 0;
            double total = 0;
            QStringList where;
            for (const auto &run : s.runs) {
                done += run.second.position - 1 + run.second.stepProgress;
                total += run.second.total;
                where << QStringLiteral("%1 %2").arg(run.first, runner.isHold(run.first, run.second)
                                                                    ? QStringLiteral("holding")
                                                                    : run.second.label);
            }
            progress.show(done, total, QStringLiteral("steps"), where.join(QStringLiteral("  ")));
        });
    QObject::connect(&runner, &MultiPumpRunner::ended, &loop, [&](const MultiPumpStatus &s) {
        end = s;
        progress.finish();
        QJsonObject object = s.toJson();
        object.insert(QStringLiteral("event"), QStringLiteral("ended"));
        const QString summary =
            QStringLiteral("%1 in %2")
                .arg(volumes(s), Pump::DurationText::clock(static_cast<int>(s.elapsedMs / 1000)));
        output.result(object,
                      s.reason.isEmpty() || s.state == State::Done
                          ? QStringLiteral("%1: %2").arg(ProgramStatus::stateName(s.state), summary)
                          : QStringLiteral("%1 (%2): %3")
                                .arg(ProgramStatus::stateName(s.state), s.reason, summary));
    });

    QString refusal;
    if (!runner.start(program, origin, &refusal)) {
        output.message(refusal.isEmpty() ? QStringLiteral("the program cannot start") : refusal);
        return CliRunner::Refused;
    }
    const int status = loop.exec(100, [&]() -> std::optional<int> {
        if (end)
            return end->state == State::Done ? CliRunner::Done : CliRunner::Refused;
        return std::nullopt;
    });
    progress.finish();
    if (end && end->state == State::Done)
        return CliRunner::Done;
    const int stopBoundMs = std::max(3000, 2 * args.timeoutMs);
    if (!end) {
        // Interrupted: a Stop to every pump at once, each on its own line; each run then ends as
        // any Stop ends it, and the interlock has nothing left to do.
        const QString why = status == RunLoop::ReaderGone ? QStringLiteral("output closed: ")
                                                          : QStringLiteral("interrupted: ");
        eachCore([](const QString &, PumpCore &core) { core.stop(); });
        QStringList unconfirmed;
        eachCore([&](const QString &pump, PumpCore &core) {
            if (!ExitStop::stopPump(core, stopBoundMs))
                unconfirmed << pump;
        });
        if (!end) {
            QEventLoop wait;
            QObject::connect(&runner, &MultiPumpRunner::ended, &wait, &QEventLoop::quit);
            QTimer::singleShot(ProgramRunner::FinalCountMs + 1000, &wait, &QEventLoop::quit);
            if (runner.status().active())
                wait.exec();
        }
        QString text =
            why + (unconfirmed.isEmpty() ? QStringLiteral("every pump was stopped")
                                         : QStringLiteral("%1 did not confirm the Stop; check them")
                                               .arg(unconfirmed.join(QStringLiteral(", "))));
        if (end)
            text += QStringLiteral("; delivered: %1").arg(volumes(*end));
        output.message(text);
        return status;
    }
    // Failed or stopped: each runner sent its Stop, or took one; one more to every pump makes
    // sure of it before the tool lets go of the ports. A pump whose link is gone gets its Stop
    // once the link is back, within a bound.
    QStringList silent;
    QStringList never;
    eachCore([&](const QString &pump, PumpCore &core) {
        if (!core.linkState().connected())
            (everConnected[pump] ? silent : never) << pump;
    });
    output.cause(QStringLiteral("the program %1: %2")
                     .arg(ProgramStatus::stateName(end->state),
                          end->reason.isEmpty() ? QStringLiteral("no reason given") : end->reason));
    QStringList unconfirmed;
    eachCore([&](const QString &pump, PumpCore &core) {
        const int bound = silent.contains(pump) ? 10000 : stopBoundMs;
        if (!never.contains(pump) && !ExitStop::stopPump(core, bound))
            unconfirmed << pump;
    });
    if (!unconfirmed.isEmpty())
        output.message(QStringLiteral("%1 did not confirm the Stop; check them")
                           .arg(unconfirmed.join(QStringLiteral(", "))));
    for (const QString &pump : never) {
        const PumpBinding &b = bindings.at(pump);
        output.message(QStringLiteral("pump %1 at address %2 on %3 never answered")
                           .arg(pump)
                           .arg(b.address)
                           .arg(b.port));
    }
    return silent.isEmpty() && never.isEmpty() ? CliRunner::Refused : CliRunner::NoAnswer;
}
