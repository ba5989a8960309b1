#pragma once

#include <QPixmap>

#include <vector>

class OperationItemStatus;
class OperationItemTimeElapsed;
class QLabel;
class QWidget;

namespace Ui {
class mainScreen;
}

// The status tab's bullets (green, or red for a lit error) and the elapsed-time labels with the
// Start/Pause page, as the status and elapsed-time items report them. A start of motion is noticed
// whoever started it.
class StatusDisplay
{
public:
    StatusDisplay(Ui::mainScreen &ui, QWidget &window, const OperationItemStatus &status,
                  const OperationItemTimeElapsed &elapsed);

    void update();

    // Readings that are no longer live are dimmed.
    static void dimWhenStale(QWidget *widget, bool current);

private:
    void updateIcons();
    void updateTime();
    void setIcon(QLabel *icon, bool lit, bool alarm = false);

    Ui::mainScreen &ui;
    QWidget &window;
    const OperationItemStatus &status;
    const OperationItemTimeElapsed &elapsed;
    bool motorRunning = false;
    bool runSeen = false;
    QPixmap greenBullet;
    QPixmap greyBullet;
    QPixmap redBullet;
    // The bullets of the status and error flags, in the order of their table.
    std::vector<QLabel *> flagIcons;
};
