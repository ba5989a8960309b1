#include "cli/ProgramRunCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/MultiProgramRunCommand.h"
#include "cli/ProgramCheckCommand.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "program/ProgramPlan.h"
#include "program/ProgramRunner.h"
#include "pump/DurationText.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"
#include "remote/HeadlessPump.h"
#include "service/ExitStop.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <unistd.h>

using State = ProgramStatus::State;

namespace {

QString volumeText(double ml)
{
    return Pump::KeyTable::thousandths(std::llround(ml * 1000)) + QStringLiteral(" ml");
}

} // namespace

ProgramRunCommand::ProgramRunCommand(const CliArguments &arguments, const CliOutput &out,
                                     CliPump &p)
    : args(arguments)
    , output(out)
    , pump(p)
{}

void ProgramRunCommand::event(const char *name, const ProgramStatus &status, const QString &text,
                              const QJsonObject &fields) const
{
    if (!events)
        return;
    QJsonObject object{{QStringLiteral("event"), QLatin1String(name)}};
    for (const QJsonObject &part : {status.toJson(), fields}) {
        for (auto it = part.begin(); it != part.end(); ++it)
            object.insert(it.key(), it.value());
    }
    output.result(object, text);
}

int ProgramRunCommand::exec()
{
    const QString file = args.arguments.value(1);
    const std::optional<DosingProgram> program = ProgramCheckCommand::load(file, output);
    if (!program)
        return CliRunner::Usage;
    if (!program->pumps.isEmpty())
        return MultiProgramRunCommand(args, output).exec(*program, file);
    if (args.values.contains(QStringLiteral("pump"))) {
        output.message(
            QStringLiteral("%1 names no pumps: it runs on one, given by --port").arg(file));
        return CliRunner::Usage;
    }
    const std::vector<PlannedStep> plan = ProgramPlan::unroll(*program);
    const int prompts = ProgramPlan::summarize(plan).prompts;
    const bool yes = args.flags.contains(QStringLiteral("yes"));
    const bool terminalIn = ::isatty(STDIN_FILENO) == 1;
    if (prompts > 0 && !yes && !terminalIn) {
        output.message(QStringLiteral("%1 waits for the operator at %2 prompt step%3, and standard "
                                      "input is no terminal where Enter could continue it; run "
                                      "it with --yes to go on at once")
                           .arg(file)
                           .arg(prompts)
                           .arg(prompts == 1 ? QString() : QStringLiteral("s")));
        return CliRunner::Usage;
    }
    const QString csv = args.values.value(QStringLiteral("csv"));
    // "--csv -": the rows go to standard output, and nothing else does.
    const bool csvOut = csv == QLatin1String("-");
    const bool csvFile = !csv.isEmpty() && !csvOut;
    events = !csvOut;
    int exit = CliRunner::Done;
    if (!pump.choose(&exit))
        return exit;
    CsvRecorder recorder;
    if (csvFile && !recorder.start(csv)) {
        output.message(QStringLiteral("--csv: %1").arg(recorder.reason()));
        return CliRunner::Usage;
    }
    if (csvOut)
        CliOutput::text(QString::fromUtf8(CsvFormat::header()));
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
    // A pump error's flags, as the core read them when the program ended on it.
    QJsonObject errors;
    State shown = State::Idle;
    bool everConnected = false;
    bool csvWarned = false;
    std::optional<qint64> startMs;

    QObject::connect(&core, &PumpCore::linkStateChanged, &loop, [&](const LinkState &state) {
        everConnected = everConnected || state.connected();
    });
    QObject::connect(&core, &PumpCore::sampled, &loop, [&](const ProcessSample &sample) {
        if (!startMs)
            startMs = sample.timeMs;
        if (csvOut)
            CliOutput::text(QString::fromUtf8(CsvFormat::row(sample, *startMs)));
        if (!csvFile)
            return;
        recorder.write(sample);
        if (!recorder.recording() && !csvWarned) {
            // The run goes on: stopping the pump for a full disk would spoil the dose.
            csvWarned = true;
            progress.finish();
            output.message(
                QStringLiteral("--csv: %1; the program goes on unrecorded").arg(recorder.reason()));
        }
    });
    QObject::connect(&runner, &ProgramRunner::stepStarted, &loop,
                     [&](const ProgramStatus &s) { event("step-started", s, QString()); });
    QObject::connect(&runner, &ProgramRunner::stepFinished, &loop, [&](const ProgramStatus &s) {
        progress.finish();
        event("step-finished", s, QStringLiteral("done %1").arg(s.label));
    });
    // Enter on the terminal ends a prompt step; what was typed before it counts for nothing.
    std::unique_ptr<QSocketNotifier> input;
    if (prompts > 0 && !yes) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, &loop, [&] {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input->setEnabled(false); // closed: only an interruption ends the wait now
                return;
            }
            if (runner.status().state == State::WaitingForOperator &&
                QByteArray(buffer, static_cast<int>(n)).contains('\n'))
                runner.continuePrompt();
        });
    }
    QObject::connect(&runner, &ProgramRunner::statusChanged, &loop, [&](const ProgramStatus &s) {
        if (s.state != shown) {
            const State before = shown;
            shown = s.state;
            if (s.state == State::Paused) {
                progress.finish();
                event("paused", s, QStringLiteral("paused at %1").arg(s.label));
            } else if (s.state == State::Running && before == State::Paused) {
                event("continued", s, QString());
            } else if (s.state == State::WaitingForOperator) {
                progress.finish();
                event("waiting", s, QString());
                const int index = s.position - 1;
                const QString text = index >= 0 && index < static_cast<int>(runner.plan().size())
                                         ? runner.plan().at(index).step.text
                                         : QString();
                if (yes) {
                    output.message(QStringLiteral("prompt: %1 (continued: --yes)").arg(text));
                    QTimer::singleShot(0, &runner, &ProgramRunner::continuePrompt);
                } else {
                    output.message(QStringLiteral("prompt: %1 (Enter continues)").arg(text));
                }
            }
        }
        if (s.state == State::Running && s.total > 0)
            progress.show(s.position - 1 + s.stepProgress, s.total, QStringLiteral("steps"),
                          QStringLiteral("%1  %2").arg(s.label, volumeText(s.volumeMl)));
    });
    QObject::connect(&runner, &ProgramRunner::ended, &loop, [&](const ProgramStatus &s) {
        end = s;
        if (s.fault == ProgramStatus::Fault::PumpError)
            errors = CliPump::errorsField(core.sampler().take().errors);
        progress.finish();
        const QString summary =
            QStringLiteral("%1 of %2 steps, %3 in %4")
                .arg(s.state == State::Done ? s.total : std::max(0, s.position - 1))
                .arg(s.total)
                .arg(volumeText(s.volumeMl),
                     Pump::DurationText::clock(static_cast<int>(s.elapsedMs / 1000)));
        event("ended", s,
              s.reason.isEmpty()
                  ? QStringLiteral("%1: %2").arg(ProgramStatus::stateName(s.state), summary)
                  : QStringLiteral("%1 (%2): %3")
                        .arg(ProgramStatus::stateName(s.state), s.reason, summary),
              errors);
    });

    QString refusal;
    if (!runner.start(*program, &refusal)) {
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
        // Interrupted: the tool's Stop ends the program as any Stop would.
        const QString why = status == RunLoop::ReaderGone ? QStringLiteral("output closed: ")
                                                          : QStringLiteral("interrupted: ");
        const bool stopped = ExitStop::stopPump(core, stopBoundMs);
        // The program ends once the pump's count after the Stop is in; the runner bounds that.
        if (!end && runner.status().state == State::Ending) {
            QEventLoop wait;
            QObject::connect(&runner, &ProgramRunner::ended, &wait, &QEventLoop::quit);
            QTimer::singleShot(ProgramRunner::FinalCountMs + 1000, &wait, &QEventLoop::quit);
            wait.exec();
        }
        // Polls stopped with the Stop: one last row holds the pump's final count, still under
        // the program's name.
        if (end)
            core.sampler().sample();
        QString text = why + (stopped ? QStringLiteral("the pump was stopped")
                                      : QStringLiteral("the pump did not confirm the Stop"));
        if (end)
            text += QStringLiteral("; %1 delivered").arg(volumeText(end->volumeMl));
        output.message(stopped ? text : text + QStringLiteral("; check it"));
        return status;
    }
    if (!core.linkState().connected()) {
        if (!everConnected) {
            output.cause(QStringLiteral("the pump at address %1 on %2 never answered; nothing "
                                        "was started")
                             .arg(pump.address())
                             .arg(pump.port()));
            return CliRunner::NoAnswer;
        }
        output.cause(QStringLiteral("the program %1: %2; waiting up to %3 s for the link to come "
                                    "back to stop the pump")
                         .arg(ProgramStatus::stateName(end->state),
                              end->reason.isEmpty()
                                  ? QStringLiteral("the link to the pump was lost")
                                  : end->reason)
                         .arg(LinkReturnMs / 1000));
        output.message(ExitStop::stopPump(core, LinkReturnMs)
                           ? QStringLiteral("the link came back and the pump took the Stop")
                           : QStringLiteral("the Stop was not acknowledged within %1 s; check "
                                            "the pump")
                                 .arg(LinkReturnMs / 1000));
        return CliRunner::NoAnswer;
    }
    // Failed with the pump's error or a refusal, or stopped by someone else: the runner sent its
    // Stop; one more makes sure of it before the tool lets go of the port.
    output.cause(QStringLiteral("the program %1: %2")
                     .arg(ProgramStatus::stateName(end->state),
                          end->reason.isEmpty() ? QStringLiteral("no reason given") : end->reason),
                 errors);
    if (!ExitStop::stopPump(core, stopBoundMs))
        output.message(QStringLiteral("the pump did not confirm the Stop; check it"));
    return CliRunner::Refused;
}
