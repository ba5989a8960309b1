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

namespace {

template<class... Item>
std::vector<std::unique_ptr<OperationItem>> make()
{
    std::vector<std::unique_ptr<OperationItem>> made;
    (made.push_back(std::make_unique<Item>()), ...);
    return made;
}

} // namespace

PumpItems::PumpItems()
    : owned(make<OperationItemRunMode, OperationItemVolumeActual, OperationItemTimeElapsed,
                 OperationItemStatus, OperationItemVolumeTarget, OperationItemFlowrate,
                 OperationItemDispenseTime, OperationItemVolumeBreakTime, OperationItemVolumeNumber,
                 OperationItemAnalogIn, OperationItemAnalogRange, OperationItemDigitalIn1,
                 OperationItemDigitalIn2, OperationItemDigitalOut, OperationItemLanguage,
                 OperationItemCustomCalibrationPercentage, OperationItemAutostart,
                 OperationItemPumpProfileCharacteristic, OperationItemContrast,
                 OperationItemModelVersion, OperationItemProtocolAnswer, OperationItemAddress,
                 OperationItemFactoryMode, OperationItemMaintenancePosition,
                 OperationItemFactoryPumpModel, OperationItemFactoryStrokeVolume>())
{
    for (const std::unique_ptr<OperationItem> &item : owned)
        items.push_back(item.get());
}

PumpItems::~PumpItems() = default;

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
