#include "ui/WindowAids.h"

#include "pumpcore/PumpCore.h"
#include "ui/ControlHints.h"
#include "ui/EntryRevert.h"
#include "ui/ErrorBanner.h"
#include "ui/MouseEventLineEdit.h"
#include "ui/OrphanPrompt.h"
#include "ui/ProgramMark.h"
#include "ui/PumpStateLine.h"
#include "ui/ServiceReminder.h"
#include "ui/ServiceTab.h"
#include "ui/WheelGuard.h"
#include "ui_mainForm.h"

#include <QWidget>

void WindowAids::install(QWidget *window, Ui::mainScreen &ui, EditedFields &edited, PumpCore &core,
                         ProgramRunner &runner)
{
    auto *stateLine = new PumpStateLine(ui.labelUserAction, core, window);
    new ErrorBanner(ui.labelUserAction, core, window);
    new ProgramMark(ui.labelTransmissionState, runner, window);
    // Before the guard, which covers the fields there are when it is installed.
    auto *reminder = new ServiceReminder(core, ui.labelTransmissionState, stateLine, window);
    ServiceTab::addTo(ui.TabsExtendedSettings, ui.tabHelp, core, runner, *reminder);
    (new WheelGuard(window))->guard(window);
    new EntryRevert(edited, window->findChildren<MouseEventLineEdit *>(), window);
    new ControlHints(ui, window);
    new OrphanPrompt(window, core, runner);
}

void WindowAids::detach(QObject &window)
{
    for (QObject *child : window.findChildren<QObject *>())
        QObject::disconnect(child, nullptr, &window, nullptr);
}
