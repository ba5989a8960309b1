#include "app/WindowStartup.h"

#include "help/HelpContent.h"
#include "help/WindowCaptionEventFilter.h"
#include "pumpcore/PumpCore.h"
#include "ui/LanguageChoice.h"
#include "ui/ProcessData.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QGroupBox>

#include <cstdio>

WindowStartup::WindowStartup(PumpCore &core, ProgramRunner &runner, QApplication &application,
                             const QString &recordFile)
    : mainWindow(std::make_unique<mainForm>(core, runner, &application))
{
    for (BusinessLogic::Command *command : core.table()) {
        if (command != nullptr)
            mainWindow->addCommand(command);
    }
    // Under the network group on the Communication tab, or under the port's group without it.
    QWidget *above = mainWindow->findChild<QGroupBox *>(QStringLiteral("groupNetwork"));
    if (above == nullptr)
        above = mainWindow->findChild<QGroupBox *>(QStringLiteral("groupComm"));
    new LanguageChoice(above, above != nullptr ? above->parentWidget() : mainWindow.get());
    captionFilter = new WindowCaptionEventFilter(mainWindow.get(), mainWindow.get());
    application.installEventFilter(captionFilter);
    helpMap = std::make_unique<HelpContent>(mainWindow.get(), mainWindow.get());
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
