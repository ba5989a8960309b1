#include "ui/mainForm.h"

#include "ui/WidgetWrite.h"

#include "BusinessLogic/ActionCommand.h"
#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandStack.h"
#include "BusinessLogic/SettingCommand.h"
#include "GUI/RefreshTimer.h"
#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"
#include "platform/InstanceSettings.h"
#include "pump/AttachTable.h"
#include "pump/DisplayFormat.h"
#include "pump/EntryConversion.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "serial/CommDialogue.h"
#include "serial/Communication.h"
#include "ui/AddressFollow.h"
#include "ui/Confirmation.h"
#include "ui/ItemDisplay.h"
#include "ui/JournalTab.h"
#include "ui/LinkFeedback.h"
#include "ui/MouseEventLineEdit.h"
#include "ui/NetworkGroup.h"
#include "ui/OperatorPicks.h"
#include "ui/PortTroubleTips.h"
#include "ui/ProcessData.h"
#include "ui/ProgramTab.h"
#include "ui/RefusalCause.h"
#include "ui/ShownRefusal.h"
#include "ui/StatusDisplay.h"
#include "ui/StyleSheets.h"
#include "ui/TrafficView.h"
#include "ui/WindowAids.h"
#include "ui/WindowDetails.h"
#include "ui/WindowLook.h"
#include "ui_mainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

// The images are compiled into this static library; referencing the initialiser keeps the
// linker from dropping them. (Must stay outside any namespace.)
static void loadImages()
{
    Q_INIT_RESOURCE(dosetta);
}

QColor mainForm::messageColour = StyleSheets::acceptedColour();
int mainForm::fadePercent = 100;

