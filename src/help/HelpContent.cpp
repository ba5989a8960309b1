#include "help/HelpContent.h"

#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"
#include "help/HelpHost.h"

#include <QHelpContentWidget>
#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>

HelpContent::HelpContent(QWidget *window, HelpHost *host)
    : QObject(nullptr)
    , helpShortcut(new QShortcut(QKeySequence::HelpContents, window))
    , whatsThisShortcut(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), window))
{
    for (const Page &entry : pages()) {
        for (const char *name : entry.widgets) {
            if (QWidget *widget = window->findChild<QWidget *>(QLatin1String(name)))
                widget->setProperty(HelpCollection::PageProperty, QLatin1String(entry.page));
        }
    }
    // The Help tab's own contents tree and browser lead to the page about help.
    for (QWidget *widget : window->findChildren<QHelpContentWidget *>())
        widget->setProperty(HelpCollection::PageProperty, QStringLiteral("help.html"));
    for (QWidget *widget : window->findChildren<HelpBrowser *>())
        widget->setProperty(HelpCollection::PageProperty, QStringLiteral("help.html"));

    helpShortcut->setContext(Qt::ApplicationShortcut);
    connect(helpShortcut, &QShortcut::activated, this, [host] { host->activateHelp(); });
    whatsThisShortcut->setContext(Qt::ApplicationShortcut);
    connect(whatsThisShortcut, &QShortcut::activated, this,
            [] { QWhatsThis::enterWhatsThisMode(); });
}

