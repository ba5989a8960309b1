#pragma once

#include "journal/JournalTotals.h"

#include <QObject>
#include <QPointer>
#include <QString>

class PumpCore;
class PumpStateLine;
class QLabel;

// The window's pump's totals and its service thresholds, read from the journal when the window
// starts and whenever a run of that pump ended or a service was recorded (never on a poll).
// When a threshold is reached, a SERVICE DUE mark stands beside the feedback line, where it
// hides no message of the pump's, and the state line says so too.
class ServiceReminder : public QObject
{
    Q_OBJECT

public:
    // feedbackLabel: the line the mark goes beside; stateLine may be null.
    ServiceReminder(PumpCore &core, QLabel *feedbackLabel, PumpStateLine *stateLine,
                    QObject *parent = nullptr);

    const JournalTotals &totals() const { return current; }
    const JournalTotals::Thresholds &thresholds() const { return limits; }
    QLabel *mark() const { return dueMark; }
    // What the mark says; empty while no threshold is reached.
    static QString dueText(const JournalTotals &totals, const JournalTotals::Thresholds &limits);
    // Each threshold and how far the pump is, for the mark's tool tip.
    static QString dueDetail(const JournalTotals &totals, const JournalTotals::Thresholds &limits);

public slots:
    // Reads the journal and the thresholds again.
    void refresh();
    // Stores new thresholds for the pump and judges them at once.
    void setThresholds(const JournalTotals::Thresholds &limits);

signals:
    void updated(const JournalTotals &totals, const JournalTotals::Thresholds &limits);

private:
    void show();

    PumpCore &core;
    QPointer<QLabel> dueMark;
    QPointer<PumpStateLine> stateLine;
    JournalTotals current;
    JournalTotals::Thresholds limits;
};
