#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "pump/KeyTable.h"

#include <QString>

#include <optional>
#include <vector>

namespace Pump {

// The steps of a volume dose and of a flow run, checked by the key table: the mode, the values
// and the dispense time, then the start. The command-line tool's dispense and run and the
// bridge's JSON commands take them from here, so both check and set the pump up alike.
class DosingPlan
{
public:
    using Id = BusinessLogic::CommandSpezifier;

    struct Step
    {
        Id command = Id::Base;
        int value = 0;
        QString what; // for messages: "the flow rate"
    };

    std::vector<Step> steps; // the last one is the start
    QString error;           // why nothing may go out; empty when the steps may
    double targetVolume = 0; // ml, for a dose
    int targetSeconds = 0;   // for a run with a time
    bool volumeDose = false; // a dose of targetVolume, else a run
    double rateMlMin = 0;    // as asked; 0 for a dose at full flow
    // A dose the pump gives at full flow: no rate, or one at which the volume takes under half a
    // second, which rounds to no dispense time.
    bool fullFlow = false;

    bool ok() const { return error.isEmpty(); }

    // volume in ml; rate in ml/min, nothing for full flow. pumpType: the connected pump's, whose
    // limits hold; empty for the widest.
    static DosingPlan dose(const QString &volume, const std::optional<QString> &rate,
                           const QString &pumpType = QString());
    // rate in ml/min; time a duration ("90s", "5m"), nothing for a run until stopped.
    static DosingPlan run(const QString &rate, const std::optional<QString> &time,
                          const QString &pumpType = QString());
    // The dispense time over which the pump spreads a dose of volume at rate (both in
    // thousandths, as the pump takes them; nothing for full flow), checked against the dispense
    // time's limits: the whole seconds the volume takes, to the nearest, under half a second being
    // full flow (0). A dose and the window's rate entry both set the time by this one rule.
    static KeyTable::Setting dispenseTime(int volume, std::optional<int> rate,
                                          const QString &pumpType = QString());
};

} // namespace Pump
