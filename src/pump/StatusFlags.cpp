#include "pump/StatusFlags.h"

namespace Pump {

const std::array<StatusFlags::Flag, StatusFlags::Count> &StatusFlags::flags()
{
    using K = Kind;
    // Error group 6: bit 0 is the overpressure, bit 7 the encoder; bits 1 and 2 name nothing.
    static const std::array<Flag, Count> table = {{
        {K::Status, 1, 0, true, "Motor in Motion", "labelMotorMotionIcon", "labelMotorMotionText"},
        {K::Status, 1, 1, true, "Pump error", "labelPumpFaultIcon", "labelPumpFaultText"},
        {K::Status, 1, 2, false, "Display ON", "labelDisplayOnIcon", "labelDisplayOnText"},
        {K::Status, 2, 0, true, "Motor adjusted", "labelMotorAdjustedIcon",
         "labelMotorAdjustedText"},
        {K::Status, 2, 1, true, "Input 1 low/active", "labelInput1ActiveIcon",
         "labelInput1ActiveText"},
        {K::Status, 2, 2, true, "Input 2 low/active", "labelInput2ActiveIcon",
         "labelInput2ActiveText"},
        {K::Status, 2, 3, true, "Motor at dead center", "labelMotorLowerDCIcon",
         "labelMotorLowerDCText"},
        {K::Status, 3, 0, true, "Run mode active", "labelRunModeActiveIcon",
         "labelRunModeActiveText"},
        {K::Status, 4, 0, true, "Dispense mode active", "labelDispenseModeActiveIcon",
         "labelDispenseModeActiveText"},
        {K::Status, 4, 3, false, "Master stop active", "labelMasterStopActiveIcon",
         "labelMasterStopActiveText"},
        {K::Error, 6, 0, true, "Overpressure", "labelErrorOverpressureIcon",
         "labelErrorOverpressureText"},
        {K::Error, 6, 3, true, "Signal 4-20mA too low", "labelError4_20mATooLowIcon",
         "labelError4_20mATooLowText"},
        {K::Error, 6, 4, true, "Power supply failure", "labelErrorPowerSupplyFailureIcon",
         "labelErrorPowerSupplyFailureText"},
        {K::Error, 6, 5, true, "Motor not adjusted", "labelErrorMotorNotAdjIcon",
         "labelErrorMotorNotAdjText"},
        {K::Error, 6, 6, true, "Maximum temperature exceeded", "labelErrorMaxTempExceededIcon",
         "labelErrorMaxTempExceededText"},
        {K::Error, 6, 7, true, "No encoder signal", "labelErrorNoEncoderSignalIcon",
         "labelErrorNoEncoderSignalText"},
    }};
    return table;
}

bool StatusFlags::alarmLit(const std::optional<QStringList> &litStatus)
{
    if (!litStatus)
        return false;
    for (const Flag &flag : flags()) {
        if (flag.kind == Kind::Status && alarm(flag) &&
            litStatus->contains(QLatin1String(flag.text)))
            return true;
    }
    return false;
}

} // namespace Pump
