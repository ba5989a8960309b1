#include "ui/MouseEventLineEdit.h"

#include "pump/WheelStep.h"
#include "ui/ShownNumber.h"
#include "ui/StyleSheets.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>

MouseEventLineEdit::MouseEventLineEdit(QWidget *parent)
    : QLineEdit(parent)
    , frame(parent)
{
    elapsed.start();
    clock = [this] {
        return elapsed.elapsed();
    };
    restartWheelClock();
}

void MouseEventLineEdit::setClock(Clock newClock)
{
    clock = std::move(newClock);
    restartWheelClock();
}

qint64 MouseEventLineEdit::restartWheelClock()
{
    const qint64 now = clock();
    const qint64 interval = now - wheelClockStart;
    wheelClockStart = now;
    return interval;
}

bool MouseEventLineEdit::isDecimalField() const
{
    return objectName() == QLatin1String("lineEditVolume") ||
           objectName() == QLatin1String("lineEditCalVolume") ||
           objectName() == QLatin1String("lineEditDispenseRate");
}

void MouseEventLineEdit::mousePressEvent(QMouseEvent *event)
{
    // Swallowed: a click only focuses the field (done by the application before this handler),
    // it neither moves the caret nor starts a selection.
    Q_UNUSED(event)
}

void MouseEventLineEdit::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        // Let the page scroll; the next notch on the focused field counts as a slow one.
        event->ignore();
        restartWheelClock();
        return;
    }
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0) {
        // Touchpad phase begin/end events carry no movement.
        event->accept();
        return;
    }

    Pump::WheelStep result;
    if (isDecimalField()) {
        lastInterval = std::clamp<qint64>(restartWheelClock(), 1, 1000);
        result = Pump::WheelStep::decimal(text(), delta, lastInterval, minimum, maximum);
        unit = result.unit;
        decadeExponent = result.exponent;
        inverseUnit = result.inverseUnit;
        speedFactor = result.speed;
    } else {
        lastInterval = restartWheelClock();
        unit = 1.0f;
        speedFactor = IntegerSpeedFactor;
        result = Pump::WheelStep::integer(text(), delta, IntegerSpeedFactor, minimum, maximum);
    }
    step = result.step;
    value = result.value;
    // Like typing: the value goes to the pump once, when the operator ends the edit (Return or
    // leaving the field), not at every notch on the way there.
    setText(ShownNumber::localized(result.text));
    event->accept();
}

void MouseEventLineEdit::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && hasFocus()) {
        // Giving up the focus already ended the edit (editingFinished); the line edit's own
        // Return handling would end it a second time and send the command twice.
        clearFocus();
        const QSignalBlocker once(this);
        QLineEdit::keyPressEvent(event);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void MouseEventLineEdit::focusInEvent(QFocusEvent *event)
{
    if (frame)
        frame->setStyleSheet(StyleSheets::frameFocused);
    QLineEdit::focusInEvent(event);
}

void MouseEventLineEdit::focusOutEvent(QFocusEvent *event)
{
    if (frame)
        frame->setStyleSheet(StyleSheets::frameUnfocused);
    QLineEdit::focusOutEvent(event);
}
