#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class EditedFields;
class MouseEventLineEdit;
class QLabel;
class QWidget;

namespace Pump {
class PumpItems;
}

namespace Ui {
class mainScreen;
}

// A rate beside the dispense time in volume dosing: "5 ml at 10 ml/min" without working out the
// time by hand. The pump takes no rate in this mode, only the time: a typed rate sets the time
// fields by the dose's own rule and sends them as a typed time would; the field shows the rate
// the time in the fields means (volume / time), empty while either is unknown.
class DispenseRateEntry : public QObject
{
    Q_OBJECT

public:
    // sendTime: sends the time fields as the operator's entry (the window's own slot for them).
    DispenseRateEntry(Ui::mainScreen &ui, EditedFields &edited, Pump::PumpItems &items,
                      std::function<void()> sendTime, QObject *parent = nullptr);

    // The rate's text for a volume in thousandths of a ml over whole seconds; empty for no time.
    static QString rateText(int volume, int seconds);
    MouseEventLineEdit *field() const { return rate; }

    // After each display update: shown in volume mode only, and the rate the time means.
    void refresh();

private:
    void typed();
    // Why nothing went out; empty when the time fields went.
    QString setTime(const QString &text);

    Ui::mainScreen &ui;
    EditedFields &edited;
    Pump::PumpItems &items;
    std::function<void()> sendTime;
    QPointer<QWidget> frame;
    QPointer<MouseEventLineEdit> rate;
};
