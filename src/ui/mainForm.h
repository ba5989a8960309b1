#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/InvalidReason.h"
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
#include "help/HelpHost.h"
#include "help/HelpSetup.h"
#include "ui/EditedFields.h"
#include "ui/ItemDisplay.h"
#include "ui/LinkFeedback.h"
#include "ui/OperatorPicks.h"
#include "ui/StatusDisplay.h"
#include "ui/TrafficView.h"
#include "ui/WindowAids.h"

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <QSerialPortInfo>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AddressFollow;
class Communication;
class Confirmation;
class InstanceSettings;
class PumpCore;
class ProgramRunner;
class NetworkGroup;
class ProcessData;
class QAbstractButton;
class QAction;
class QApplication;
class QLabel;
class QMenu;
class RefusalCause;

namespace BusinessLogic {
class Command;
class CommandStack;
} // namespace BusinessLogic

namespace GUI {
class OperationItem;
class RefreshTimer;
} // namespace GUI

namespace Ui {
class mainScreen;
}

// The program's one window: the main screen with the run buttons and set-points, the advanced
// screen's tabs, and the two traffic views of the communication tab. Operator actions become
// queued commands; a timer copies what the pump reports into the widgets.
class mainForm : public QDialog, public HelpHost
{
    Q_OBJECT

public:
    // Paragraphs kept by each traffic view; the oldest are dropped first.
    static constexpr int TrafficViewBlocks = TrafficView::Blocks;
    // Update timer intervals: link silent, link answering, stress test.
    static constexpr int SlowUpdateMs = 500;
    static constexpr int FastUpdateMs = 50;
    static constexpr int StressUpdateMs = 10;
    // The first command-line argument that shows the Factory tab.
    static constexpr const char *FactoryAccessCode = "--QZW service gate";

    // core: the pump the window shows and commands, not owned, outliving the window; its items
    // are the window's items and its stack's logged exchanges fill the traffic views. runner:
    // the runner beside it, which the Program tab and the network's bridge share.
    mainForm(PumpCore &core, ProgramRunner &runner, QApplication *application = nullptr,
             QWidget *parent = nullptr);
    ~mainForm() override;

    // True when the program's arguments open the Factory tab: the first one is the access code.
    static bool factoryGateOpen(const QStringList &arguments);

    // Files the command under its id and connects the widget that launches it.
    void addCommand(BusinessLogic::Command *command);
    // Start-up routine: clears the queue, queues the stored address and a communication check.
    void startUp();
    void startUpdateTimer();

    // HelpHost
    void showHelpPage(const QUrl &url) override;
    QHelpEngine *helpEngine() const override { return help.engine; }

    QTimer &updateTimerForTests() { return updateTimer; }
    bool slowPollForTests() const { return slowPoll; }
    signed char runModeForTests() const { return runMode; }
    GUI::OperationItem *itemForTests(BusinessLogic::CommandSpezifier id) const;
    // The recorder and the chart.
    ProcessData *processData() const { return process.get(); }

    // Command feedback shared by every update: colour and opacity of the fading text.
    static QColor messageColour;
    static int fadePercent;

public slots:
    void triggerUpdateValues();
    void searchAddress(Answer answer);
    void saveLastAnswer(Answer answer);
    void setComPort(QSerialPortInfo info);
    void setComPortPath(QString path);
    void showMainWindow();

    void setDataUpdate();
    void launchCmdExecuteCommCheck();
    void launchCmdSetPumpAddress(int index);
    void launchCmdSetCommAddress(int index);
    void launchCmdSetInvalidLRC(int state);
    void launchCmdSetUnusedLRC(int state);
    void launchCmdToggleStressTest();

    void launchCmdStart();
    void launchCmdStop();
    void launchCmdPause();
    void launchCmdPrime();
    void launchCmdSetVolume();
    void launchCmdSetDispenseTime();
    void launchCmdSetDispenseBreakTime();
    void launchCmdSetDispenseNumber();
    void launchCmdSetAnalogIn(int index);
    void launchCmdSetDigitalIn1(int index);
    void launchCmdSetDigitalIn2(int index);
    void launchCmdSetDigitalOut(int index);
    void launchCmdSetLanguage(int index);
    void launchCmdSetCustomCalibrationVolume();
    void launchCmdSetCustomCalibrationPercentage(int index);
    void launchCmdSetAutostart(int state);
    void launchCmdSetPumpProfileCharacteristics(int index);
    void launchCmdSetDisplayContrast(int index);
    void launchCmdSetProtocolAnswer(int state);
    void launchCmdSetFactoryDefaults();
    void launchCmdSetMaintenancePos();
    void launchCmdSetFactoryMode(int state);
    void launchCmdSetPumpModel(int index);
    void launchCmdSetFactoryMeasuredPumpStrokeVolume();
    void launchCmdSetFactoryMeasuredCalVolume();
    void launchCmdSetRunMode();
    void launchCmdSetDispenseVolume();
    void changeTime();
    void modeSelect(QAction *action);
    void setDiscreteCommand();
    void launchCmdSearchPump();
    void toggleAdvancedScreen();
    void updateAttachAll();
    void updateDetachAll();
    void activateHelp() override;

