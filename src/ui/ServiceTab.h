#pragma once

#include "journal/JournalTotals.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class CalibrationWizard;
class ProgramRunner;
class PumpCore;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTableWidget;
class ServiceReminder;

// The Service tab: the window's pump's totals over its life and since its last service, its
// service thresholds, a service recorded in the journal (after the Maintenance position too),
// calibration by weighing and the pump's last calibrations.
class ServiceTab : public QWidget
{
    Q_OBJECT

public:
    // Calibrations the tab lists, newest first.
    static constexpr int CalibrationRows = 10;

    ServiceTab(PumpCore &core, ProgramRunner &runner, ServiceReminder &reminder,
               QWidget *parent = nullptr);

    // A new tab in tabs, before the widget before (at the end when it is not there).
    static ServiceTab *addTo(QTabWidget *tabs, QWidget *before, PumpCore &core,
                             ProgramRunner &runner, ServiceReminder &reminder);

    // Writes a service of the part ("diaphragm", "valves", or empty for the pump as a whole) to
    // the journal as the operator's; false when there is no journal to write to.
    bool recordService(const QString &part);
    CalibrationWizard *openWizard();
    // The question after the Maintenance position, while it is open.
    QMessageBox *serviceOffer() const { return offer; }

private:
    void showTotals(const JournalTotals &totals, const JournalTotals::Thresholds &limits);
    void saveThresholds();
    void offerService();
    void refreshCalibrations();

    PumpCore &core;
    ProgramRunner &runner;
    ServiceReminder &reminder;
    QLabel *pumpLabel = nullptr;
    QLabel *totalsLabel = nullptr;
    QLineEdit *volumeEdit = nullptr;
    QLineEdit *hoursEdit = nullptr;
    QComboBox *partBox = nullptr;
    QLabel *feedback = nullptr;
    QTableWidget *calibrations = nullptr;
    QPointer<CalibrationWizard> wizard;
    QPointer<QMessageBox> offer;
};
