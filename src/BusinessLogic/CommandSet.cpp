#include "BusinessLogic/CommandSet.h"

#include "BusinessLogic/AdvancedSettings/SetAutostart.h"
#include "BusinessLogic/Communicate/ExecuteCommCheck.h"
#include "BusinessLogic/Communicate/GetModelVersion.h"
#include "BusinessLogic/Communicate/GetProtocolAnswer.h"
#include "BusinessLogic/Communicate/GetPumpAddress.h"
#include "BusinessLogic/Communicate/SetCommAddress.h"
#include "BusinessLogic/Communicate/SetDiscreteCommand.h"
#include "BusinessLogic/Communicate/SetInvalidLRC.h"
#include "BusinessLogic/Communicate/SetProtocolAnswer.h"
#include "BusinessLogic/Communicate/SetPumpAddress.h"
#include "BusinessLogic/Communicate/SetUnusedLRC.h"
#include "BusinessLogic/DosingCommands/GetDispenseTime.h"
#include "BusinessLogic/DosingCommands/GetDispenseVolumeBreakTime.h"
#include "BusinessLogic/DosingCommands/GetDispenseVolumeNumber.h"
#include "BusinessLogic/DosingCommands/SetDispenseTime.h"
#include "BusinessLogic/DosingCommands/SetDispenseVolumeBreakTime.h"
#include "BusinessLogic/DosingCommands/SetDispenseVolumeNumber.h"
#include "BusinessLogic/FactoryDefaultsReset/GetFactoryMode.h"
#include "BusinessLogic/FactoryDefaultsReset/GetFactoryPumpStrokeVolume.h"
#include "BusinessLogic/FactoryDefaultsReset/GetMaintenancePos.h"
#include "BusinessLogic/FactoryDefaultsReset/GetPumpModel.h"
#include "BusinessLogic/FactoryDefaultsReset/SetFactoryDefaults.h"
#include "BusinessLogic/FactoryDefaultsReset/SetFactoryMeasuredCalVolume.h"
#include "BusinessLogic/FactoryDefaultsReset/SetFactoryMode.h"
#include "BusinessLogic/FactoryDefaultsReset/SetFactoryPumpStrokeVolume.h"
#include "BusinessLogic/FactoryDefaultsReset/SetMaintenancePos.h"
#include "BusinessLogic/FactoryDefaultsReset/SetPumpModel.h"
#include "BusinessLogic/GetActualVolume.h"
#include "BusinessLogic/GetAutostart.h"
#include "BusinessLogic/GetCommRxState.h"
#include "BusinessLogic/GetCustCalPercent.h"
#include "BusinessLogic/GetDisplayContrast.h"
#include "BusinessLogic/GetFlowRate.h"
#include "BusinessLogic/GetLanguage.h"
#include "BusinessLogic/GetPumpProfileCharactristic.h"
#include "BusinessLogic/GetPumpStatus.h"
#include "BusinessLogic/GetRunMode.h"
#include "BusinessLogic/GetTimeActual.h"
#include "BusinessLogic/GetVolume.h"
#include "BusinessLogic/IO/GetAnalogInput.h"
#include "BusinessLogic/IO/GetAnalogRange.h"
#include "BusinessLogic/IO/GetDigitalIn1.h"
#include "BusinessLogic/IO/GetDigitalIn2.h"
#include "BusinessLogic/IO/GetDigitalOut.h"
#include "BusinessLogic/IO/SetAnalogInput.h"
#include "BusinessLogic/IO/SetAnalogRange.h"
#include "BusinessLogic/IO/SetDigitalIn1.h"
#include "BusinessLogic/IO/SetDigitalIn2.h"
#include "BusinessLogic/IO/SetDigitalOut.h"
#include "BusinessLogic/Pause.h"
#include "BusinessLogic/Prime.h"
#include "BusinessLogic/SetCustCalPercent.h"
#include "BusinessLogic/SetCustCalVol.h"
#include "BusinessLogic/SetDispenseModeFlowrate.h"
#include "BusinessLogic/SetDispenseModeVolume.h"
#include "BusinessLogic/SetDisplayContrast.h"
#include "BusinessLogic/SetFlowRate.h"
#include "BusinessLogic/SetLanguage.h"
#include "BusinessLogic/SetPumpProfileCharacteristic.h"
#include "BusinessLogic/SetRunMode.h"
#include "BusinessLogic/SetVolume.h"
#include "BusinessLogic/Start.h"
#include "BusinessLogic/Stop.h"

