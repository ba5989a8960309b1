#pragma once

#include <QMetaType>

namespace BusinessLogic {

// Command numbers: index of the command table and key between an answer and its display item.
enum class CommandSpezifier : int {
    SetRunMode = 0,
    GetRunMode = 1,
    GetActualVolume = 2,
    GetTimeActual = 3,
    Start = 4,
    Stop = 5,
    Prime = 6,
    Pause = 7,
    GetPumpStatus = 8,
    GetVolume = 9,
    SetVolume = 10,
    SetFlowRate = 11,
    GetFlowRate = 12,
    SetDispenseTime = 13,
    GetDispenseTime = 14,
    SetDispenseModeVolume = 15,
    SetDispenseModeFlowrate = 16,
    SetDispenseVolumeBreakTime = 17,
    GetDispenseVolumeBreakTime = 18,
    SetDispenseVolumeNumber = 19,
    GetDispenseVolumeNumber = 20,
    SetAnalogInput = 21,
    GetAnalogInput = 22,
    SetAnalogRange = 23,
    GetAnalogRange = 24,
    SetDigitalIn1 = 25,
    GetDigitalIn1 = 26,
    SetDigitalIn2 = 27,
    GetDigitalIn2 = 28,
    SetDigitalOut = 29,
    GetDigitalOut = 30,
    SetLanguage = 31,
    GetLanguage = 32,
    SetCustCalVol = 33,
    SetCustCalPercent = 34,
    GetCustCalPercent = 35,
    SetAutostart = 36,
    GetAutostart = 37,
    SetPumpProfileCharacteristic = 38,
    GetPumpProfileCharactristic = 39,
    SetDisplayContrast = 40,
    GetDisplayContrast = 41,
    GetCommRxState = 42,
    ExecuteCommCheck = 43,
    Unused44 = 44,
    GetModelVersion = 45,
    SetProtocolAnswer = 46,
    GetProtocolAnswer = 47,
    SetPumpAddress = 48,
    GetPumpAddress = 49,
    SetCommAddress = 50,
    SetInvalidLRC = 51,
    SetUnusedLRC = 52,
    SetDiscreteCommand = 53,
    SetFactoryDefaults = 54,
    SetFactoryMode = 55,
    GetFactoryMode = 56,
    SetFactoryMeasuredCalVolume = 57,
    SetMaintenancePos = 58,
    GetMaintenancePos = 59,
    SetPumpModel = 60,
    GetPumpModel = 61,
    SetFactoryPumpStrokeVolume = 62,
    GetFactoryPumpStrokeVolume = 63,
    Unused64 = 64,
    Base = 65,
};

// Entries of the command table: ids 0 to 64 (44 and 64 stay empty).
constexpr int CommandTableSize = 65;

constexpr int toInt(CommandSpezifier id)
{
    return static_cast<int>(id);
}

} // namespace BusinessLogic

Q_DECLARE_METATYPE(BusinessLogic::CommandSpezifier)
