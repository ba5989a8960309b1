#include "ui/FeedbackRoom.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

FeedbackRoom::FeedbackRoom(QWidget *window)
    : QObject(window)
    , window(window)
{
    window->installEventFilter(this);
}

void FeedbackRoom::fit()
{
    QLayout *layout = window->layout();
    if (layout == nullptr)
        return;
    const int need = layout->hasHeightForWidth() ? layout->totalHeightForWidth(window->width())
                                                 : layout->totalMinimumSize().height();
    if (need > window->height())
        window->resize(window->width(), need);
}

bool FeedbackRoom::eventFilter(QObject *watched, QEvent *event)
{
    // Before the layout acts on the request, so that it lays out the taller window at once.
    if (watched == window && event->type() == QEvent::LayoutRequest)
        fit();
    return false;
}
