#pragma once

#include <QObject>

#include <vector>

class HelpHost;
class QShortcut;
class QWidget;

// Tags every widget that has a help page with the page's name, and opens help with F1 (and What's
// This mode with Shift+F1, for window managers that keep the caption's help button to themselves).
class HelpContent : public QObject
{
    Q_OBJECT

public:
    struct Page
    {
        const char *page;
        std::vector<const char *> widgets; // object names
    };

    HelpContent(QWidget *window, HelpHost *host);

    // The page map: each page and the widgets that carry it.
    static const std::vector<Page> &pages();

private:
    QShortcut *helpShortcut;
    QShortcut *whatsThisShortcut;
};
