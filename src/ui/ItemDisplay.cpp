#include "ui/ItemDisplay.h"

#include "ui/ShownNumber.h"
#include "ui/WidgetWrite.h"

#include "pump/KeyTable.h"

#include "GUI/OperationItemAddress.h"
#include "GUI/OperationItemAnalogIn.h"
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
#include "GUI/OperationItemModelVersion.h"
#include "GUI/OperationItemProtocolAnswer.h"
#include "GUI/OperationItemPumpProfileCharacteristic.h"
#include "GUI/OperationItemRunMode.h"
#include "GUI/OperationItemVolumeActual.h"
#include "GUI/OperationItemVolumeBreakTime.h"
#include "GUI/OperationItemVolumeNumber.h"
#include "GUI/OperationItemVolumeTarget.h"
#include "pump/DisplayFormat.h"
#include "pump/ModelLimits.h"
#include "pump/PumpItems.h"
#include "ui/EditedFields.h"
#include "ui/StatusDisplay.h"
#include "ui_mainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QSignalBlocker>

namespace {

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

template<class Item>
Item &ItemDisplay::item() const
{
    return items.get<Item>();
}

ItemDisplay::ItemDisplay(const Parts &parts)
    : ui(parts.ui)
    , edited(parts.edited)
    , items(parts.items)
    , runMode(parts.runMode)
    , digitalIn1Exclusive(parts.digitalIn1Exclusive)
    , digitalIn2Exclusive(parts.digitalIn2Exclusive)
{
    bindItems();
}

void ItemDisplay::update()
{
    // Set-point in the unit of the run mode. A field is written unless the operator is editing
    // it, so a field holding the focus without an edit still follows the pump; a value the pump
    // has not reported yet shows empty, never the item's placeholder.
    if (!edited.editing(ui.lineEditVolume)) {
        const GUI::OperationItem &setPoint =
            runMode == 1
                ? static_cast<const GUI::OperationItem &>(item<OperationItemVolumeTarget>())
                : item<OperationItemFlowrate>();
        const QString text =
            setPoint.known()
                ? ShownNumber::localized(Pump::DisplayFormat::setPoint(setPoint.value()))
                : QString();
        edited.show(ui.lineEditVolume, text);
        if (!edited.editing(ui.lineEditCalVolume))
            edited.show(ui.lineEditCalVolume, text);
    }

    // Volume delivered.
    const OperationItemVolumeActual &actual = item<OperationItemVolumeActual>();
    WidgetWrite::setText(
        ui.labelVolumeActual,
        actual.known() ? ShownNumber::localized(Pump::DisplayFormat::actualVolume(actual.value()))
                       : QString());
    StatusDisplay::dimWhenStale(ui.labelVolumeActual, actual.current());

    // Run mode: unit text, entry limits, the flag that decides what a set-point sends.
    if (!ui.buttonMode->hasFocus()) {
        const int mode = item<OperationItemRunMode>().value();
        if (mode >= 0 && mode <= 2) {
            const bool volume = mode == 1;
            const QString unit =
                volume ? QStringLiteral("     ml     ") : QStringLiteral("   ml/min   ");
            if (ui.buttonMode->text() != unit)
                ui.buttonMode->setText(unit);
            const Pump::KeyTable::Key key = Pump::ModelLimits::of(
                Pump::KeyTable::key(volume ? QStringLiteral("volume")
                                           : QStringLiteral("flow-rate")),
                Pump::DisplayFormat::pumpType(item<OperationItemModelVersion>().text()));
            ui.lineEditVolume->minimum = key.minimum;
            ui.lineEditVolume->maximum = key.maximum;
            // Mode 2 dispenses at a flow rate for the dispense time: its set-point is a rate.
            runMode = static_cast<signed char>(mode);
        }
        if (!edited.editing(ui.lineEditFactoryCalVolume))
            edited.show(ui.lineEditFactoryCalVolume, ui.lineEditVolume->text());
    }

    // Dispense time.
    if (!edited.editing({ui.lineEditTimeHour, ui.lineEditTimeMin, ui.lineEditTimeSec})) {
        const OperationItemDispenseTime &time = item<OperationItemDispenseTime>();
        const QString t = time.text();
        const std::pair<QLineEdit *, int> parts[] = {
            {ui.lineEditTimeHour, 0}, {ui.lineEditTimeMin, 2}, {ui.lineEditTimeSec, 4}};
        for (const auto &[field, at] : parts) {
            // Written whole: the fields' normalisation would make 00 of an empty field.
            const QSignalBlocker quiet(field);
            WidgetWrite::setText(field, time.known() ? twoDigits(t.mid(at, 2).toInt()) : QString());
        }
        edited.shown({ui.lineEditTimeHour, ui.lineEditTimeMin, ui.lineEditTimeSec});
    }

    // Break time.
    if (!edited.editing({ui.lineEditBreakTimeMin, ui.lineEditBreakTimeSec})) {
        const OperationItemVolumeBreakTime &breakTime = item<OperationItemVolumeBreakTime>();
        const int t = breakTime.value();
        edited.show(ui.lineEditBreakTimeMin,
                    breakTime.known() ? QString::number(t / 60) : QString());
        edited.show(ui.lineEditBreakTimeSec,
                    breakTime.known() ? QString::number(t - 60 * (t / 60)) : QString());
    }

    // Cycles, settings, inputs and outputs, communication and factory values.
    applyBindings();

    // Pump type and firmware.
    const QString model = item<OperationItemModelVersion>().text();
    if (!modelShown || model != shownModel) {
        modelShown = true;
        shownModel = model;
        WidgetWrite::setText(ui.labelVersionFW, Pump::DisplayFormat::firmware(model));
        // "UNKNOWN" until a pump answers, in the form's words; a model's name stays as it is.
        const QString type = QCoreApplication::translate(
            "mainScreen", Pump::DisplayFormat::pumpType(model).toUtf8().constData());
        WidgetWrite::setText(ui.labelPumpModel, type);
        WidgetWrite::setText(ui.labelVersionHW, type);
    }
}

void ItemDisplay::bindItems()
{
    const auto same = [](int value) -> std::optional<int> {
        return value;
    };
    const auto one = [](int value) -> std::optional<int> {
        return value == 1 ? 1 : 0;
    };
    // Functions 1 and 6 of an input hold it alone: the other input may not take them too.
    const auto exclusive = [](bool &flag, int (*index)(int)) {
        return [&flag, index](int value) -> std::optional<int> {
            if (value == 1 || value == 6)
                flag = true;
            return index(value);
        };
    };
    bindings = {
        {ui.lineEditCycles, &item<OperationItemVolumeNumber>(), {}, &Pump::DisplayFormat::cycles},
        {ui.checkboAutostart, &item<OperationItemAutostart>(), one},
        {ui.comboAnalIn, &item<OperationItemAnalogIn>(), &Pump::DisplayFormat::analogInputIndex},
        {ui.comboDigIn1, &item<OperationItemDigitalIn1>(),
         exclusive(digitalIn1Exclusive, &Pump::DisplayFormat::digitalIn1Index)},
        {ui.comboDigIn2, &item<OperationItemDigitalIn2>(),
         exclusive(digitalIn2Exclusive, &Pump::DisplayFormat::digitalIn2Index)},
        // A value outside the list leaves the selection as it is.
        {ui.comboDigOut, &item<OperationItemDigitalOut>(),
         [](int value) -> std::optional<int> {
             if (value >= 0 && value < Pump::KeyTable::entryCount(QStringLiteral("digital-out")))
                 return value;
             return std::nullopt;
         }},
        {ui.comboLanguage, &item<OperationItemLanguage>(), same},
        {ui.comboCalPercent, &item<OperationItemCustomCalibrationPercentage>(),
         &Pump::DisplayFormat::calibrationIndex},
        {ui.comboTypeFluid, &item<OperationItemPumpProfileCharacteristic>(), same},
        {ui.comboContrast, &item<OperationItemContrast>(), same},
        {ui.checkboProtAnswer, &item<OperationItemProtocolAnswer>(), one},
        {ui.comboPumpAddress, &item<OperationItemAddress>(), same},
        {ui.comboPumpModel, &item<OperationItemFactoryPumpModel>(), same},
        {ui.checkboFactoryMode, &item<OperationItemFactoryMode>(), one},
        {ui.lineEditFactoryPumpStrokeVolume,
         &item<OperationItemFactoryStrokeVolume>(),
         {},
         &Pump::DisplayFormat::strokeVolume},
    };
}

void ItemDisplay::applyBindings()
{
    // A widget the operator is using keeps the operator's value.
    for (const Binding &b : bindings) {
        const int value = b.item->value();
        if (b.text) {
            auto *field = static_cast<QLineEdit *>(b.widget);
            if (!edited.editing(field))
                edited.show(field,
                            b.item->known() ? ShownNumber::localized(b.text(value)) : QString());
            continue;
        }
        if (b.widget->hasFocus())
            continue;
        const std::optional<int> index = b.index(value);
        if (!index)
            continue;
        if (auto *combo = qobject_cast<QComboBox *>(b.widget))
            WidgetWrite::setIndex(combo, *index);
        else if (auto *box = qobject_cast<QCheckBox *>(b.widget))
            WidgetWrite::setChecked(box, *index != 0);
    }
}
