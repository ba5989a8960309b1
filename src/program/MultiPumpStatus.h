#pragma once

#include "program/ProgramStatus.h"
#include "pumpcore/RequestOrigin.h"

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <map>

// A program that drives several pumps, as every front-end shows it: its state and why it ended,
// and each pump's run as that pump's runner reports it.
struct MultiPumpStatus
{
    using State = ProgramStatus::State;
    using Cause = ProgramStatus::Cause;

    // Running, WaitingForOperator (a pump waits at one of the program's prompts), Ending (the
    // pumps were told to stop, their runs are closing), then Done, Stopped or Failed.
    State state = State::Idle;
    // Why it ended: the cause of the run that ended it, ProgramStop for the program's own stop.
    Cause cause = Cause::None;
    QString causePump; // whose run ended it; empty when every run was done or it was stopped
    QString reason;    // "B: the pump reports an error: Overpressure"
    QString name;
    QString programId; // the journal's: the program entry's program_id, each run's request
    RequestOrigin origin;
    RequestOrigin stoppedBy; // once stopped by its own stop()
    qint64 elapsedMs = 0;
    // 0 to 1 by time: each pump's run's progress, weighted by the time of its own steps.
    double progress = 0;
    QStringList pumps;                     // the program's, in its order
    std::map<QString, ProgramStatus> runs; // by pump: its run as its runner last reported it

    bool active() const
    {
        return state == State::Running || state == State::WaitingForOperator ||
               state == State::Ending;
    }
    bool ended() const
    {
        return state == State::Done || state == State::Stopped || state == State::Failed;
    }
    // What the pump delivered in this program: its run's count, once ended the pump's own
    // final count.
    double volumeMl(const QString &pump) const;

    // state, name, program_id, progress, elapsed_s, cause and cause_pump once ending, reason,
    // stopped_by, and pumps: each pump's run as ProgramStatus::toJson() gives it.
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(MultiPumpStatus)
