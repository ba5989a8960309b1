#pragma once

#include "recorder/ProcessSample.h"
#include "recorder/RunStateJudge.h"

#include <QObject>
#include <QPointer>
#include <QString>

class PumpCore;
class QLabel;

// The compact screen's standing line of what the pump does: "RUNNING", "PAUSED", "PRIMING",
// "STOPPED", or "DOSE DONE: 5.000 ml in 00:00:30". It shows the recorder's judgement of each
// sample (what the pump reports and the run key it took last), so the line and the file's
// run_state column never disagree. Empty while the pump's state is not known.
class PumpStateLine : public QObject
{
    Q_OBJECT

public:
    // The line goes above that label, in its frame.
    PumpStateLine(QLabel *above, PumpCore &core, QObject *parent = nullptr);

    static QString text(const ProcessSample &sample, RunStateJudge::Key lastAccepted);
    QLabel *label() const { return line; }
    // A lasting note after the state ("SERVICE DUE"), until it is set empty.
    void setNote(const QString &text);

private:
    void show(const ProcessSample &sample);

    PumpCore &core;
    QPointer<QLabel> line;
    QString stateText;
    QString note;
};
