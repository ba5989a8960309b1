#include "pump/PumpItems.h"

#include "GUI/OperationItemAddress.h"
#include "GUI/OperationItemAnalogIn.h"
#include "GUI/OperationItemAnalogRange.h"
#include "GUI/OperationItemAutostart.h"
#include "GUI/OperationItemContrast.h"
#include "GUI/OperationItemCustomCalibrationPercentage.h"
#include "GUI/OperationItemDigitalIn1.h"
#include "GUI/OperationItemDigitalIn2.h"
#include "GUI/OperationItemDigitalOut.h"
#include "GUI/OperationItemDispenseTime.h"
#include "GUI/OperationItemFactoryMode.h"
#include "GUI/OperationItemFactoryPumpModel.h"
#include "GUI/OperationItemFactoryStrokeVolume.h"
#include "GUI/OperationItemFlowrate.h"
#include "GUI/OperationItemLanguage.h"
#include "GUI/OperationItemMaintenancePosition.h"
#include "GUI/OperationItemModelVersion.h"
#include "GUI/OperationItemProtocolAnswer.h"
#include "GUI/OperationItemPumpProfileCharacteristic.h"
#include "GUI/OperationItemRunMode.h"
#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "GUI/OperationItemVolumeActual.h"
#include "GUI/OperationItemVolumeBreakTime.h"
#include "GUI/OperationItemVolumeNumber.h"
#include "GUI/OperationItemVolumeTarget.h"
#include "pump/AttachTable.h"

namespace Pump {

PumpItems::PumpItems()
    : items{new OperationItemRunMode,          new OperationItemVolumeActual,
            new OperationItemTimeElapsed,      new OperationItemStatus,
            new OperationItemVolumeTarget,     new OperationItemFlowrate,
            new OperationItemDispenseTime,     new OperationItemVolumeBreakTime,
            new OperationItemVolumeNumber,     new OperationItemAnalogIn,
            new OperationItemAnalogRange,      new OperationItemDigitalIn1,
            new OperationItemDigitalIn2,       new OperationItemDigitalOut,
            new OperationItemLanguage,         new OperationItemCustomCalibrationPercentage,
            new OperationItemAutostart,        new OperationItemPumpProfileCharacteristic,
            new OperationItemContrast,         new OperationItemModelVersion,
            new OperationItemProtocolAnswer,   new OperationItemAddress,
            new OperationItemFactoryMode,      new OperationItemMaintenancePosition,
            new OperationItemFactoryPumpModel, new OperationItemFactoryStrokeVolume}
{}

PumpItems::~PumpItems()
{
    for (OperationItem *item : items)
        delete item;
}

void PumpItems::markAllStale()
{
    for (OperationItem *item : items) {
        for (int group = 0; group < OperationItemStatus::GroupCount; ++group)
            item->markStale(group);
    }
}

OperationItem *PumpItems::find(BusinessLogic::CommandSpezifier query) const
{
    return AttachTable::find(items, query);
}

} // namespace Pump
