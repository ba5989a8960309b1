#include "ui/Confirmation.h"

#include "GUI/OperationItemAddress.h"
#include "GUI/OperationItemFactoryMode.h"
#include "GUI/OperationItemFactoryPumpModel.h"
#include "GUI/OperationItemFactoryStrokeVolume.h"
#include "pump/DisplayFormat.h"
#include "pump/PumpItems.h"
#include "pump/SendGate.h"
#include "pumpcore/PumpCore.h"
#include "recorder/CsvRecorder.h"
#include "ui/ShownNumber.h"
#include "ui/WidgetWrite.h"
#include "ui_mainForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QMessageBox>

namespace {

QString millilitres(int microlitres)
{
    return ShownNumber::number(microlitres / 1000.0, 3);
}

} // namespace

Confirmation::Confirmation(const Parts &p)
    : QObject(p.window)
    , parts(p)
{
    setObjectName(QStringLiteral("confirmation"));
    if (parts.window != nullptr)
        parts.window->installEventFilter(this);
}

void Confirmation::answerWith(Asker a)
{
    asker = std::move(a);
}

bool Confirmation::ask(const Question &question)
{
    if (asker)
        return asker(question);
    return askWithMessageBox(parts.window, question);
}

bool Confirmation::askWithMessageBox(QWidget *parent, const Question &question)
{
    QMessageBox box(QMessageBox::Question, question.title, question.text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(question.consequence);
    // Widgets added under the window's sheets name their font, or they fall back to the default.
    box.setFont(QFont(QStringLiteral("Arial"), 12));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString Confirmation::runInProgress() const
{
    if (parts.pump == nullptr)
        return QString();
    switch (parts.pump->sampler().take().runState) {
    case ProcessSample::RunState::Running:
        return QCoreApplication::translate("mainScreen", "running");
    case ProcessSample::RunState::Priming:
        return QCoreApplication::translate("mainScreen", "priming");
    case ProcessSample::RunState::Paused:
        return QCoreApplication::translate("mainScreen", "paused in the middle of a run");
    case ProcessSample::RunState::Stopped:
    case ProcessSample::RunState::Unknown:
        break;
    }
    return QString();
}

// ---------------------------------------------------------------------------------------------
// The questions: every text the operator reads before Yes or No is here.

bool Confirmation::defaultValues()
{
    const int address = parts.ui->comboCommAddress->currentIndex();
    return ask(
        {Topic::DefaultValues, QCoreApplication::translate("mainScreen", "Default values"),
         QCoreApplication::translate("mainScreen", "Reset every pump setting to its start value?"),
         QCoreApplication::translate(
             "mainScreen", "Run mode, set-points, dispense time, cycles and pause, inputs and "
                           "outputs, fluid type, language, contrast, calibration, auto start, the "
                           "pump model and the pump's address all go back to the values the pump "
                           "starts with. If the pump then answers at another address than %1, "
                           "find it again with Search Pump.")
             .arg(address)});
}

bool Confirmation::maintenance()
{
    const QString state = runInProgress();
    if (state.isEmpty())
        return true; // a standing pump loses nothing
    return ask(
        {Topic::Maintenance, QCoreApplication::translate("mainScreen", "Maintenance"),
         QCoreApplication::translate("mainScreen",
                                     "The pump is %1. Move it to its maintenance position?")
             .arg(state),
         QCoreApplication::translate(
             "mainScreen", "The motor stops and the run ends; it does not continue afterwards.")});
}

bool Confirmation::pumpAddress(int address)
{
    QComboBox *list = parts.ui->comboPumpAddress;
    const auto &item = parts.pump->items().get<OperationItemAddress>();
    const std::optional<int> reported = Pump::SendGate::reported(item);
    if (reported && *reported == address)
        return true; // the pump has it already: nothing changes
    const int from = parts.ui->comboCommAddress->currentIndex();
    const bool yes =
        ask({Topic::PumpAddress, QCoreApplication::translate("mainScreen", "Set pump address"),
             QCoreApplication::translate("mainScreen",
                                         "Give the pump at address %1 the new address %2?")
                 .arg(from)
                 .arg(address),
             QCoreApplication::translate(
                 "mainScreen",
                 "From then on the pump answers only at address %1. Once it has taken the "
                 "address, DOSETTA talks to it there and keeps that address for its next "
                 "start.")
                 .arg(address)});
    if (!yes && reported && *reported >= 0 && *reported < list->count())
        WidgetWrite::setIndex(list, *reported);
    return yes;
}

bool Confirmation::factoryMode(bool on)
{
    const auto &item = parts.pump->items().get<OperationItemFactoryMode>();
    if (!Pump::SendGate::differs(on ? 1 : 0, Pump::SendGate::reported(item)))
        return true; // nothing goes
    const bool yes =
        ask({Topic::FactoryMode, QCoreApplication::translate("mainScreen", "Factory Mode"),
             on ? QCoreApplication::translate("mainScreen", "Switch the pump's factory mode on?")
                : QCoreApplication::translate("mainScreen", "Switch the pump's factory mode off?"),
             on ? QCoreApplication::translate(
                      "mainScreen", "The pump goes from normal operation into factory mode.")
                : QCoreApplication::translate(
                      "mainScreen", "The pump leaves factory mode for normal operation.")});
    if (!yes)
        WidgetWrite::setChecked(parts.ui->checkboFactoryMode, !on);
    return yes;
}

bool Confirmation::pumpModel(int index)
{
    QComboBox *list = parts.ui->comboPumpModel;
    const auto &item = parts.pump->items().get<OperationItemFactoryPumpModel>();
    const std::optional<int> reported = Pump::SendGate::reported(item);
    if (!Pump::SendGate::differs(index, reported))
        return true; // nothing goes
    const bool known = reported && *reported >= 0 && *reported < list->count();
    const bool yes = ask(
        {Topic::PumpModel, QCoreApplication::translate("mainScreen", "Pump type"),
         QCoreApplication::translate("mainScreen", "Set the pump model to %1?")
             .arg(list->itemText(index)),
         (known ? QCoreApplication::translate("mainScreen", "The pump reports the model %1 now. ")
                      .arg(list->itemText(*reported))
                : QString()) +
             QCoreApplication::translate(
                 "mainScreen",
                 "The model decides the pump's type and the limits it doses within.")});
    if (!yes && known)
        WidgetWrite::setIndex(list, *reported);
    return yes;
}

bool Confirmation::strokeVolume(int tenths)
{
    const auto &item = parts.pump->items().get<OperationItemFactoryStrokeVolume>();
    const std::optional<int> reported = Pump::SendGate::reported(item);
    return ask(
        {Topic::StrokeVolume,
         QCoreApplication::translate("mainScreen", "Factory calibration pump stroke volume [ul]"),
         QCoreApplication::translate("mainScreen",
                                     "Write %1 ul as the pump's factory stroke volume?")
             .arg(ShownNumber::localized(Pump::DisplayFormat::strokeVolume(tenths))),
         (reported ? QCoreApplication::translate("mainScreen", "The pump holds %1 ul now. ")
                         .arg(ShownNumber::localized(Pump::DisplayFormat::strokeVolume(*reported)))
                   : QString()) +
             QCoreApplication::translate("mainScreen",
                                         "Every volume the pump doses follows from this value.")});
}

bool Confirmation::factoryCalibrationVolume(int microlitres)
{
    return ask(
        {Topic::FactoryCalibrationVolume,
         QCoreApplication::translate("mainScreen", "Factory calibration volume [ml]"),
         QCoreApplication::translate("mainScreen",
                                     "Write %1 ml as the pump's factory calibration volume?")
             .arg(millilitres(microlitres)),
         QCoreApplication::translate(
             "mainScreen", "The pump's factory calibration changes, and with it every volume "
                           "it doses.")});
}

bool Confirmation::closeWindow()
{
    const QString state = runInProgress();
    const bool running = parts.pump != nullptr && parts.pump->sampler().take().running();
    const bool recording = parts.recorder != nullptr && parts.recorder->recording();
    if (!running && !recording)
        return true;
    QString text;
    QString consequence;
    if (running) {
        text = QCoreApplication::translate("mainScreen", "The pump is %1. Close the window?")
                   .arg(state);
        consequence = QCoreApplication::translate(
            "mainScreen", "The pump keeps running once the window is closed; DOSETTA no "
                          "longer watches it or stops it.");
    }
    if (recording) {
        if (text.isEmpty())
            text =
                QCoreApplication::translate("mainScreen", "A recording is on. Close the window?");
        else
            consequence += QLatin1Char(' ');
        consequence += QCoreApplication::translate("mainScreen", "The recording into %1 ends.")
                           .arg(parts.recorder->path());
    }
    return ask({Topic::Close, QCoreApplication::translate("mainScreen", "Close DOSETTA"), text,
                consequence});
}

bool Confirmation::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parts.window && event->type() == QEvent::Close && !closeWindow()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
