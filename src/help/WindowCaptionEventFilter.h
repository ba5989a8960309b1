#pragma once

#include <QObject>
#include <QRect>

class HelpHost;
class QWidget;

// Watches every object of the application: a press on the caption's help button enters What's
// This mode; a What's This request gives the widget its help page as text; a link clicked in that
// pop-up opens the page in the Help tab.
class WindowCaptionEventFilter : public QObject
{
    Q_OBJECT

public:
    WindowCaptionEventFilter(QWidget *window, HelpHost *host);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // The help button's rectangle, measured from the window's right edge (x) and upwards from the
    // client area (y), for a logical resolution in dots per inch.
    static QRect helpButtonRect(int dotsPerInch);
    QRect helpButton() const { return rect; }

private:
    QRect rect;
    QWidget *window;
    HelpHost *host;
    int lastPressX = 0;
    int lastPressY = 0;
    int dotsPerInch = 96;
};
