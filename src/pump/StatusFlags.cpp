#include "pump/StatusFlags.h"

#include <QCoreApplication>

namespace Pump {

const std::array<StatusFlags::Flag, StatusFlags::Count> &StatusFlags::flags()
{
    using K = Kind;
    // The texts are the flags' names in the samples and outputs; the window translates them
    // where it shows them.
    // Error group 6: bit 0 is the overpressure, bit 7 the encoder; bits 1 and 2 name nothing.
    static const std::array<Flag, Count> table = {{
        {K::Status, 1, 0, true, QT_TRANSLATE_NOOP("mainScreen", "Motor in Motion"),
         "labelMotorMotionIcon", "labelMotorMotionText"},
        {K::Status, 1, 1, true, QT_TRANSLATE_NOOP("mainScreen", "Pump error"), "labelPumpFaultIcon",
         "labelPumpFaultText"},
        {K::Status, 1, 2, false, QT_TRANSLATE_NOOP("mainScreen", "Display ON"),
         "labelDisplayOnIcon", "labelDisplayOnText"},
        {K::Status, 2, 0, true, QT_TRANSLATE_NOOP("mainScreen", "Motor adjusted"),
         "labelMotorAdjustedIcon", "labelMotorAdjustedText"},
        {K::Status, 2, 1, true, QT_TRANSLATE_NOOP("mainScreen", "Input 1 low/active"),
         "labelInput1ActiveIcon", "labelInput1ActiveText"},
        {K::Status, 2, 2, true, QT_TRANSLATE_NOOP("mainScreen", "Input 2 low/active"),
         "labelInput2ActiveIcon", "labelInput2ActiveText"},
        {K::Status, 2, 3, true, QT_TRANSLATE_NOOP("mainScreen", "Motor at dead center"),
         "labelMotorLowerDCIcon", "labelMotorLowerDCText"},
        {K::Status, 3, 0, true, QT_TRANSLATE_NOOP("mainScreen", "Run mode active"),
         "labelRunModeActiveIcon", "labelRunModeActiveText"},
        {K::Status, 4, 0, true, QT_TRANSLATE_NOOP("mainScreen", "Dispense mode active"),
         "labelDispenseModeActiveIcon", "labelDispenseModeActiveText"},
        {K::Status, 4, 3, false, QT_TRANSLATE_NOOP("mainScreen", "Master stop active"),
         "labelMasterStopActiveIcon", "labelMasterStopActiveText"},
        {K::Error, 6, 0, true, QT_TRANSLATE_NOOP("mainScreen", "Overpressure"),
         "labelErrorOverpressureIcon", "labelErrorOverpressureText"},
        {K::Error, 6, 3, true, QT_TRANSLATE_NOOP("mainScreen", "Signal 4-20mA too low"),
         "labelError4_20mATooLowIcon", "labelError4_20mATooLowText"},
        {K::Error, 6, 4, true, QT_TRANSLATE_NOOP("mainScreen", "Power supply failure"),
         "labelErrorPowerSupplyFailureIcon", "labelErrorPowerSupplyFailureText"},
        {K::Error, 6, 5, true, QT_TRANSLATE_NOOP("mainScreen", "Motor not adjusted"),
         "labelErrorMotorNotAdjIcon", "labelErrorMotorNotAdjText"},
        {K::Error, 6, 6, true, QT_TRANSLATE_NOOP("mainScreen", "Maximum temperature exceeded"),
         "labelErrorMaxTempExceededIcon", "labelErrorMaxTempExceededText"},
        {K::Error, 6, 7, true, QT_TRANSLATE_NOOP("mainScreen", "No encoder signal"),
         "labelErrorNoEncoderSignalIcon", "labelErrorNoEncoderSignalText"},
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