const std::vector<HelpContent::Page> &HelpContent::pages()
{
    static const std::vector<Page> map = {
        {"main_screen.html",
         {"frameTarget", "groupBoxTarget", "frameActual", "groupBoxActual", "frameButtonsPrimary",
          "stackedButtonStartPause", "pageStart", "pagePause", "frameStateFeedback",
          "labelUserAction"}},
        {"stopbutton.html", {"buttonStop"}},
        {"startbutton.html", {"buttonStart"}},
        {"primebutton.html", {"buttonPrime"}},
        {"pausebutton.html", {"buttonPause"}},
        {"flowrate.html", {"lineEditVolume", "groupBoxEditVolFlow"}},
        {"modeselect.html", {"buttonMode", "frameMode"}},
        {"dispensetime.html",
         {"lineEditTimeHour", "lineEditTimeMin", "lineEditTimeSec", "labelTimeTargetUnitHours",
          "labelTimeTargetUnitMin", "labelTimeTargetUnitSec", "frameEditTime",
          "groupBoxDispenseTime"}},
        {"elapsedtime.html",
         {"labelTimeActualHour", "labelTimeActualMin", "labelTimeActualSec",
          "labelTimeActualUnitHour", "labelTimeActualUnitMin", "labelTimeActualUnitSec",
          "frameTimeActual", "groupBoxTimeActual"}},
        {"actualvolume.html", {"labelVolumeActual", "groupBoxVolumeActual"}},
        {"connectionstate.html", {"labelConnectionState", "labelTransmissionState"}},
        {"pumpstate.html", {"labelPumpState", "labelErrorBanner"}},
        {"settings.html", {"TabsExtendedSettings", "groupAdvanced"}},
        {"fluidtype.html", {"comboTypeFluid", "labelTypeFluid"}},
        {"language.html", {"comboLanguage", "labelLanguage"}},
        {"calibvolume.html", {"lineEditCalVolume", "labelCalVolume"}},
        {"calibpercent.html", {"comboCalPercent", "labelCalPercent"}},
        {"contrast.html", {"comboContrast", "labelContrast"}},
        {"autostart.html", {"checkboAutostart"}},
        {"defval.html", {"buttonDefaults"}},
        {"maintenance.html", {"buttonMaintenancePos"}},
        {"input_output.html", {"inOutGroup", "TabIO"}},
        {"digin1.html", {"comboDigIn1", "labelDigIn1"}},
        {"digin2.html", {"comboDigIn2", "labelDigIn2"}},
        {"analin.html", {"comboAnalIn", "labelAnalIn"}},
        {"digout.html", {"comboDigOut", "labelDigOut"}},
        {"cycledose.html", {"tabCyclic"}},
        {"cycle.html", {"lineEditCycles", "labelCycles", "groupBoxCycles"}},
        {"breaktime.html",
         {"lineEditBreakTimeMin", "lineEditBreakTimeSec", "labelBreakTimeMin", "labelBreakTimeSec",
          "groupBoxPauseTime"}},
        {"status.html", {"groupStatus"}},
        {"motormotion.html", {"labelMotorMotionIcon", "labelMotorMotionText"}},
        {"motoradj.html", {"labelMotorAdjustedIcon", "labelMotorAdjustedText"}},
        {"motordc.html", {"labelMotorLowerDCIcon", "labelMotorLowerDCText"}},
        {"in1low.html", {"labelInput1ActiveIcon", "labelInput1ActiveText"}},
        {"runmodeactive.html", {"labelRunModeActiveIcon", "labelRunModeActiveText"}},
        {"dispmodeactive.html", {"labelDispenseModeActiveIcon", "labelDispenseModeActiveText"}},
        {"masterstopactive.html", {"labelMasterStopActiveIcon", "labelMasterStopActiveText"}},
        {"in12ow.html", {"labelInput2ActiveIcon", "labelInput2ActiveText"}},
        {"pumperror.html", {"labelPumpFaultIcon", "labelPumpFaultText"}},
        {"displayon.html", {"labelDisplayOnIcon", "labelDisplayOnText"}},
        {"errorflags.html", {"groupFaults"}},
        {"noerror.html", {"labelErrorNoneIcon", "labelErrorNoneText"}},
        {"overpressure.html", {"labelErrorOverpressureIcon", "labelErrorOverpressureText"}},
        {"motoradjustment.html", {"labelErrorMotorNotAdjIcon", "labelErrorMotorNotAdjText"}},
        {"noencodersignal.html",
         {"labelErrorNoEncoderSignalIcon", "labelErrorNoEncoderSignalText"}},
        {"signal4_20mAtoolow.html", {"labelError4_20mATooLowIcon", "labelError4_20mATooLowText"}},
        {"powersupplyfail.html",
         {"labelErrorPowerSupplyFailureIcon", "labelErrorPowerSupplyFailureText"}},
        {"maximumtempexceeded.html",
         {"labelErrorMaxTempExceededIcon", "labelErrorMaxTempExceededText"}},
        {"comm.html", {"TabCommunication"}},
        {"general.html", {"groupComm"}},
        {"commaddress.html", {"labelCommAddress", "comboCommAddress"}},
        {"pumpaddress.html", {"labelPumpAddress", "comboPumpAddress"}},
        {"testpump.html", {"buttonTestComm"}},
        {"locatedaddress.html", {"labelLocatedAddress", "labelLocatedAddressIndicator"}},
        {"searchpump.html", {"buttonSearchPump"}},
        {"command.html", {"lineEditDiscreteCommand", "labelDiscreteCommand"}},
        {"protocolanswer.html", {"checkboProtAnswer"}},
        {"unusedlrc.html", {"checkboUnusedLRC"}},
        {"incorrectlrc.html", {"checkboIncorrectLRC"}},
        {"nocyclicdata.html", {"checkboNoDataUpdate"}},
        {"comport.html", {"labelCommuncationPort", "listWidgetComPorts"}},
        {"comportupdate.html", {"buttonUpdatePorts"}},
        {"commmessage.html",
         {"textEditRxData", "textEditTxData", "labelTxData", "labelRxData", "messagesGroup"}},
        {"nocyclicdatadisp.html", {"checkboNoCyclicDataDisplay"}},
        {"clearall.html", {"buttonClearAll"}},
        {"network.html",
         {"groupNetwork", "labelBroker", "lineEditBroker", "labelPumpId", "lineEditPumpId",
          "buttonNetworkConnect", "checkboAllowControl", "checkboAllowConfig", "labelNetworkState",
          "labelNetMark", "labelRemoteMark"}},
        {"program.html", {"tabProgram"}},
        {"programsteps.html",
         {"tableProgramSteps", "buttonProgramAddStep", "buttonProgramRemoveStep",
          "buttonProgramStepUp", "buttonProgramStepDown", "labelProgramName",
          "lineEditProgramName"}},
        {"programfile.html",
         {"buttonProgramNew", "buttonProgramOpen", "buttonProgramSave", "buttonProgramSaveAs",
          "labelProgramFile"}},
        {"programcheck.html", {"labelProgramCheck", "listProgramErrors"}},
        {"programrun.html",
         {"buttonProgramRun", "buttonProgramPause", "buttonProgramStop", "buttonProgramContinue",
          "labelProgramPrompt"}},
        {"programprogress.html", {"progressProgram", "labelProgramState", "labelProgramMark"}},
        {"journal.html",
         {"tabJournal", "buttonJournalRuns", "buttonJournalChanges", "labelJournalPeriod",
          "comboJournalPeriod", "labelJournalKind", "comboJournalKind", "labelJournalPump",
          "comboJournalPump", "tableJournalRuns", "tableJournalChanges", "labelJournalState",
          "buttonJournalShowOnChart", "labelJournalChart"}},
        {"chart.html", {"tabChart"}},
        {"record.html",
         {"buttonRecord", "buttonRecordTo", "buttonStopRecording", "labelRecordState",
          "labelRecordMark"}},
        {"recordfile.html", {"labelRecordFile", "labelRecordRows"}},
        {"processchart.html", {"chartProcess"}},
        {"chartview.html", {"buttonChartFitAll", "buttonChartFollow"}},
        {"saveimage.html", {"buttonChartSaveImage"}},
        {"service.html", {"tabService", "buttonCalibrateByWeight"}},
        {"help.html", {"tabHelp"}},
        {"halvodocumentation.html", {"companyLogo"}},
    };
    return map;
}
