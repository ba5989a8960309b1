#include "ui/WindowDetails.h"

#include "pumpcore/PumpCore.h"
#include "ui/DispenseRateEntry.h"
#include "ui/FeedbackRoom.h"
#include "ui/PortHint.h"
#include "ui/mainForm.h"
#include "ui_mainForm.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QSpacerItem>
#include <QTimer>

namespace {

// A border the operator sees on a button that has the keyboard focus; pressed keeps its look.
const QString focusRules = QStringLiteral(R"(
QPushButton:focus {
    border: 2px solid black;
}
QPushButton:focus:pressed {
    border: 2px inset grey;
})");

} // namespace

void WindowDetails::install(const Parts &parts)
{
    Ui::mainScreen &ui = parts.ui;
    mainForm *window = &parts.window;
    for (QLineEdit *field : {static_cast<QLineEdit *>(ui.lineEditTimeHour),
                             static_cast<QLineEdit *>(ui.lineEditTimeMin),
                             static_cast<QLineEdit *>(ui.lineEditTimeSec)}) {
        QObject::connect(field, &QLineEdit::textChanged, window, &mainForm::changeTime);
        QObject::connect(field, &QLineEdit::editingFinished, window,
                         &mainForm::launchCmdSetDispenseTime);
    }
    auto *rate = new DispenseRateEntry(
        ui, parts.edited, parts.core.items(), [window] { window->launchCmdSetDispenseTime(); },
        window);
    auto *hint = new PortHint(ui.labelUserAction, parts.core.link(),
                              !parts.portStored && !parts.core.link().portOpen, window);
    QObject::connect(&parts.updateTimer, &QTimer::timeout, rate, &DispenseRateEntry::refresh);
    QObject::connect(&parts.updateTimer, &QTimer::timeout, hint, &PortHint::refresh);

    ui.buttonMode->setStyleSheet(ui.buttonMode->styleSheet() + focusRules);
    ui.buttonAdvanced->setStyleSheet(QStringLiteral("QPushButton {\n") +
                                     ui.buttonAdvanced->styleSheet() + QStringLiteral("\n}") +
                                     focusRules);
    pinRunButtons(ui);
    new FeedbackRoom(&parts.window, ui.informationPanel);
}

void WindowDetails::pinRunButtons(Ui::mainScreen &ui)
{
    for (QWidget *row : {ui.frameSettingValues, ui.frameButtonsPrimary}) {
        QSizePolicy policy = row->sizePolicy();
        policy.setVerticalPolicy(QSizePolicy::Fixed);
        row->setSizePolicy(policy);
    }
    // Height the advanced screen has to spare goes below the feedback, not between the rows;
    // a line more makes the window taller.
    if (auto *grid = qobject_cast<QGridLayout *>(ui.informationPanel->layout()))
        grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0);
}
