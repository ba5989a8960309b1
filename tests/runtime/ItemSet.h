#pragma once

#include "GUI/OperationItemAddress.h"
#include "GUI/OperationItemAnalogIn.h"
#include "GUI/OperationItemAnalogRange.h"
#include "GUI/OperationItemAutostart.h"
#include "GUI/OperationItemCommCheck.h"
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

#include <QString>

#include <utility>
#include <vector>

// The 27 operation items as the window holds them: one of each class, reachable by class name.
struct ItemSet
{
    OperationItemRunMode runMode;
    OperationItemVolumeActual volumeActual;
    OperationItemTimeElapsed timeElapsed;
    OperationItemStatus status;
    OperationItemVolumeTarget volumeTarget;
    OperationItemFlowrate flowrate;
    OperationItemDispenseTime dispenseTime;
    OperationItemVolumeBreakTime volumeBreakTime;
    OperationItemVolumeNumber volumeNumber;
    OperationItemAnalogIn analogIn;
    OperationItemAnalogRange analogRange;
    OperationItemDigitalIn1 digitalIn1;
    OperationItemDigitalIn2 digitalIn2;
    OperationItemDigitalOut digitalOut;
    OperationItemLanguage language;
    OperationItemCustomCalibrationPercentage customCalibrationPercentage;
    OperationItemAutostart autostart;
    OperationItemPumpProfileCharacteristic pumpProfileCharacteristic;
    OperationItemContrast contrast;
    OperationItemCommCheck commCheck;
    OperationItemModelVersion modelVersion;
    OperationItemProtocolAnswer protocolAnswer;
    OperationItemAddress address;
    OperationItemFactoryMode factoryMode;
    OperationItemMaintenancePosition maintenancePosition;
    OperationItemFactoryPumpModel factoryPumpModel;
    OperationItemFactoryStrokeVolume factoryStrokeVolume;

    std::vector<std::pair<QString, GUI::OperationItem *>> named()
    {
        return {
            {"RunMode", &runMode},
            {"VolumeActual", &volumeActual},
            {"TimeElapsed", &timeElapsed},
            {"Status", &status},
            {"VolumeTarget", &volumeTarget},
            {"Flowrate", &flowrate},
            {"DispenseTime", &dispenseTime},
            {"VolumeBreakTime", &volumeBreakTime},
            {"VolumeNumber", &volumeNumber},
            {"AnalogIn", &analogIn},
            {"AnalogRange", &analogRange},
            {"DigitalIn1", &digitalIn1},
            {"DigitalIn2", &digitalIn2},
            {"DigitalOut", &digitalOut},
            {"Language", &language},
            {"CustomCalibrationPercentage", &customCalibrationPercentage},
            {"Autostart", &autostart},
            {"PumpProfileCharacteristic", &pumpProfileCharacteristic},
            {"Contrast", &contrast},
            {"CommCheck", &commCheck},
            {"ModelVersion", &modelVersion},
            {"ProtocolAnswer", &protocolAnswer},
            {"Address", &address},
            {"FactoryMode", &factoryMode},
            {"MaintenancePosition", &maintenancePosition},
            {"FactoryPumpModel", &factoryPumpModel},
            {"FactoryStrokeVolume", &factoryStrokeVolume},
        };
    }

    std::vector<GUI::OperationItem *> all()
    {
        std::vector<GUI::OperationItem *> items;
        for (const auto &entry : named())
            items.push_back(entry.second);
        return items;
    }

    GUI::OperationItem *byName(const QString &name)
    {
        for (const auto &entry : named()) {
            if (entry.first == name)
                return entry.second;
        }
        return nullptr;
    }

    // The class name of an item of this set, for messages.
    QString nameOf(const GUI::OperationItem *item)
    {
        for (const auto &entry : named()) {
            if (entry.second == item)
                return entry.first;
        }
        return QStringLiteral("?");
    }
};
