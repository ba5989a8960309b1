#pragma once

#include <QElapsedTimer>
#include <QLineEdit>

#include <functional>

// A set-point field stepped by the mouse wheel. Each notch on the focused field changes the
// value by a resolution that follows the value's size (decimal fields) and an acceleration
// that follows the wheel's speed, clamps it to [minimum, maximum] and rewrites the text, as
// typing would; the edit ends, and the value is sent, on Return or when the field loses the
// focus. The parent is the frame that shows the focus.
class MouseEventLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    // Integer fields (time, cycles, pause, factory values) step by 1 + 9 * S^3 units; with S
    // fixed at 0 every notch is one unit, since their ranges are short and a jump would
    // overshoot.
    static constexpr double IntegerSpeedFactor = 0.0;

    // Milliseconds from an arbitrary, monotonic origin.
    using Clock = std::function<qint64()>;

    explicit MouseEventLineEdit(QWidget *parent = nullptr);

    // Replaces the wheel clock's time source and restarts the clock.
    void setClock(Clock clock);

    // Bounds of wheel stepping; the window sets them per field after building the screen.
    double minimum = 1.0;
    double maximum = 100.0;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

    QWidget *frame = nullptr;
    qint64 lastInterval = 0;
    float unit = 0.01f;
    double step = 0.0;
    double value = 0.0;
    int decadeExponent = 0;
    double inverseUnit = 1.0;
    double speedFactor = 0.0;

private:
    // Restarts the wheel clock and returns the milliseconds since its previous start.
    qint64 restartWheelClock();
    // True for the fields that step with decimals.
    bool isDecimalField() const;

    QElapsedTimer elapsed;
    Clock clock;
    qint64 wheelClockStart = 0;
};
