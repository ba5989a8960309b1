#pragma once

#include <QString>

#include <memory>
#include <vector>

class Communication;
class HelpContent;
class QApplication;
class WindowCaptionEventFilter;
class mainForm;

namespace BusinessLogic {
class Command;
class LoggingCommandStack;
} // namespace BusinessLogic

namespace GUI {
class RefreshTimer;
}

// Everything between the core objects and the event loop: the refresh timer, the main window with
// every command filed, the caption filter, the help map, the first link check and the update
// timer, and the recording the command line asked for. Destroyed in reverse: help map, main
// window (which ends a recording), refresh timer.
class WindowStartup
{
public:
    // recordFile: the file --record names, or empty.
    WindowStartup(BusinessLogic::LoggingCommandStack &stack,
                  std::vector<BusinessLogic::Command *> &commandTable, QApplication &application,
                  Communication &link, const std::vector<BusinessLogic::Command *> &commands,
                  const QString &recordFile = QString());
    ~WindowStartup();

    WindowStartup(const WindowStartup &) = delete;
    WindowStartup &operator=(const WindowStartup &) = delete;

    mainForm *window() const { return mainWindow.get(); }
    GUI::RefreshTimer *refresher() const { return refreshTimer.get(); }

private:
    std::unique_ptr<GUI::RefreshTimer> refreshTimer;
    std::unique_ptr<mainForm> mainWindow;
    WindowCaptionEventFilter *captionFilter = nullptr; // child of the window
    std::unique_ptr<HelpContent> helpMap;
};
