#include "app/WindowStartup.h"

#include "help/HelpContent.h"
#include "help/WindowCaptionEventFilter.h"
#include "pumpcore/PumpCore.h"
#include "ui/LanguageChoice.h"
#include "ui/ProcessData.h"
#include "ui/WindowLook.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QGroupBox>
#include <QTabWidget>

#include <cstdio>

WindowStartup::WindowStartup(PumpCore &core, ProgramRunner &runner, QApplication &application,
                             const QString &recordFile)
    : mainWindow(std::make_unique<mainForm>(core, runner, &application))
{
    for (BusinessLogic::Command *command : core.table()) {
        if (command != nullptr)
            mainWindow->addCommand(command);
    }
    // At the foot of the Settings tab, below the pump's own settings (its display language
    // among them), where the tab has room to spare.
    QWidget *above = mainWindow->findChild<QGroupBox *>(QStringLiteral("groupAdvanced"));
    new LanguageChoice(above, above != nullptr ? above->parentWidget() : mainWindow.get());
    captionFilter = new WindowCaptionEventFilter(mainWindow.get(), mainWindow.get());
    application.installEventFilter(captionFilter);
    helpMap = std::make_unique<HelpContent>(mainWindow.get(), mainWindow.get());
    if (auto *tabs = mainWindow->findChild<QTabWidget *>(QStringLiteral("TabsExtendedSettings")))
        WindowLook::fitTabTitles(*tabs);
    mainWindow->startUp();
    mainWindow->startUpdateTimer();
    // An unattended run must not go unrecorded unnoticed: the reason goes to the terminal too,
    // besides the window.
    if (!recordFile.isEmpty() && !mainWindow->processData()->record(recordFile))
        std::fprintf(stderr, "dosetta: %s\n",
                     qPrintable(mainWindow->processData()->recorder().reason()));
}

WindowStartup::~WindowStartup()
{
    helpMap.reset();
    mainWindow.reset();
}
