#include "ui/DispenseRateEntry.h"

#include "GUI/OperationItemModelVersion.h"
#include "GUI/OperationItemRunMode.h"
#include "GUI/OperationItemVolumeTarget.h"
#include "pump/DisplayFormat.h"
#include "pump/DosingPlan.h"
#include "pump/EntryConversion.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/PumpItems.h"
#include "ui/EditedFields.h"
#include "ui/FrameEventHandler.h"
#include "ui/MouseEventLineEdit.h"
#include "ui/ShownRefusal.h"
#include "ui/StyleSheets.h"
#include "ui_mainForm.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>

#include <cmath>

namespace {

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

DispenseRateEntry::DispenseRateEntry(Ui::mainScreen &ui, EditedFields &edited,
                                     Pump::PumpItems &items, std::function<void()> sendTime,
                                     QObject *parent)
    : QObject(parent)
    , ui(ui)
    , edited(edited)
    , items(items)
    , sendTime(std::move(sendTime))
{
    // Built like the time fields beside it, so it looks and takes focus as they do.
    frame = new FrameEventHandler(ui.groupBoxDispenseTime);
    frame->setObjectName(QStringLiteral("frameDispenseRate"));
    frame->setStyleSheet(QString::fromLatin1(StyleSheets::frameUnfocused));
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(ui.frameEditTime->layout()->contentsMargins());
    rate = new MouseEventLineEdit(frame);
    rate->setObjectName(QStringLiteral("lineEditDispenseRate"));
    rate->setFont(ui.lineEditTimeSec->font());
    rate->setStyleSheet(ui.lineEditTimeSec->styleSheet());
    rate->setAlignment(ui.lineEditTimeSec->alignment());
    rate->setMinimumWidth(70);
    rate->setToolTip(tr("Dose at this rate: sets the dispense time for the volume"));
    auto *unit = new QLabel(QCoreApplication::translate("mainScreen", "ml/min"), frame);
    unit->setObjectName(QStringLiteral("labelDispenseRateUnit"));
    unit->setFont(ui.labelTimeTargetUnitSec->font());
    unit->setStyleSheet(ui.labelTimeTargetUnitSec->styleSheet());
    row->addWidget(rate);
    row->addWidget(unit);
    if (auto *line = qobject_cast<QBoxLayout *>(ui.groupBoxDispenseTime->layout()))
        line->insertWidget(line->indexOf(ui.frameEditTime) + 1, frame);
    const Pump::KeyTable::Key &key = Pump::KeyTable::key(QStringLiteral("flow-rate"));
    rate->minimum = key.minimum;
    rate->maximum = key.maximum;
    QWidget::setTabOrder(ui.lineEditTimeSec, rate);
    frame->hide();
    connect(rate, &QLineEdit::editingFinished, this, &DispenseRateEntry::typed);
}

QString DispenseRateEntry::rateText(int volume, int seconds)
{
    if (seconds <= 0)
        return QString();
    return Pump::DisplayFormat::setPoint(
        static_cast<int>(std::llround(static_cast<double>(volume) * 60.0 / seconds)));
}

void DispenseRateEntry::refresh()
{
    const GUI::OperationItem &mode = items.get<OperationItemRunMode>();
    const bool volumeMode = mode.known() && mode.value() == 1;
    if (frame->isHidden() == volumeMode)
        frame->setVisible(volumeMode);
    if (edited.editing(rate))
        return;
    // The time in the fields: the pump's, or one being typed; empty fields (not yet read) are
    // no time.
    const std::optional<int> time = Pump::EntryConversion::dispenseTime(
        ui.lineEditTimeHour->text(), ui.lineEditTimeMin->text(), ui.lineEditTimeSec->text());
    const OperationItemVolumeTarget &volume = items.get<OperationItemVolumeTarget>();
    const int hhmmss = time.value_or(0) / 100;
    const int seconds = hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
    edited.show(rate, volume.known() ? rateText(volume.value(), seconds) : QString());
}

void DispenseRateEntry::typed()
{
    if (!edited.take({rate}))
        return;
    const QString why = setTime(rate->text());
    if (!why.isEmpty())
        ui.labelUserAction->setText(why);
}

QString DispenseRateEntry::setTime(const QString &text)
{
    const OperationItemVolumeTarget &volume = items.get<OperationItemVolumeTarget>();
    if (!volume.known())
        return tr("The rate needs the volume, which the pump has not reported yet.");
    const QString pumpType =
        Pump::DisplayFormat::pumpType(items.get<OperationItemModelVersion>().text());
    const Pump::KeyTable::Setting flow = Pump::KeyTable::parse(
        Pump::ModelLimits::of(Pump::KeyTable::key(QStringLiteral("flow-rate")), pumpType), text);
    if (!flow.ok())
        return ShownRefusal::parsed(flow.error);
    const Pump::KeyTable::Setting time =
        Pump::DosingPlan::dispenseTime(volume.value(), flow.value, pumpType);
    if (!time.ok())
        return tr("%1 ml at %2 ml/min takes longer than the longest dispense time")
            .arg(Pump::KeyTable::thousandths(volume.value()), text.trimmed());
    // The time goes as if typed into its fields: the same command, and its fields show it.
    const int hhmmss = time.value / 100;
    ui.lineEditTimeHour->setText(twoDigits(hhmmss / 10000));
    ui.lineEditTimeMin->setText(twoDigits(hhmmss / 100 % 100));
    ui.lineEditTimeSec->setText(twoDigits(hhmmss % 100));
    if (sendTime)
        sendTime();
    return QString();
}
