#pragma once

#include "pump/CalibrationByWeight.h"

#include <QJsonObject>

class CliArguments;
class CliOutput;
class CliPump;
class HeadlessPump;
class Journal;
class PumpCore;

// calibrate: the masses of doses weighed on a balance (given with --mass, or dosed here and read
// from a balance on a serial port with --balance) and the fluid's
// density give the delivered volumes; the pump's calibration factor is read, the new one
// computed and, once confirmed (--yes, or y on a terminal), sent through the calibration-percent
// key and read back. Without a confirmation the proposal is printed and nothing is sent (exit
// 0). A factor outside the pump's limits is refused (exit 1) with what to check. Every
// calibration, sent or not, goes into the journal as a "calibration" entry.
class CalibrateCommand
{
public:
    // The balance's answer to a zero or a stable weight, at most.
    static constexpr int DefaultBalanceMs = 10000;

    CalibrateCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int exec();

    // The journal's fields for one calibration.
    static QJsonObject fields(double nominalMl, const std::vector<double> &massesG, double density,
                              const Pump::CalibrationByWeight::Result &result, bool sent);

private:
    // With --balance: each dose zeroed, run through the runner and weighed once stable.
    int weigh(HeadlessPump &headless, double nominal, int doses, std::vector<double> *masses) const;
    // The operator's yes: --yes, or y typed on a terminal after the proposal; false without
    // either.
    bool confirmed(const QString &proposal) const;
    // The calibration factor the pump holds now; 0 when it did not answer in time.
    double readPercent(PumpCore &core) const;
    // Sends the factor and waits for the pump's verdict; true when it took it.
    bool sendPercent(PumpCore &core, double percent) const;

    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
