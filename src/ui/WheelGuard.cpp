#include "ui/WheelGuard.h"

#include "ui/MouseEventLineEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QWidget>

namespace {

// The part of Qt::WheelFocus beyond Qt::StrongFocus.
constexpr int wheelFocusBit = Qt::WheelFocus & ~Qt::StrongFocus;

} // namespace

WheelGuard::WheelGuard(QObject *parent)
    : QObject(parent)
{}

void WheelGuard::guard(QWidget *root)
{
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        const bool pick = qobject_cast<QComboBox *>(widget) || qobject_cast<QCheckBox *>(widget);
        // The field steps only while focused, by its own rule; the guard only keeps the wheel
        // from focusing it.
        if (!pick && !qobject_cast<MouseEventLineEdit *>(widget))
            continue;
        // A list takes the focus from a wheel turn by default; the focus would also end an entry
        // under way in another field, and send it.
        widget->setFocusPolicy(
            static_cast<Qt::FocusPolicy>(widget->focusPolicy() & ~wheelFocusBit));
        if (pick)
            widget->installEventFilter(this);
    }
}

bool WheelGuard::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return false;
    // Untaken, the application offers the turn to the parent widgets.
    event->ignore();
    return true;
}
