#include "cli/WatchCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/RunLoop.h"
#include "cli/SampleInterval.h"
#include "pump/DurationText.h"
#include "pump/KeyTable.h"
#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"
#include "recorder/SampleJson.h"

#include <QElapsedTimer>

#include <cmath>

using Id = BusinessLogic::CommandSpezifier;
using Pump::KeyTable;

WatchCommand::WatchCommand(const CliArguments &arguments, const CliOutput &out, CliPump &p)
    : args(arguments)
    , output(out)
    , pump(p)
{}

int WatchCommand::exec()
{
    const double intervalS =
        args.values.value(QStringLiteral("interval"), QStringLiteral("1")).toDouble();
    const int count = args.intValue(QStringLiteral("count"), 0);
    CsvRecorder recorder;
    int exit = CliRunner::Done;
    if (!pump.connect(&exit))
        return exit;
    PumpSession &session = pump.session();
    // "--csv -": the rows go to standard output, and nothing else does.
    const bool csvOut = args.values.value(QStringLiteral("csv")) == QLatin1String("-");
    const bool csvFile = args.values.contains(QStringLiteral("csv")) && !csvOut;
    if (csvFile && !recorder.start(args.values.value(QStringLiteral("csv")))) {
        output.message(QStringLiteral("--csv: %1").arg(recorder.reason()));
        return CliRunner::Usage;
    }
    if (csvOut)
        CliOutput::text(QString::fromUtf8(CsvFormat::header()));
    // It started nothing, so an interruption ends it and leaves the pump as it is.
    RunLoop loop;
    int taken = 0;
    qint64 startMs = 0;
    const QList<QPair<Id, int>> queries = {
        {Id::GetRunMode, 0},      {Id::GetFlowRate, 0},   {Id::GetVolume, 0},
        {Id::GetActualVolume, 0}, {Id::GetTimeActual, 0}, {Id::GetDispenseTime, 0},
        {Id::GetPumpStatus, 1},   {Id::GetPumpStatus, 2}, {Id::GetPumpStatus, 3},
        {Id::GetPumpStatus, 4},   {Id::GetPumpStatus, 6}};
    const int askedMs = static_cast<int>(std::lround(intervalS * 1000));
    int intervalMs = askedMs;
    const int status = loop.exec(askedMs, [&]() -> std::optional<int> {
        // What the pump does not answer this time reads unknown, never as the last value.
        session.forget();
        QElapsedTimer took;
        took.start();
        for (const auto &q : queries)
            session.query(q.first, q.second);
        // A sample cannot come faster than the pump answers its queries: say so, and keep
        // an even rhythm at what it allows rather than the timer's late catch-ups.
        const int chosen = SampleInterval::next(askedMs, intervalMs, took.elapsed());
        if (chosen != intervalMs) {
            output.message(SampleInterval::notice(askedMs, chosen, took.elapsed()));
            intervalMs = chosen;
            loop.setInterval(chosen);
        }
        // The core's picture: its items and its one judgement of the link.
        const ProcessSample sample = session.core().sampler().take();
        if (taken == 0)
            startMs = sample.timeMs;
        const auto ml = [](const std::optional<qint64> &v) {
            return v ? KeyTable::thousandths(*v) : QStringLiteral("-");
        };
        if (csvOut)
            CliOutput::text(QString::fromUtf8(CsvFormat::row(sample, startMs)));
        else
            output.result(
                SampleJson::object(sample, startMs),
                QStringLiteral(
                    "%1  %2  %3  %4  flow %5 ml/min  volume %6 / %7 ml  elapsed %8  errors: %9")
                    .arg(CsvFormat::isoUtc(sample.timeMs), ProcessSample::linkText(sample.link),
                         ProcessSample::runStateText(sample.runState),
                         ProcessSample::modeText(sample.mode), ml(sample.flowRate),
                         ml(sample.volumeDelivered), ml(sample.volumeTarget),
                         sample.timeElapsedMs ? Pump::DurationText::clock(
                                                    static_cast<int>(*sample.timeElapsedMs / 1000))
                                              : QStringLiteral("-"),
                         sample.errors
                             ? (sample.errors->isEmpty() ? QStringLiteral("none")
                                                         : sample.errors->join(QLatin1String(", ")))
                             : QStringLiteral("-")));
        if (csvFile) {
            recorder.write(sample);
            if (!recorder.recording()) {
                // The file given can no longer be written (a full disk, a vanished folder).
                output.message(QStringLiteral("--csv: %1").arg(recorder.reason()));
                return CliRunner::Usage;
            }
        }
        ++taken;
        if (!session.portOpen())
            return pump.silent(QStringLiteral("watch"));
        if (count > 0 && taken >= count)
            return CliRunner::Done;
        return std::nullopt;
    });
    recorder.stop();
    return status;
}
