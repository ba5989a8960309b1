#include "PolledItems.h"

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

PolledItems::PolledItems()
{
    owned.push_back(std::make_unique<OperationItemRunMode>());
    owned.push_back(std::make_unique<OperationItemVolumeActual>());
    owned.push_back(std::make_unique<OperationItemTimeElapsed>());
    owned.push_back(std::make_unique<OperationItemStatus>());
    owned.push_back(std::make_unique<OperationItemVolumeTarget>());
    owned.push_back(std::make_unique<OperationItemFlowrate>());
    owned.push_back(std::make_unique<OperationItemDispenseTime>());
    owned.push_back(std::make_unique<OperationItemVolumeBreakTime>());
    owned.push_back(std::make_unique<OperationItemVolumeNumber>());
    owned.push_back(std::make_unique<OperationItemAnalogIn>());
    owned.push_back(std::make_unique<OperationItemAnalogRange>());
    owned.push_back(std::make_unique<OperationItemDigitalIn1>());
    owned.push_back(std::make_unique<OperationItemDigitalIn2>());
    owned.push_back(std::make_unique<OperationItemDigitalOut>());
    owned.push_back(std::make_unique<OperationItemLanguage>());
    owned.push_back(std::make_unique<OperationItemCustomCalibrationPercentage>());
    owned.push_back(std::make_unique<OperationItemAutostart>());
    owned.push_back(std::make_unique<OperationItemPumpProfileCharacteristic>());
    owned.push_back(std::make_unique<OperationItemContrast>());
    owned.push_back(std::make_unique<OperationItemModelVersion>());
    owned.push_back(std::make_unique<OperationItemProtocolAnswer>());
    owned.push_back(std::make_unique<OperationItemAddress>());
    owned.push_back(std::make_unique<OperationItemFactoryMode>());
    owned.push_back(std::make_unique<OperationItemMaintenancePosition>());
    owned.push_back(std::make_unique<OperationItemFactoryPumpModel>());
    owned.push_back(std::make_unique<OperationItemFactoryStrokeVolume>());
}

std::vector<GUI::OperationItem *> PolledItems::all() const
{
    std::vector<GUI::OperationItem *> items;
    for (const auto &item : owned)
        items.push_back(item.get());
    return items;
}