namespace BusinessLogic {

CommandSet::CommandSet(Communication *communication)
{
    ordered = {
        new ::BusinessLogic::SetRunMode(communication),
        new ::BusinessLogic::GetRunMode(communication),
        new ::BusinessLogic::SetDispenseModeVolume(communication),
        new ::BusinessLogic::SetDispenseModeFlowrate(communication),
        new ::BusinessLogic::Start(communication),
        new ::BusinessLogic::Stop(communication),
        new ::BusinessLogic::Pause(communication),
        new ::BusinessLogic::Prime(communication),
        new ::BusinessLogic::SetFlowRate(communication),
        new ::BusinessLogic::GetFlowRate(communication),
        new ::BusinessLogic::SetVolume(communication),
        new ::BusinessLogic::GetVolume(communication),
        new ::BusinessLogic::DosingCommands::SetDispenseTime(communication),
        new ::BusinessLogic::DosingCommands::GetDispenseTime(communication),
        new ::BusinessLogic::DosingCommands::SetDispenseVolumeNumber(communication),
        new ::BusinessLogic::DosingCommands::GetDispenseVolumeNumber(communication),
        new ::BusinessLogic::DosingCommands::SetDispenseVolumeBreakTime(communication),
        new ::BusinessLogic::DosingCommands::GetDispenseVolumeBreakTime(communication),
        new ::GetPumpStatus(communication),
        new ::BusinessLogic::IO::SetAnalogInput(communication),
        new ::BusinessLogic::IO::SetAnalogRange(communication),
        new ::BusinessLogic::IO::SetDigitalIn1(communication),
        new ::BusinessLogic::IO::SetDigitalIn2(communication),
        new ::BusinessLogic::IO::SetDigitalOut(communication),
        new ::BusinessLogic::IO::GetAnalogInput(communication),
        new ::BusinessLogic::IO::GetAnalogRange(communication),
        new ::BusinessLogic::IO::GetDigitalIn1(communication),
        new ::BusinessLogic::IO::GetDigitalIn2(communication),
        new ::BusinessLogic::IO::GetDigitalOut(communication),
        new ::BusinessLogic::AdvancedSettings::SetAutostart(communication),
        new ::GetAutostart(communication),
        new ::SetPumpProfileCharacteristic(communication),
        new ::GetPumpProfileCharactristic(communication),
        new ::SetDisplayContrast(communication),
        new ::GetDisplayContrast(communication),
        new ::SetLanguage(communication),
        new ::GetLanguage(communication),
        new ::SetCustCalVol(communication),
        new ::SetCustCalPercent(communication),
        new ::GetCustCalPercent(communication),
        new ::BusinessLogic::Communicate::GetModelVersion(communication),
        new ::BusinessLogic::Communicate::ExecuteCommCheck(communication),
        new ::BusinessLogic::Communicate::SetProtocolAnswer(communication),
        new ::BusinessLogic::Communicate::GetProtocolAnswer(communication),
        new ::BusinessLogic::Communicate::SetPumpAddress(communication),
        new ::BusinessLogic::Communicate::GetPumpAddress(communication),
        new ::BusinessLogic::Communicate::SetCommAddress(communication),
        new ::BusinessLogic::Communicate::SetInvalidLRC(communication),
        new ::BusinessLogic::Communicate::SetDiscreteCommand(communication),
        new ::BusinessLogic::Communicate::SetUnusedLRC(communication),
        new ::BusinessLogic::GetCommRxState(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetFactoryDefaults(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetFactoryMode(communication),
        new ::BusinessLogic::FactoryDefaultsReset::GetFactoryMode(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetFactoryMeasuredCalVolume(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetFactoryPumpStrokeVolume(communication),
        new ::BusinessLogic::FactoryDefaultsReset::GetFactoryPumpStrokeVolume(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetMaintenancePos(communication),
        new ::BusinessLogic::FactoryDefaultsReset::GetMaintenancePos(communication),
        new ::BusinessLogic::FactoryDefaultsReset::SetPumpModel(communication),
        new ::BusinessLogic::FactoryDefaultsReset::GetPumpModel(communication),
        new ::BusinessLogic::GetActualVolume(communication),
        new ::BusinessLogic::GetTimeActual(communication),
    };
}

CommandSet::~CommandSet()
{
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
        delete *it;
}

std::vector<Command *> CommandSet::table() const
{
    std::vector<Command *> entries(CommandTableSize, nullptr);
    for (Command *command : ordered)
        entries[static_cast<std::size_t>(toInt(command->spezifier()))] = command;
    return entries;
}

} // namespace BusinessLogic
