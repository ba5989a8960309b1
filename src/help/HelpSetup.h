#pragma once

class HelpBrowser;
class QHelpContentWidget;
class QHelpEngine;
class QObject;
class QUrl;
class QWidget;

// Builds the Help tab: the help engine over the collection, its contents tree beside a browser.
class HelpSetup
{
public:
    struct Parts
    {
        QHelpEngine *engine = nullptr;
        QHelpContentWidget *contents = nullptr;
        HelpBrowser *browser = nullptr;
    };

    // The engine gets engineParent; the contents tree and browser go into helpTab's new layout.
    static Parts build(QObject *engineParent, QWidget *helpTab);
    // Selects the page in the contents tree and shows it in the browser.
    static void showPage(const Parts &parts, const QUrl &url);
};
