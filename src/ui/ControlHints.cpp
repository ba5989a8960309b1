#include "ui/ControlHints.h"

#include "ui_mainForm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QShortcut>

namespace {

// The window's texts share the form's translation context.
QString screenText(const char *text)
{
    return QCoreApplication::translate("mainScreen", text);
}

} // namespace

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
    ui.buttonStart->setToolTip(
        screenText("Start the pump with the set-point and dispense time shown; after a pause, "
                   "continue the run"));
    ui.buttonStop->setToolTip(
        screenText("Stop the pump at once (%1)").arg(stopKey().toString(QKeySequence::NativeText)));
    ui.buttonPrime->setToolTip(
        screenText("Prime: run at full speed to fill the tubing and drive out air, until Stop"));
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
        tabs->isHidden()
            ? screenText("Show the advanced screen: settings, status, communication and help")
            : screenText("Hide the advanced screen"));
}
