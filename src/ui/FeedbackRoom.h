#pragma once

#include <QObject>

class QWidget;

// Room for the feedback lines under the run buttons: a wrapped refusal or one more line makes the
// window taller rather than squeezing the rows above, so the buttons stay where the operator's
// hand expects them. A layout alone does not do it: a window's size ignores what wrapped labels
// need at its width.
class FeedbackRoom : public QObject
{
    Q_OBJECT

public:
    // panel: the part of the window that holds the run buttons and the feedback below them.
    FeedbackRoom(QWidget *window, QWidget *panel);

    // Makes the window tall enough for what the panel needs at its width, and no taller.
    void fit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window = nullptr;
    QWidget *panel = nullptr;
};
