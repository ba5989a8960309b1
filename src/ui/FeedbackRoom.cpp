#include "ui/FeedbackRoom.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

FeedbackRoom::FeedbackRoom(QWidget *window, QWidget *panel)
    : QObject(window)
    , window(window)
    , panel(panel)
{
    window->installEventFilter(this);
}

void FeedbackRoom::fit()
{
    QLayout *layout = panel->layout();
    if (layout == nullptr)
        return;
    const int need = layout->hasHeightForWidth() ? layout->totalHeightForWidth(panel->width())
                                                 : layout->totalMinimumSize().height();
    // The rest of the window keeps its height: a tab taller than the panel leaves it alone.
    if (need > panel->height())
        window->resize(window->width(), window->height() + need - panel->height());
}

bool FeedbackRoom::eventFilter(QObject *watched, QEvent *event)
{
    // Before the layout acts on the request, so that it lays out the taller window at once.
    if (watched == window && event->type() == QEvent::LayoutRequest)
        fit();
    return false;
}
