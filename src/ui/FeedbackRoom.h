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
    explicit FeedbackRoom(QWidget *window);

    // Makes the window tall enough for what its layout needs at its width.
    void fit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window = nullptr;
};
