#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "app/WindowStartup.h"
#include "serial/Communication.h"

#include <QApplication>
#include <QGuiApplication>

#include <vector>

// Builds the object graph in a fixed order, runs the event loop, and tears everything down in
// reverse: the commands after the stack and before the link they point to.
int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(dosetta);
    // The look comes from the program's own style sheets, not from the desktop.
    QGuiApplication::setDesktopSettingsAware(false);
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        Communication link;
        BusinessLogic::CommandSet commands(&link);
        BusinessLogic::LoggingCommandStack stack;
        std::vector<BusinessLogic::Command *> commandTable(BusinessLogic::CommandTableSize,
                                                           nullptr);
        {
            WindowStartup startup(stack, commandTable, application, link, commands.commands());
            exitCode = QApplication::exec();
        }
    }
    Q_CLEANUP_RESOURCE(dosetta);
    return exitCode;
}