namespace {

using Id = BusinessLogic::CommandSpezifier;

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

mainForm::mainForm(PumpCore &pumpCore, ProgramRunner &programRunner, QApplication *application,
                   QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::mainScreen>())
    , commandStack(&pumpCore.stack())
    , core(pumpCore)
    , runner(programRunner)
    , picks(pumpCore, this)
    , commandTable(&pumpCore.table())
    , application(application)
    , refresher(&pumpCore.refresher())
    , link(&pumpCore.link())
    , digitalIn1Item(pumpCore.items().get<OperationItemDigitalIn1>())
{
    loadImages();
    ui->setupUi(this);
    ui->stackedButtonStartPause->setCurrentWidget(ui->pageStart);
    ui->pageStart->layout()->setContentsMargins(0, 0, 0, 0);
    ui->pagePause->layout()->setContentsMargins(0, 0, 0, 0);

    QTimer::singleShot(1000, this, &mainForm::showMainWindow);

    instance = std::make_unique<InstanceSettings>();
    shownPort = instance->settings()
                    .value(instance->key(InstanceSettings::portKey()), QString())
                    .toString();
    restorePort();

    WindowLook::fillLists(*ui);

    // The Factory tab is only for service.
    ui->TabsExtendedSettings->removeTab(ui->TabsExtendedSettings->indexOf(ui->TabFactory));
    const QStringList arguments =
        application != nullptr ? QApplication::arguments() : QStringList();
    if (factoryGateOpen(arguments)) // the tab's title keeps the form's translation context
        ui->TabsExtendedSettings->addTab(ui->TabFactory,
                                         QCoreApplication::translate("mainScreen", "Factory"));
    ui->TabsExtendedSettings->setCurrentWidget(ui->TabAdvanced);
    ui->comboCommAddress->addItem(QString::number(99));

    ui->comboCommAddress->setCurrentIndex(instance->address());
    ui->checkboProtAnswer->setChecked(true);

    WindowLook::applyStyleSheets(*ui, *this);
    itemDisplay = std::make_unique<ItemDisplay>(ItemDisplay::Parts{
        *ui, editedFields, core.items(), runMode, digitalIn1Exclusive, digitalIn2Exclusive});
    statusDisplay =
        std::make_unique<StatusDisplay>(*ui, *this, core.items().get<OperationItemStatus>(),
                                        core.items().get<OperationItemTimeElapsed>());

    traffic = std::make_unique<TrafficView>(TrafficView::Parts{
        commandStack, ui->textEditTxData, ui->textEditRxData, ui->buttonClearAll, link});
    connectWindow();

    runModeMenu = WindowLook::runModeMenu(*ui);
    actionFlowMode = runModeMenu->actions().at(0);
    actionVolumeMode = runModeMenu->actions().at(1);
    connect(runModeMenu.get(), &QMenu::triggered, this, &mainForm::modeSelect);
    connect(runModeMenu.get(), &QMenu::aboutToHide, ui->buttonMode, &QWidget::clearFocus);
    connect(ui->buttonMode, &QPushButton::released, ui->buttonMode, &QWidget::clearFocus);
    connect(ui->buttonAdvanced, &QPushButton::clicked, this, &mainForm::toggleAdvancedScreen);

    // The core attached its items to the poller when it was made; the window detaches them only
    // for a pump search.
    items = core.items().all();
    process = std::make_unique<ProcessData>(
        ProcessData::Parts{ui->TabsExtendedSettings, ui->tabHelp, ui->labelTransmissionState, &core,
                           instance->number()});
    ProgramTab::addTo(ui->TabsExtendedSettings, process->tab(), runner);
    JournalTab::addTo(ui->TabsExtendedSettings, process->tab(), core.journal());
    network = std::make_unique<NetworkGroup>(
        NetworkGroup::Parts{ui->groupComm, ui->checkboNoDataUpdate, ui->labelTransmissionState,
                            &core, &runner, instance.get()});
    confirmation = new Confirmation({this, ui.get(), &core, &process->recorder()});
    addressFollow = new AddressFollow({&core, ui->comboCommAddress, ui->labelUserAction}, this);
    connect(addressFollow, &AddressFollow::talkTo, this, &mainForm::launchCmdSetCommAddress);
    refusalCause = std::make_unique<RefusalCause>(ui->labelTransmissionState, core);
    ui->frameEditVolume->setFocus();
    WindowLook::setEntryBounds(*ui);
    WindowDetails::install({*this, *ui, editedFields, core, updateTimer, !shownPort.isEmpty()});
    editedFields.shown(findChildren<MouseEventLineEdit *>());
    WindowAids::install(this, *ui, editedFields, core, runner);

    help = HelpSetup::build(this, ui->tabHelp);
    // Widgets added under the window's sheets name their font, or they fall back to the default.
    help.browser->setFont(QFont(QStringLiteral("Arial"), 10));
    repaint();
    toggleAdvancedScreen();
}

mainForm::~mainForm() = default;

void mainForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool mainForm::factoryGateOpen(const QStringList &arguments)
{
    // arguments[0] is the program itself.
    return arguments.size() > 1 && arguments.at(1) == QLatin1String(FactoryAccessCode);
}

void mainForm::restorePort()
{
    connect(ui->buttonUpdatePorts, &QPushButton::clicked, ui->listWidgetComPorts,
            &CommDialogue::refreshPorts);
    // The link opens the port before its name is stored.
    if (link != nullptr) {
        connect(ui->listWidgetComPorts, &CommDialogue::comPortChange, link,
                &Communication::setCommPort);
        connect(ui->listWidgetComPorts, &CommDialogue::comPortPathChange, link,
                &Communication::setCommPortName);
    }
    connect(ui->listWidgetComPorts, &CommDialogue::comPortChange, this, &mainForm::setComPort);
    connect(ui->listWidgetComPorts, &CommDialogue::comPortPathChange, this,
            &mainForm::setComPortPath);
    ui->listWidgetComPorts->selectPort(instance->port());
}

void mainForm::connectWindow()
{
    connect(ui->buttonStressTest, &QPushButton::clicked, this,
            &mainForm::launchCmdToggleStressTest);
    connect(ui->buttonSearchPump, &QPushButton::clicked, this, &mainForm::launchCmdSearchPump);
    connect(ui->checkboNoDataUpdate, &QCheckBox::stateChanged, this, &mainForm::setDataUpdate);
    connect(ui->checkboNoDataUpdate, &QCheckBox::stateChanged, refresher,
            [this](int state) { refresher->noCyclicDataUpdate(state != Qt::Unchecked); });
    connect(ui->checkboNoCyclicDataDisplay, &QCheckBox::stateChanged, refresher,
            [this](int state) { refresher->displayProtocolAnswer(state != Qt::Unchecked); });
    if (commandStack != nullptr)
        connect(commandStack, &BusinessLogic::CommandStack::sendAnswer, this,
                &mainForm::saveLastAnswer);
    connect(&core, &PumpCore::answered, this, &mainForm::hear);
    connect(&updateTimer, &QTimer::timeout, this, &mainForm::triggerUpdateValues);
}

void mainForm::hear(const Answer &answer)
{
    BusinessLogic::Command *c = core.command(static_cast<Id>(answer.commandId));
    if (answer.outcome == BusinessLogic::AnswerOutcome::Cleared || !PumpCore::onWire(c))
        return;
    // Settings and actions are answered by ACK; queries by a data frame.
    const bool acknowledged = dynamic_cast<BusinessLogic::SettingCommand *>(c) != nullptr ||
                              dynamic_cast<BusinessLogic::ActionCommand *>(c) != nullptr;
    heard = LinkFeedback::heard(answer.outcome, acknowledged,
                                answer.commandId == BusinessLogic::toInt(Id::ExecuteCommCheck));
}

GUI::OperationItem *mainForm::itemForTests(BusinessLogic::CommandSpezifier id) const
{
    if (id == Id::ExecuteCommCheck)
        return const_cast<OperationItemCommCheck *>(&commCheckItem);
    return Pump::AttachTable::find(items, id);
}

void mainForm::addCommand(BusinessLogic::Command *command)
{
    if (command == nullptr || commandTable == nullptr)
        return;
    const int id = BusinessLogic::toInt(command->spezifier());
    if (id < 0 || id >= static_cast<int>(commandTable->size()))
        return;
    (*commandTable)[static_cast<std::size_t>(id)] = command;

    // Which widget launches the command, and how: a click, a finished entry, a list pick, or a
    // check box the operator clicked (never the display writing the box).
    using Plain = void (mainForm::*)();
    using WithInt = void (mainForm::*)(int);
    const struct
    {
        Id id;
        QWidget *widget;
        Plain plain;
        WithInt withInt;
    } launchers[] = {
        {Id::Start, ui->buttonStart, &mainForm::launchCmdStart, nullptr},
        {Id::Stop, ui->buttonStop, &mainForm::launchCmdStop, nullptr},
        {Id::Prime, ui->buttonPrime, &mainForm::launchCmdPrime, nullptr},
        {Id::Pause, ui->buttonPause, &mainForm::launchCmdPause, nullptr},
        {Id::SetVolume, ui->lineEditVolume, &mainForm::launchCmdSetVolume, nullptr},
        {Id::SetDispenseVolumeBreakTime, ui->lineEditBreakTimeSec,
         &mainForm::launchCmdSetDispenseBreakTime, nullptr},
        {Id::SetDispenseVolumeBreakTime, ui->lineEditBreakTimeMin,
         &mainForm::launchCmdSetDispenseBreakTime, nullptr},
        {Id::SetDispenseVolumeNumber, ui->lineEditCycles, &mainForm::launchCmdSetDispenseNumber,
         nullptr},
        {Id::SetAnalogInput, ui->comboAnalIn, nullptr, &mainForm::launchCmdSetAnalogIn},
        {Id::SetDigitalIn1, ui->comboDigIn1, nullptr, &mainForm::launchCmdSetDigitalIn1},
        {Id::SetDigitalIn2, ui->comboDigIn2, nullptr, &mainForm::launchCmdSetDigitalIn2},
        {Id::SetDigitalOut, ui->comboDigOut, nullptr, &mainForm::launchCmdSetDigitalOut},
        {Id::SetLanguage, ui->comboLanguage, nullptr, &mainForm::launchCmdSetLanguage},
        {Id::SetCustCalVol, ui->lineEditCalVolume, &mainForm::launchCmdSetCustomCalibrationVolume,
         nullptr},
        {Id::SetCustCalPercent, ui->comboCalPercent, nullptr,
         &mainForm::launchCmdSetCustomCalibrationPercentage},
        {Id::SetAutostart, ui->checkboAutostart, nullptr, &mainForm::launchCmdSetAutostart},
        {Id::SetPumpProfileCharacteristic, ui->comboTypeFluid, nullptr,
         &mainForm::launchCmdSetPumpProfileCharacteristics},
        {Id::SetDisplayContrast, ui->comboContrast, nullptr,
         &mainForm::launchCmdSetDisplayContrast},
        {Id::ExecuteCommCheck, ui->buttonTestComm, &mainForm::launchCmdExecuteCommCheck, nullptr},
        {Id::SetProtocolAnswer, ui->checkboProtAnswer, nullptr,
         &mainForm::launchCmdSetProtocolAnswer},
        {Id::SetPumpAddress, ui->comboPumpAddress, nullptr, &mainForm::launchCmdSetPumpAddress},
        {Id::SetCommAddress, ui->comboCommAddress, nullptr, &mainForm::launchCmdSetCommAddress},
        {Id::SetInvalidLRC, ui->checkboIncorrectLRC, nullptr, &mainForm::launchCmdSetInvalidLRC},
        {Id::SetUnusedLRC, ui->checkboUnusedLRC, nullptr, &mainForm::launchCmdSetUnusedLRC},
        {Id::SetFactoryDefaults, ui->buttonDefaults, &mainForm::launchCmdSetFactoryDefaults,
         nullptr},
        {Id::SetFactoryMode, ui->checkboFactoryMode, nullptr, &mainForm::launchCmdSetFactoryMode},
        {Id::SetFactoryMeasuredCalVolume, ui->lineEditFactoryCalVolume,
         &mainForm::launchCmdSetFactoryMeasuredCalVolume, nullptr},
        {Id::SetMaintenancePos, ui->buttonMaintenancePos, &mainForm::launchCmdSetMaintenancePos,
         nullptr},
        {Id::SetPumpModel, ui->comboPumpModel, nullptr, &mainForm::launchCmdSetPumpModel},
        {Id::SetFactoryPumpStrokeVolume, ui->lineEditFactoryPumpStrokeVolume,
         &mainForm::launchCmdSetFactoryMeasuredPumpStrokeVolume, nullptr},
    };
    const Id filed = command->spezifier();
    if (filed == Id::SetDiscreteCommand)
        connect(ui->lineEditDiscreteCommand, &QLineEdit::returnPressed, this,
                &mainForm::setDiscreteCommand);
    for (const auto &l : launchers) {
        if (l.id != filed)
            continue;
        if (auto *box = qobject_cast<QCheckBox *>(l.widget))
            connect(box, &QCheckBox::clicked, this,
                    [this, box, slot = l.withInt] { (this->*slot)(box->checkState()); });
        else if (auto *button = qobject_cast<QAbstractButton *>(l.widget))
            connect(button, &QAbstractButton::clicked, this, l.plain);
        else if (auto *field = qobject_cast<QLineEdit *>(l.widget))
            connect(field, &QLineEdit::editingFinished, this, l.plain);
        else if (auto *combo = qobject_cast<QComboBox *>(l.widget))
            connect(combo, QOverload<int>::of(&QComboBox::activated), this, l.withInt);
    }
}

BusinessLogic::Command *mainForm::command(BusinessLogic::CommandSpezifier id) const
{
    const auto index = static_cast<std::size_t>(BusinessLogic::toInt(id));
    if (commandTable == nullptr || index >= commandTable->size())
        return nullptr;
    return (*commandTable)[index];
}

template<class Item>
Item &mainForm::item() const
{
    return core.items().get<Item>();
}

BusinessLogic::Ticket mainForm::push(BusinessLogic::CommandSpezifier id, int value)
{
    BusinessLogic::Command *cmd = command(id);
    return cmd != nullptr && commandStack != nullptr ? commandStack->push(cmd, value, true) : 0;
}

void mainForm::startUp()
{
    if (commandStack != nullptr)
        commandStack->clear();
    launchCmdSetCommAddress(ui->comboCommAddress->currentIndex());
    launchCmdExecuteCommCheck();
}

void mainForm::startUpdateTimer()
{
    updateTimer.start(slowPoll ? SlowUpdateMs : FastUpdateMs);
}

void mainForm::showMainWindow()
{
    show();
}

void mainForm::setComPort(QSerialPortInfo info)
{
    instance->setPort(info.portName());
    shownPort = info.portName();
}

void mainForm::setComPortPath(QString path)
{
    instance->setPort(path);
    shownPort = path;
}

void mainForm::saveLastAnswer(Answer answer)
{
    lastAnswer = std::move(answer);
}

// ---------------------------------------------------------------------------------------------
// Link commands and the update timer

void mainForm::setDataUpdate()
{
    if (ui->checkboNoDataUpdate->isChecked())
        updateTimer.stop();
    else
        updateTimer.start(slowPoll ? SlowUpdateMs : FastUpdateMs);
}

void mainForm::stopUpdateTimer()
{
    updateTimer.stop();
    if (commandStack != nullptr)
        commandStack->clear();
    finishSearch(); // the rest of a running search went with the queue
}

void mainForm::finishSearch()
{
    if (disconnect(searchConnection))
        updateAttachAll();
}

void mainForm::launchCmdExecuteCommCheck()
{
    stopUpdateTimer();
    push(Id::SetCommAddress, ui->comboCommAddress->currentIndex());
    push(Id::ExecuteCommCheck, 0);
    setDataUpdate();
}

void mainForm::recheckLink()
{
    if (searchConnection)
        return; // a search asks the bus itself
    updateTimer.stop();
    if (commandStack != nullptr)
        commandStack->removeQueries(BusinessLogic::Lane::Operator);
    push(Id::SetCommAddress, ui->comboCommAddress->currentIndex());
    push(Id::ExecuteCommCheck, 0);
    setDataUpdate();
}

void mainForm::launchCmdSetPumpAddress(int index)
{
    if (!confirmation->pumpAddress(index))
        return;
    stopUpdateTimer();
    core.submitSetting(BusinessLogic::Lane::Operator, Id::SetPumpAddress, index, this,
                       [this, index](bool accepted) {
                           if (!accepted)
                               return;
                           item<OperationItemAddress>().setValue(index);
                           addressFollow->pumpTook(index);
                       });
    setDataUpdate();
}

void mainForm::launchCmdSetCommAddress(int index)
{
    push(Id::SetCommAddress, index);
    instance->setAddress(index);
}

void mainForm::launchCmdSetInvalidLRC(int state)
{
    stopUpdateTimer();
    push(Id::SetInvalidLRC, state != Qt::Unchecked ? 1 : 0);
    setDataUpdate();
}

void mainForm::launchCmdSetUnusedLRC(int state)
{
    stopUpdateTimer();
    push(Id::SetUnusedLRC, state != Qt::Unchecked ? 1 : 0);
    setDataUpdate();
}

void mainForm::launchCmdToggleStressTest()
{
    const bool wasFast = updateTimer.interval() == FastUpdateMs;
    stopUpdateTimer();
    if (wasFast)
        updateTimer.start(StressUpdateMs);
    else
        setDataUpdate();
}

// ---------------------------------------------------------------------------------------------
// Operator commands

void mainForm::launchCmdStart()
{
    push(Id::Start, 0);
    WindowLook::highlight(*ui, WindowLook::RunButton::Start);
}

void mainForm::launchCmdStop()
{
    core.stop();
    WindowLook::highlight(*ui, WindowLook::RunButton::Stop);
}

void mainForm::launchCmdPause()
{
    push(Id::Pause, 0);
    WindowLook::highlight(*ui, WindowLook::RunButton::Pause);
}

void mainForm::launchCmdPrime()
{
    push(Id::Prime, 0);
    WindowLook::highlight(*ui, WindowLook::RunButton::Prime);
}

void mainForm::launchCmdSetVolume()
{
    // Nothing goes for a text that is no number or a value outside the limits; the reason is
    // shown, and the next update shows the pump's value.
    const Pump::SendGate::SetPoint setPoint = Pump::SendGate::setPoint(runMode);
    const bool volume = setPoint == Pump::SendGate::SetPoint::Volume;
    if (editedFields.take({ui->lineEditVolume}) &&
        (volume || setPoint == Pump::SendGate::SetPoint::FlowRate))
        ui->labelUserAction->setText(picks.typedText(
            volume ? QStringLiteral("volume") : QStringLiteral("flow-rate"),
            ui->lineEditVolume->text(),
            volume ? static_cast<GUI::OperationItem &>(item<OperationItemVolumeTarget>())
                   : item<OperationItemFlowrate>()));
}

void mainForm::launchCmdSetDispenseTime()
{
    const std::optional<int> value = Pump::EntryConversion::dispenseTime(
        ui->lineEditTimeHour->text(), ui->lineEditTimeMin->text(), ui->lineEditTimeSec->text());
    if (!editedFields.take({ui->lineEditTimeHour, ui->lineEditTimeMin, ui->lineEditTimeSec}) ||
        !value)
        return;
    // Once taken, the display reads this item's text: give it the time just sent in the pump's
    // own form (hhmmss00), so the fields do not show the old time until the next read-back.
    const int v = *value;
    core.submitSetting(BusinessLogic::Lane::Operator, Id::SetDispenseTime, v, this,
                       [this, v](bool accepted) {
                           if (!accepted)
                               return;
                           Answer sent{BusinessLogic::toInt(Id::GetDispenseTime),
                                       BusinessLogic::Command::valueField(v, 8)};
                           item<OperationItemDispenseTime>().update(&sent);
                       });
}

void mainForm::launchCmdSetDispenseBreakTime()
{
    if (!editedFields.take({ui->lineEditBreakTimeMin, ui->lineEditBreakTimeSec}))
        return;
    const QString why =
        picks.typedBreakTime(ui->lineEditBreakTimeMin->text(), ui->lineEditBreakTimeSec->text(),
                             item<OperationItemVolumeBreakTime>());
    if (!why.isEmpty())
        ui->labelUserAction->setText(why);
}

void mainForm::launchCmdSetDispenseNumber()
{
    if (!editedFields.take({ui->lineEditCycles}))
        return;
    // 0 to 1000, "OFF" or "INF", as the tool and the network take it; other text sends nothing.
    const Pump::KeyTable::Setting cycles = Pump::KeyTable::parse(
        Pump::KeyTable::key(QStringLiteral("cycles")), ui->lineEditCycles->text());
    ui->labelUserAction->setText(cycles.ok()
                                     ? picks.typed(QStringLiteral("cycles"), cycles.value,
                                                   cycles.value, item<OperationItemVolumeNumber>())
                                     : ShownRefusal::parsed(cycles.error));
}

void mainForm::launchCmdSetAnalogIn(int index)
{
    picks.pick(Id::SetAnalogInput, item<OperationItemAnalogIn>(),
               Pump::KeyTable::code(QStringLiteral("analog-in"), index));
}

void mainForm::launchCmdSetDigitalIn1(int index)
{
    const int value = Pump::KeyTable::code(QStringLiteral("digital-in1"), index);
    if (!picks.pick(Id::SetDigitalIn1, digitalIn1Item, value))
        return;
    digitalIn1Exclusive = index == 1 || index == 2;
    if (digitalIn1Exclusive && digitalIn2Exclusive) {
        ui->comboDigIn2->setCurrentIndex(0);
        digitalIn2Exclusive = false;
    }
}

void mainForm::launchCmdSetDigitalIn2(int index)
{
    const int value = Pump::KeyTable::code(QStringLiteral("digital-in2"), index);
    if (!picks.pick(Id::SetDigitalIn2, item<OperationItemDigitalIn2>(), value))
        return;
    digitalIn2Exclusive = index == 1 || index == 2;
    if (digitalIn1Exclusive && digitalIn2Exclusive) {
        ui->comboDigIn1->setCurrentIndex(0);
        // The pump gives up input 1's function itself; nothing is sent for it.
        digitalIn1Item.setValue(0);
        digitalIn1Exclusive = false;
    }
}

void mainForm::launchCmdSetDigitalOut(int index)
{
    if (index >= 0 && index < Pump::KeyTable::entryCount(QStringLiteral("digital-out")))
        picks.pick(Id::SetDigitalOut, item<OperationItemDigitalOut>(), index);
}

void mainForm::launchCmdSetLanguage(int index)
{
    picks.pick(Id::SetLanguage, item<OperationItemLanguage>(), index);
}

void mainForm::launchCmdSetCustomCalibrationVolume()
{
    const QString text = ui->lineEditCalVolume->text();
    const std::optional<int> value = Pump::EntryConversion::scaledFloat(text, 1000, 0.0005);
    if (!editedFields.take({ui->lineEditCalVolume}))
        return;
    ui->labelUserAction->setText(
        OperatorPicks::refusal(QStringLiteral("calibration-volume"), text, value));
    if (ui->labelUserAction->text().isEmpty())
        push(Id::SetCustCalVol, *value);
}

void mainForm::launchCmdSetCustomCalibrationPercentage(int index)
{
    // The list runs from 80.0 % in steps of 0.1 %; the pump counts hundredths of a percent.
    picks.pick(Id::SetCustCalPercent, item<OperationItemCustomCalibrationPercentage>(),
               Pump::KeyTable::percentCode(index));
}

void mainForm::launchCmdSetAutostart(int state)
{
    picks.pick(Id::SetAutostart, item<OperationItemAutostart>(), state != Qt::Unchecked ? 1 : 0);
}

void mainForm::launchCmdSetPumpProfileCharacteristics(int)
{
    picks.pick(Id::SetPumpProfileCharacteristic, item<OperationItemPumpProfileCharacteristic>(),
               ui->comboTypeFluid->currentIndex());
}

void mainForm::launchCmdSetDisplayContrast(int)
{
    picks.pick(Id::SetDisplayContrast, item<OperationItemContrast>(),
               ui->comboContrast->currentIndex());
}

void mainForm::launchCmdSetProtocolAnswer(int state)
{
    picks.pick(Id::SetProtocolAnswer, item<OperationItemProtocolAnswer>(),
               state != Qt::Unchecked ? 1 : 0);
}

void mainForm::launchCmdSetFactoryDefaults()
{
    if (confirmation->defaultValues())
        push(Id::SetFactoryDefaults, 0);
}

void mainForm::launchCmdSetMaintenancePos()
{
    if (confirmation->maintenance())
        push(Id::SetMaintenancePos, 1);
}

void mainForm::launchCmdSetFactoryMode(int state)
{
    if (!confirmation->factoryMode(state != Qt::Unchecked))
        return;
    picks.pick(Id::SetFactoryMode, item<OperationItemFactoryMode>(),
               state != Qt::Unchecked ? 1 : 0);
}

void mainForm::launchCmdSetPumpModel(int index)
{
    if (!confirmation->pumpModel(index))
        return;
    picks.pick(Id::SetPumpModel, item<OperationItemFactoryPumpModel>(), index);
}

void mainForm::launchCmdSetFactoryMeasuredPumpStrokeVolume()
{
    const std::optional<int> value =
        Pump::EntryConversion::scaledFloat(ui->lineEditFactoryPumpStrokeVolume->text(), 10, 0.05);
    const bool edited = editedFields.take({ui->lineEditFactoryPumpStrokeVolume});
    if (edited && !value)
        ui->labelUserAction->setText(ShownRefusal::notANumber(
            QStringLiteral("stroke volume"), ui->lineEditFactoryPumpStrokeVolume->text()));
    else if (edited) {
        if (confirmation->strokeVolume(*value))
            picks.held(Id::SetFactoryPumpStrokeVolume, *value,
                       item<OperationItemFactoryStrokeVolume>());
        else
            editedFields.turnDown(ui->lineEditFactoryPumpStrokeVolume);
    }
    ui->lineEditFactoryPumpStrokeVolume->setModified(false);
}

void mainForm::launchCmdSetFactoryMeasuredCalVolume()
{
    const std::optional<int> value =
        Pump::EntryConversion::scaledFloat(ui->lineEditFactoryCalVolume->text(), 1000, 0.0005);
    const bool edited = editedFields.take({ui->lineEditFactoryCalVolume});
    if (edited && !value)
        ui->labelUserAction->setText(ShownRefusal::notANumber(
            QStringLiteral("factory calibration volume"), ui->lineEditFactoryCalVolume->text()));
    else if (edited) {
        if (confirmation->factoryCalibrationVolume(*value))
            push(Id::SetFactoryMeasuredCalVolume, *value);
        else
            editedFields.turnDown(ui->lineEditFactoryCalVolume);
    }
}

void mainForm::launchCmdSetRunMode()
{
    push(Id::SetRunMode, 0);
}

void mainForm::launchCmdSetDispenseVolume()
{
    push(Id::SetDispenseModeVolume, 0);
}

void mainForm::changeTime()
{
    const Pump::EntryConversion::Time t = Pump::EntryConversion::normalisedTime(
        ui->lineEditTimeHour->text(), ui->lineEditTimeMin->text(), ui->lineEditTimeSec->text());
    // Each write that changes a text runs this again at once; equal texts emit nothing, so the
    // nesting ends when all three hold the normalised time.
    WidgetWrite::setText(ui->lineEditTimeSec, twoDigits(t.seconds));
    WidgetWrite::setText(ui->lineEditTimeMin, twoDigits(t.minutes));
    WidgetWrite::setText(ui->lineEditTimeHour, twoDigits(t.hours));
}

void mainForm::modeSelect(QAction *action)
{
    if (action == actionFlowMode) {
        ui->buttonMode->setText(QStringLiteral("   ml/min   "));
        runMode = 0;
        launchCmdSetRunMode();
    } else if (action == actionVolumeMode) {
        ui->buttonMode->setText(QStringLiteral("     ml     "));
        runMode = 1;
        launchCmdSetDispenseVolume();
    }
    item<OperationItemRunMode>().setValue(runMode);
    ui->buttonMode->clearFocus();
}

void mainForm::setDiscreteCommand()
{
    BusinessLogic::Command *cmd = command(Id::SetDiscreteCommand);
    if (cmd == nullptr || commandStack == nullptr)
        return;
    commandStack->pushText(cmd, ui->lineEditDiscreteCommand->text().toUtf8().toStdString());
}

void mainForm::launchCmdSearchPump()
{
    stopUpdateTimer(); // also ends a search already running
    updateDetachAll();
    if (commandStack == nullptr)
        return;
    searchConnection = connect(commandStack, &BusinessLogic::CommandStack::sendAnswer, this,
                               &mainForm::searchAddress);
    for (int address = 0; address <= Pump::KeyTable::HighestAddress; ++address) {
        push(Id::SetCommAddress, address);
        push(Id::SetProtocolAnswer, 1);
        push(Id::ExecuteCommCheck, 0);
    }
    // Back to the chosen address at the end; the answer to that check ends the search.
    push(Id::SetCommAddress, ui->comboCommAddress->currentIndex());
    searchEnd = push(Id::ExecuteCommCheck, 0);
}

void mainForm::toggleAdvancedScreen()
{
    savedNoUpdate = ui->checkboNoDataUpdate->isChecked();
    ui->checkboNoDataUpdate->setChecked(false);
    WindowLook::unfold(*ui, *this, !advancedScreen);
    advancedScreen = !advancedScreen;
    ui->checkboNoDataUpdate->setChecked(savedNoUpdate);
    repaint();
}

void mainForm::updateAttachAll()
{
    Pump::AttachTable::attachAll(*refresher, items);
}

void mainForm::updateDetachAll()
{
    Pump::AttachTable::detachAll(*refresher, items);
}

void mainForm::activateHelp()
{
    if (!advancedScreen)
        toggleAdvancedScreen();
    ui->TabsExtendedSettings->setCurrentWidget(ui->tabHelp);
    showHelpPage(HelpCollection::indexUrl());
}

void mainForm::showHelpPage(const QUrl &url)
{
    HelpSetup::showPage(help, url);
}

// ---------------------------------------------------------------------------------------------
// Display update

void mainForm::triggerUpdateValues()
{
    // 1. Title (the stored port is read once and then kept in step by setComPort).
    const QString title =
        Pump::DisplayFormat::title(ui->comboCommAddress->currentIndex(), shownPort);
    if (windowTitle() != title)
        setWindowTitle(title);

    // 2.-7. Link state and command feedback, from what the last exchange on the wire came to.
    const bool portOpen = link != nullptr && link->portOpen;
    PortTroubleTips::show(link, ui->listWidgetComPorts, ui->labelConnectionState);
    LinkFeedback::Result feedback =
        LinkFeedback::update(heard, fadePercent, messageColour, portOpen, core.linkState());
    refusalCause->explain(heard, feedback);
    fadePercent = feedback.fadePercent;
    messageColour = feedback.colour;
    if (feedback.connection) {
        WidgetWrite::setSheet(ui->labelConnectionState, feedback.connection->sheet);
        WidgetWrite::setText(ui->labelConnectionState, feedback.connection->text);
    }
    WidgetWrite::setSheet(ui->labelTransmissionState, feedback.transmissionSheet);
    if (feedback.transmission)
        WidgetWrite::setText(ui->labelTransmissionState, *feedback.transmission);
    if (feedback.clearUserAction)
        WidgetWrite::setText(ui->labelUserAction, QString());
    if (feedback.linkLost) {
        slowPoll = true;
        // One missed answer must not throw away the operator's queued commands: only the polls
        // and older checks make way for the new check.
        recheckLink();
    } else {
        // The link answers again: switch to the fast rate now, not only at the next link
        // command, or the display would stay at 500 ms for good after start-up.
        const bool wasSlow = slowPoll;
        slowPoll = false;
        if (wasSlow && updateTimer.isActive() && updateTimer.interval() == SlowUpdateMs)
            setDataUpdate();
    }

    // 8.-11., 13.-14., 16.-28. The pump's values.
    itemDisplay->update();

    // 12. and 15. Status and error icons, elapsed time.
    statusDisplay->update();
}

void mainForm::searchAddress(Answer answer)
{
    // A text that is no number reads 0; a frame that failed its check names no address.
    const int n = answer.checked() ? QString::fromStdString(answer.text).toInt() : -1;
    if (answer.commandId == BusinessLogic::toInt(Id::ExecuteCommCheck) && n >= 0) {
        // A pump answered at the address just set.
        if (commandStack != nullptr)
            commandStack->clear();
        commCheckItem.setValue(n);
        WidgetWrite::setText(ui->labelLocatedAddressIndicator, commCheckItem.text());
        ui->comboCommAddress->setCurrentIndex(n);
        launchCmdSetCommAddress(n);
        finishSearch();
        // Show the pump's values again, not a frozen screen.
        setDataUpdate();
        return;
    }
    if (answer.commandId != BusinessLogic::toInt(Id::ExecuteCommCheck) && n == 98)
        WidgetWrite::setText(ui->labelLocatedAddressIndicator,
                             QCoreApplication::translate("mainScreen", "NONE"));
    if (answer.ticket == searchEnd) {
        // The whole bus was asked and nobody answered: say so and resume.
        WidgetWrite::setText(ui->labelLocatedAddressIndicator,
                             QCoreApplication::translate("mainScreen", "NONE"));
        finishSearch();
        setDataUpdate();
    }
}

void mainForm::formatRawDataTxPos(std::vector<int> positions)
{
    traffic->formatTxPos(std::move(positions));
}

void mainForm::formatRawDataTxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    traffic->formatTxReasons(std::move(reasons));
}

void mainForm::formatRawDataRxPos(std::vector<int> positions)
{
    traffic->formatRxPos(std::move(positions));
}

void mainForm::formatRawDataRxReasons(std::vector<BusinessLogic::InvalidReason> reasons)
{
    traffic->formatRxReasons(std::move(reasons));
}

void mainForm::displayRawDataTx(std::string *line)
{
    traffic->displayTx(line);
}

void mainForm::displayRawDataRx(std::string *line)
{
    traffic->displayRx(line);
}
