#pragma once

#include <QUrl>

class QHelpEngine;

// What the help pieces need from the window that shows the Help tab.
class HelpHost
{
public:
    virtual ~HelpHost() = default;

    // Opens the Help tab (showing the advanced screen first) at the start page.
    virtual void activateHelp() = 0;
    // Selects the page in the contents tree and shows it in the browser.
    virtual void showHelpPage(const QUrl &url) = 0;
    virtual QHelpEngine *helpEngine() const = 0;
};
