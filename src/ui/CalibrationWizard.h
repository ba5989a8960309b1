#pragma once

#include "pump/CalibrationByWeight.h"
#include "pumpcore/PumpCore.h"

#include <QDialog>

#include <vector>

class ProgramRunner;
struct ProgramStatus;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Calibration by weighing in the window: the operator doses a nominal volume into a vessel on a
// balance up to five times, through the window's runner; each mass is typed in or read from a
// balance on a serial port (tared before the dose, its stable weight after it). The table shows
// each delivered volume, the mean, the deviation and the spread; the new calibration factor goes
// to the pump only when the operator confirms it and only when it lies in the pump's range.
// Every calibration with at least one mass goes into the journal once, sent or not.
class CalibrationWizard : public QDialog
{
    Q_OBJECT

public:
    // The balance's answer to a zero or a stable weight, at most, unless set otherwise.
    static constexpr int BalanceMs = 10000;
    // The pump's answer to the read of its calibration, at most.
    static constexpr int ReadMs = 5000;

    CalibrationWizard(PumpCore &core, ProgramRunner &runner, QWidget *parent = nullptr);
    ~CalibrationWizard() override;

    const std::vector<double> &masses() const { return weighed; }
    // The factor the pump held when the wizard asked; 0 until it answered.
    double oldPercent() const { return before; }
    // The nominal volume the wizard proposes for this pump: its dose volume when set, within the
    // model's limits and the calibration's range.
    static double proposal(PumpCore &core);
    // A balance that settles slowly may be given longer (or a test less).
    void setBalanceTimeout(int ms) { balanceMs = ms; }

public slots:
    void done(int result) override;

signals:
    // The calibration went into the journal.
    void journaled();

private:
    void build();
    void readPercent();
    void dose();
    void startDose();
    void doseEnded(const ProgramStatus &status);
    void readBalance();
    void addTypedMass();
    void addMass(double grams);
    void removeLast();
    void confirm();
    void journal();
    void refresh();
    void say(const QString &text);

    QString balancePort() const;
    std::optional<double> nominal() const;
    std::optional<double> density() const;
    Pump::CalibrationByWeight::Result result() const;

    PumpCore &core;
    ProgramRunner &runner;
    std::vector<double> weighed;
    double before = 0;
    PumpCore::Ticket percentTicket = 0;
    PumpCore::Ticket checkTicket = 0; // the factor read back after the pump took it
    int balanceMs = BalanceMs;
    bool dosing = false;
    bool balanceBusy = false;
    bool sent = false;
    bool sending = false;
    bool recorded = false;
    QString pumpVerdict; // what became of the confirmed factor

    QLineEdit *nominalEdit = nullptr;
    QComboBox *fluidBox = nullptr;
    QLineEdit *densityEdit = nullptr;
    QComboBox *balanceBox = nullptr;
    QPushButton *doseButton = nullptr;
    QPushButton *stopButton = nullptr;
    QPushButton *readButton = nullptr;
    QLineEdit *massEdit = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;
    QTableWidget *table = nullptr;
    QLabel *summary = nullptr;
    QLabel *state = nullptr;
    QPushButton *confirmButton = nullptr;
};
