#include "cli/CalibrateCommand.h"

#include "balance/BalanceReader.h"
#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "program/ProgramRunner.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "remote/HeadlessPump.h"
#include "service/ExitStop.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

using Pump::CalibrationByWeight;
using Pump::KeyTable;

namespace {

const KeyTable::Key &percentKey()
{
    return KeyTable::key(QStringLiteral("calibration-percent"));
}

} // namespace

CalibrateCommand::CalibrateCommand(const CliArguments &arguments, const CliOutput &out, CliPump &p)
    : args(arguments)
    , output(out)
    , pump(p)
{}

QJsonObject CalibrateCommand::fields(double nominalMl, const std::vector<double> &massesG,
                                     double density, const CalibrationByWeight::Result &result,
                                     bool sent)
{
    return CalibrationByWeight::journalFields(nominalMl, massesG, density, result, sent);
}

bool CalibrateCommand::confirmed(const QString &proposal) const
{
    if (args.flags.contains(QStringLiteral("yes")))
        return true;
    if (isatty(STDIN_FILENO) == 0)
        return false;
    output.message(proposal);
    QTextStream(stderr) << "send it to the pump? [y/N] " << Qt::flush;
    char line[16] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr)
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

double CalibrateCommand::readPercent(PumpCore &core) const
{
    const KeyTable::Key &key = percentKey();
    const PumpCore::Ticket ticket =
        core.readBack(BusinessLogic::Lane::Operator, key.query, key.parameters.front());
    if (ticket == 0)
        return 0;
    bool answered = false;
    QEventLoop wait;
    QObject::connect(&core, &PumpCore::answered, &wait, [&](const Answer &answer) {
        if (answer.ticket != ticket)
            return;
        answered = answer.accepted();
        wait.quit();
    });
    QTimer::singleShot(std::max(1000, 2 * args.timeoutMs), &wait, &QEventLoop::quit);
    wait.exec();
    if (!answered)
        return 0;
    return KeyTable::json(key, core.items()).toDouble();
}

bool CalibrateCommand::sendPercent(PumpCore &core, double percent) const
{
    const KeyTable::Setting setting =
        KeyTable::parse(percentKey(), QString::number(percent, 'f', 1));
    if (!setting.ok())
        return false;
    std::optional<bool> taken;
    QEventLoop wait;
    const PumpCore::Ticket ticket = core.submitSetting(
        BusinessLogic::Lane::Operator, setting.command, setting.value, &wait, [&](bool accepted) {
            taken = accepted;
            wait.quit();
        });
    if (ticket == 0)
        return false;
    QTimer::singleShot(std::max(1000, 2 * args.timeoutMs), &wait, &QEventLoop::quit);
    if (!taken)
        wait.exec();
    return taken.value_or(false);
}

int CalibrateCommand::weigh(HeadlessPump &headless, double nominal, int doses,
                            std::vector<double> *masses) const
{
    const QString port = args.values.value(QStringLiteral("balance"));
    const int balanceMs = args.intValue(QStringLiteral("balance-timeout"), DefaultBalanceMs);
    BalanceReader balance;
    if (!balance.open(port)) {
        output.message(QStringLiteral("calibrate: %1").arg(balance.error()));
        return CliRunner::NoAnswer;
    }
    PumpCore &core = headless.core();
    ProgramRunner &runner = headless.runner();
    const QString volume = QString::number(nominal, 'f', 3);
    // A Ctrl-C from here on stops the pump.
    RunLoop loop;
    for (int i = 1; i <= doses; ++i) {
        if (!balance.zero(balanceMs)) {
            output.message(QStringLiteral("calibrate: dose %1: %2").arg(i).arg(balance.error()));
            return CliRunner::NoAnswer;
        }
        std::optional<ProgramStatus> end;
        QMetaObject::Connection ended = QObject::connect(&runner, &ProgramRunner::ended, &loop,
                                                         [&](const ProgramStatus &s) { end = s; });
        QString refusal;
        const bool started =
            runner.start({QStringLiteral("calibrate"),
                          {ProgramStep::of(Pump::DosingPlan::dose(volume, std::nullopt))}},
                         &refusal);
        if (!started) {
            QObject::disconnect(ended);
            output.message(refusal.isEmpty() ? QStringLiteral("calibrate: the dose cannot start")
                                             : refusal);
            return CliRunner::Refused;
        }
        const int status = loop.exec(100, [&]() -> std::optional<int> {
            if (end)
                return end->state == ProgramStatus::State::Done ? CliRunner::Done
                                                                : CliRunner::Refused;
            return std::nullopt;
        });
        QObject::disconnect(ended);
        if (status != CliRunner::Done) {
            ExitStop::stopPump(core, std::max(3000, 2 * args.timeoutMs));
            output.message(end ? QStringLiteral("calibrate: dose %1 %2: %3")
                                     .arg(i)
                                     .arg(ProgramStatus::stateName(end->state),
                                          end->reason.isEmpty()
                                              ? ProgramStatus::causeName(end->cause)
                                              : end->reason)
                               : QStringLiteral("calibrate: interrupted during dose %1; the pump "
                                                "was stopped")
                                     .arg(i));
            return status;
        }
        const BalanceReader::Reading reading = balance.stableWeight(balanceMs);
        if (!reading.ok) {
            output.message(QStringLiteral("calibrate: dose %1: %2").arg(i).arg(reading.error));
            return CliRunner::NoAnswer;
        }
        output.message(
            QStringLiteral("dose %1 of %2: %3 g").arg(i).arg(doses).arg(reading.grams, 0, 'f', 4));
        masses->push_back(reading.grams);
    }
    return CliRunner::Done;
}