    // The traffic views' own slots, under the window's names: fault lists of the frame drawn
    // next (the stack emits them just before the line), then the line.
    void formatRawDataTxPos(std::vector<int> positions);
    void formatRawDataTxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    void formatRawDataRxPos(std::vector<int> positions);
    void formatRawDataRxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    void displayRawDataTx(std::string *line);
    void displayRawDataRx(std::string *line);

protected:
    // Escape would reject the dialog and so end the program; an operator cancelling an entry
    // must not stop the pump's remote control.
    void keyPressEvent(QKeyEvent *event) override;

    std::unique_ptr<Ui::mainScreen> ui;
    BusinessLogic::CommandStack *commandStack = nullptr;

    // The run-mode menu under buttonMode (no parent; owned here) and its two entries.
    std::unique_ptr<QMenu> runModeMenu;
    QAction *actionFlowMode = nullptr;
    QAction *actionVolumeMode = nullptr;

private:
    void connectWindow();
    void restorePort();

    // Queues a command with logging on, ahead of the polls; nothing (ticket 0) when the command
    // is not filed.
    BusinessLogic::Ticket push(BusinessLogic::CommandSpezifier id, int value);
    BusinessLogic::Command *command(BusinessLogic::CommandSpezifier id) const;
    // The core's item of that class, for the commands that read one once.
    template<class Item>
    Item &item() const;
    void stopUpdateTimer();
    // The display's own link check: like the Test button, but the operator's queued commands
    // stay queued.
    void recheckLink();
    // Ends a running pump search and resumes polling.
    void finishSearch();
    // Keeps what the last exchange on the wire came to, for the command feedback.
    void hear(const Answer &answer);

    PumpCore &core;
    ProgramRunner &runner;
    OperatorPicks picks;
    std::vector<BusinessLogic::Command *> *commandTable = nullptr;
    QApplication *application = nullptr;
    GUI::RefreshTimer *refresher = nullptr;
    Communication *link = nullptr;
    std::unique_ptr<InstanceSettings> instance;
    QTimer updateTimer;
    HelpSetup::Parts help;
    std::unique_ptr<TrafficView> traffic;
    std::unique_ptr<StatusDisplay> statusDisplay;
    std::unique_ptr<ItemDisplay> itemDisplay;

    // State of the display and the operator commands.
    bool slowPoll = true;
    signed char runMode = 0;
    bool digitalIn1Exclusive = false;
    bool digitalIn2Exclusive = false;
    EditedFields editedFields;
    bool advancedScreen = true;
    bool savedNoUpdate = true;
    Answer lastAnswer;
    QMetaObject::Connection searchConnection;
    BusinessLogic::Ticket searchEnd = 0;
    QString shownPort;
    LinkFeedback::Heard heard = LinkFeedback::Heard::Nothing;
    // Caches that spare the display update work when nothing changed.

    // The pump quantities the window shows: the core's items.
    OperationItemDigitalIn1 &digitalIn1Item;
    OperationItemCommCheck commCheckItem;
    std::vector<GUI::OperationItem *> items;
    // Reads the items: declared after them, so it goes first.
    std::unique_ptr<ProcessData> process;
    // Publishes what the sampler takes: goes before it, saying "offline" while the pump is there.
    std::unique_ptr<NetworkGroup> network;
    // Children of the window: the questions before what cannot be undone, and the address the
    // window follows the pump to.
    Confirmation *confirmation = nullptr;
    AddressFollow *addressFollow = nullptr;
    // The compact screen's run state, error flags and the cause of a refused run key.
    std::unique_ptr<RefusalCause> refusalCause;
    // Last, so that it goes first: no field calls into the window while it is destroyed.
    WindowAids::Detached detached{*this};
};
