#pragma once

#include <QString>

#include <memory>

class HelpContent;
class ProgramRunner;
class PumpCore;
class QApplication;
class WindowCaptionEventFilter;
class mainForm;

// Everything between the pump core and the event loop: the main window with every command
// filed, the caption filter, the help map, the first link check and the update timer, and the
// recording the command line asked for. Destroyed in reverse: help map, then the main window
// (which ends a recording).
class WindowStartup
{
public:
    // recordFile: the file --record names, or empty.
    WindowStartup(PumpCore &core, ProgramRunner &runner, QApplication &application,
                  const QString &recordFile = QString());
    ~WindowStartup();

    WindowStartup(const WindowStartup &) = delete;
    WindowStartup &operator=(const WindowStartup &) = delete;

    mainForm *window() const { return mainWindow.get(); }

private:
    std::unique_ptr<mainForm> mainWindow;
    WindowCaptionEventFilter *captionFilter = nullptr; // child of the window
    std::unique_ptr<HelpContent> helpMap;
};
