#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>

class QShortcut;
class QWidget;

namespace Ui {
class mainScreen;
}

// Tooltips for the controls that say little by themselves (the arrow that unfolds the advanced
// screen, Start, Stop and Prime), and the Stop key, which works on every tab and in every field.
class ControlHints : public QObject
{
    Q_OBJECT

public:
    // Ctrl+. (period): one chord on every keyboard, used by no field, list or text view of the
    // window, and clear of F1 (help), Escape (cancels an entry) and Ctrl+Space (switches the
    // input method on many desktops).
    static QKeySequence stopKey();

    // window: where the Stop key listens; the hints live as long as it.
    ControlHints(Ui::mainScreen &ui, QWidget *window);

protected:
    // The arrow's tooltip says what a click does now: show or hide the advanced screen.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void describeArrow();

    // Not the form itself: the window frees its form before its children, and the arrow's
    // events reach this filter while it goes. Widgets, not buttons: in its last events the arrow
    // is only a widget.
    QPointer<QWidget> arrow;
    QPointer<QWidget> tabs;
    QShortcut *stopShortcut = nullptr;
};
