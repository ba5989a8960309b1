#include "ui/ControlHints.h"

#include "ui_mainForm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QShortcut>

QKeySequence ControlHints::stopKey()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Period);
}

ControlHints::ControlHints(Ui::mainScreen &ui, QWidget *window)
    : QObject(window)
    , arrow(ui.buttonAdvanced)
    , tabs(ui.TabsExtendedSettings)
    , stopShortcut(new QShortcut(stopKey(), window))
{
    ui.buttonStart->setToolTip(QCoreApplication::translate(
        "mainScreen", "Start the pump with the set-point and dispense time shown; after a pause, "
                      "continue the run"));
    ui.buttonStop->setToolTip(
        QCoreApplication::translate("mainScreen", "Stop the pump at once (%1)")
            .arg(stopKey().toString(QKeySequence::NativeText)));
    ui.buttonPrime->setToolTip(QCoreApplication::translate(
        "mainScreen", "Prime: run at full speed to fill the tubing and drive out air, until Stop"));
    describeArrow();
    ui.buttonAdvanced->installEventFilter(this);

    // Application-wide like F1, so a focused field or list does not keep the key to itself.
    stopShortcut->setContext(Qt::ApplicationShortcut);
    connect(stopShortcut, &QShortcut::activated, ui.buttonStop, &QAbstractButton::click);
}

bool ControlHints::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == arrow)
        describeArrow();
    return false;
}

void ControlHints::describeArrow()
{
    if (arrow == nullptr || tabs == nullptr)
        return;
    arrow->setToolTip(
        tabs->isHidden() ? QCoreApplication::translate(
                               "mainScreen",
                               "Show the advanced screen: settings, status, communication and help")
                         : QCoreApplication::translate("mainScreen", "Hide the advanced screen"));
}
