#include "app/WindowStartup.h"

#include "BusinessLogic/Command.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "GUI/RefreshTimer.h"
#include "help/HelpContent.h"
#include "help/WindowCaptionEventFilter.h"
#include "serial/Communication.h"
#include "ui/ProcessData.h"
#include "ui/mainForm.h"

#include <QApplication>

#include <cstdio>

WindowStartup::WindowStartup(BusinessLogic::LoggingCommandStack &stack,
                             std::vector<BusinessLogic::Command *> &commandTable,
                             QApplication &application, Communication &link,
                             const std::vector<BusinessLogic::Command *> &commands,
                             const QString &recordFile)
    : refreshTimer(std::make_unique<GUI::RefreshTimer>(&stack, &commandTable))
    , mainWindow(std::make_unique<mainForm>(&stack, &commandTable, &application, refreshTimer.get(),
                                            &link))
{
    for (BusinessLogic::Command *command : commands)
        mainWindow->addCommand(command);
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
    refreshTimer.reset();
}
