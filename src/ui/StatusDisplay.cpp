#include "ui/StatusDisplay.h"

#include "ui/WidgetWrite.h"

#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "pump/StatusFlags.h"
#include "pump/TimeDisplay.h"
#include "ui_mainForm.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>

StatusDisplay::StatusDisplay(Ui::mainScreen &ui, QWidget &window, const OperationItemStatus &status,
                             const OperationItemTimeElapsed &elapsed)
    : ui(ui)
    , window(window)
    , status(status)
    , elapsed(elapsed)
    , greenBullet(QStringLiteral(":/Images/Images/1406229038_bullet-green.png"))
    , greyBullet(QStringLiteral(":/Images/Images/1406229026_bullet-grey.png"))
    , redBullet(QStringLiteral(":/Images/Images/bullet-red.png"))
{}

void StatusDisplay::update()
{
    updateIcons();
    updateTime();
}

void StatusDisplay::dimWhenStale(QWidget *widget, bool current)
{
    // An opacity effect leaves the widget's own style sheet alone.
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    if (current) {
        if (effect != nullptr)
            widget->setGraphicsEffect(nullptr);
        return;
    }
    if (effect == nullptr) {
        effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(0.35);
        widget->setGraphicsEffect(effect);
    }
}

void StatusDisplay::setIcon(QLabel *icon, bool lit, bool alarm)
{
    // A lit error in green would read as all right.
    const QPixmap &bullet = !lit ? greyBullet : alarm ? redBullet : greenBullet;
    // Compare by identity: setting the same pixmap again would repaint for nothing.
    const QPixmap current = icon->pixmap(Qt::ReturnByValue);
    if (current.cacheKey() != bullet.cacheKey())
        icon->setPixmap(bullet);
}

void StatusDisplay::updateIcons()
{
    // A group whose last answer was not heard lights nothing.
    const bool moving = status.liveWord(1) & 1;
    if (moving && !motorRunning)
        runSeen = true; // a start of motion, even from the pump's own keypad
    motorRunning = moving;
    if (flagIcons.empty()) {
        for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags())
            flagIcons.push_back(window.findChild<QLabel *>(QLatin1String(flag.iconLabel)));
    }
    for (std::size_t i = 0; i < flagIcons.size(); ++i) {
        const Pump::StatusFlags::Flag &flag = Pump::StatusFlags::flags()[i];
        setIcon(flagIcons[i], Pump::StatusFlags::lit(flag, status.liveWord(flag.group)),
                Pump::StatusFlags::alarm(flag));
    }
    setIcon(ui.labelErrorNoneIcon,
            status.groupCurrent(Pump::StatusFlags::ErrorGroup) &&
                Pump::StatusFlags::noError(status.liveWord(Pump::StatusFlags::ErrorGroup)));
}

void StatusDisplay::updateTime()
{
    const Pump::TimeDisplay::Labels labels = Pump::TimeDisplay::compute(
        motorRunning, ui.lineEditTimeHour->text(), ui.lineEditTimeMin->text(),
        ui.lineEditTimeSec->text(), elapsed.text());
    WidgetWrite::setText(ui.labelTimeActualHour, labels.hours);
    WidgetWrite::setText(ui.labelTimeActualMin, labels.minutes);
    WidgetWrite::setText(ui.labelTimeActualSec, labels.seconds);
    for (QWidget *w : {ui.labelTimeActualHour, ui.labelTimeActualMin, ui.labelTimeActualSec})
        dimWhenStale(w, elapsed.current());
    if (!motorRunning) {
        if (runSeen) {
            ui.stackedButtonStartPause->setCurrentWidget(ui.pageStart);
            runSeen = false;
        }
    } else if (runSeen) {
        ui.stackedButtonStartPause->setCurrentWidget(ui.pagePause);
    }
}
