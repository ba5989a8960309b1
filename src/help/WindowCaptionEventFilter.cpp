#include "help/WindowCaptionEventFilter.h"

#include "help/HelpCollection.h"
#include "help/HelpHost.h"

#include <QEvent>
#include <QHelpEngine>
#include <QMouseEvent>
#include <QWhatsThis>
#include <QWhatsThisClickedEvent>
#include <QWidget>

#include <cmath>

WindowCaptionEventFilter::WindowCaptionEventFilter(QWidget *window, HelpHost *host)
    : QObject(window)
    , window(window)
    , host(host)
{
    dotsPerInch = window->logicalDpiX();
    rect = helpButtonRect(dotsPerInch);
}

QRect WindowCaptionEventFilter::helpButtonRect(int d)
{
    const int left = d / 2;
    const int top = d * 10 / 96;
    const int right = left + d * 29 / 96 - 1;
    const int bottom = top + d * 21 / 96 - 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

bool WindowCaptionEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::NonClientAreaMouseButtonPress: {
        const auto *press = static_cast<QMouseEvent *>(event);
        lastPressX = window->minimumWidth() - static_cast<int>(std::lround(press->localPos().x()));
        lastPressY = -static_cast<int>(std::lround(press->localPos().y()));
        if (rect.contains(lastPressX, lastPressY))
            QWhatsThis::enterWhatsThisMode();
        return false;
    }
    case QEvent::WhatsThis: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget == nullptr || host->helpEngine() == nullptr)
            return false;
        const QString page = widget->property(HelpCollection::PageProperty).toString();
        // A widget without a page asks for the folder, whose data is empty: the request then
        // passes on to the parent widget.
        const QByteArray data = host->helpEngine()->fileData(HelpCollection::pageUrl(page));
        widget->setWhatsThis(QString::fromUtf8(data.constData()));
        return false;
    }
    case QEvent::WhatsThisClicked: {
        const auto *click = static_cast<QWhatsThisClickedEvent *>(event);
        const QUrl url(click->href());
        QWhatsThis::leaveWhatsThisMode();
        QWhatsThis::hideText();
        host->activateHelp();
        host->showHelpPage(url);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
