#pragma once

#include "journal/JournalTotals.h"

#include <QString>

class CliArguments;
class CliOutput;

// totals: what each pump did over its life and since its last service, from the journal, with
// service_due against the thresholds given. service done: records a service of one pump in the
// journal. Neither needs a port.
class TotalsCommand
{
public:
    TotalsCommand(const CliArguments &arguments, const CliOutput &output);

    int totals();
    // pumpId: the pump as the journal names it (--pump, else the chosen port and address).
    int serviceDone(const QString &pumpId);

    // --service-volume-ml and --service-hours, each 0 when not given.
    static JournalTotals::Thresholds thresholds(const CliArguments &arguments);

private:
    QString path() const;

    const CliArguments &args;
    const CliOutput &output;
};