int CalibrateCommand::exec()
{
    const double nominal = args.values.value(QStringLiteral("nominal")).toDouble();
    const double density = args.values.contains(QStringLiteral("density"))
                               ? args.values.value(QStringLiteral("density")).toDouble()
                               : CalibrationByWeight::WaterDensity;
    std::vector<double> masses;
    for (const QString &text : args.lists.value(QStringLiteral("mass")))
        masses.push_back(text.toDouble());
    const bool weighing = args.values.contains(QStringLiteral("balance"));
    const int doses = args.intValue(QStringLiteral("doses"), 1);
    // The input is checked before the port is opened: a wrong line sends nothing. With a
    // balance the masses are yet to come; the nominal volume stands in for them.
    const CalibrationByWeight::Result check = CalibrationByWeight::compute(
        nominal, weighing ? std::vector<double>(doses, nominal) : masses, density, 100.0);
    if (!check.ok()) {
        output.message(QStringLiteral("calibrate: %1").arg(check.error));
        return CliRunner::Usage;
    }
    int exit = CliRunner::Done;
    if (!pump.choose(&exit))
        return exit;
    Journal journal;
    const std::unique_ptr<HeadlessPump> headless = pump.polled(journal, &exit);
    if (!headless)
        return exit;
    PumpCore &core = headless->core();
    QElapsedTimer clock;
    clock.start();
    while (!core.linkState().connected() && clock.elapsed() < std::max(1000, args.timeoutMs)) {
        QEventLoop wait;
        QTimer::singleShot(50, &wait, &QEventLoop::quit);
        wait.exec();
    }
    const double oldPercent = core.linkState().connected() ? readPercent(core) : 0;
    if (oldPercent <= 0) {
        output.cause(QStringLiteral("the pump at address %1 on %2 did not give its calibration; "
                                    "nothing was sent")
                         .arg(pump.address())
                         .arg(pump.port()));
        return CliRunner::NoAnswer;
    }
    if (weighing) {
        const int code = weigh(*headless, nominal, doses, &masses);
        if (code != CliRunner::Done)
            return code;
    }
    CalibrationByWeight::Result result =
        CalibrationByWeight::compute(nominal, masses, density, oldPercent);
    // A balance that read nothing (the dose missed the vessel) leaves nothing to compute.
    if (!result.ok()) {
        output.cause(QStringLiteral("calibrate: %1; nothing was sent").arg(result.error));
        return CliRunner::Refused;
    }
    QStringList lines;
    for (std::size_t i = 0; i < masses.size(); ++i)
        lines << QStringLiteral("dose %1: %2 g -> %3 ml")
                     .arg(i + 1)
                     .arg(masses[i], 0, 'f', 4)
                     .arg(result.volumesMl[i], 0, 'f', 4);
    lines << QStringLiteral("mean %1 ml for %2 ml nominal (%3 %), spread %4 ml")
                 .arg(result.meanMl, 0, 'f', 4)
                 .arg(nominal, 0, 'f', 3)
                 .arg(result.deviationPercent, 0, 'f', 2)
                 .arg(result.spreadMl, 0, 'f', 4);
    bool sent = false;
    int code = CliRunner::Done;
    if (!result.inRange) {
        code = CliRunner::Refused;
    } else {
        if (confirmed(lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + result.verdict)) {
            sent = sendPercent(core, result.newPercent);
            if (!sent) {
                result.verdict = QStringLiteral("the pump did not take %1 %; its calibration "
                                                "stays at %2 %")
                                     .arg(result.newPercent, 0, 'f', 1)
                                     .arg(oldPercent, 0, 'f', 1);
                code = CliRunner::Refused;
            } else {
                result.verdict = QStringLiteral("sent: ") + result.verdict;
            }
        } else {
            result.verdict = QStringLiteral("not sent (no confirmation): ") + result.verdict;
        }
    }
    const QJsonObject entry = fields(nominal, masses, density, result, sent);
    journal.append(core.pumpId(), QLatin1String(JournalEntry::Kind::Calibration),
                   core.origin().frontEnd, core.origin().who, entry);
    journal.flush(3000);
    QJsonObject json = entry;
    json.insert(QStringLiteral("command"), QStringLiteral("calibrate"));
    lines << result.verdict;
    if (code == CliRunner::Refused)
        output.cause(lines.join(QLatin1Char('\n')), json);
    else
        output.result(json, lines.join(QLatin1Char('\n')));
    return code;
}
