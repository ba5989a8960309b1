#pragma once

#include <QObject>

class QWidget;

// Keeps a stray turn of the mouse wheel from changing a setting. A list or a check box never
// takes the wheel: a list would send every step as a pick. A value field steps only while it has
// the keyboard focus, and no turn gives it (or a list) the focus. An untaken turn goes on to the
// widgets around, so a page scrolls where it can.
class WheelGuard : public QObject
{
    Q_OBJECT

public:
    explicit WheelGuard(QObject *parent = nullptr);

    // Guards every list, check box and value field under root, as the form has them now.
    void guard(QWidget *root);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
