#pragma once

#include "pumpcore/RequestOrigin.h"

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// A program's state and progress as every front-end shows it.
struct ProgramStatus
{
    // Ending: the program is over and the pump was told to stop; its count is being read once
    // more, and the state it ended in follows with that count.
    enum class State { Idle, Running, Paused, WaitingForOperator, Ending, Done, Stopped, Failed };
    // What made a program fail, for front-ends that answer each cause differently.
    enum class Fault {
        None,
        PumpError, // the pump set an error flag
        Refused,   // the pump refused one of the program's commands
        LinkLost,  // the pump stopped answering, or the link was lost too long
        Other      // the pump stopped short of the step's end, a command was dropped, ...
    };

    // Why it ended, whichever state that left it in.
    enum class Cause {
        None,
        Done,        // every step ran
        ProgramStop, // the program's own stop(), as its front-ends ask for it
        OutsideStop, // a Stop to the pump from any source: the window, the tool, MQTT, SiLA
        PumpError,   // the pump set an error flag
        Refused,     // the pump refused one of the program's commands
        LinkLost,    // the pump stopped answering, or the link was lost too long
        Released,    // the front-end left the run to the pump once it had started
        Other        // the pump stopped short of the step's end, a command was dropped, ...
    };

    // "idle", "running", "paused", "waiting", "ending", "done", "stopped", "failed".
    static QString stateName(State state);
    // "done", "program-stop", "outside-stop", "pump-error", "refused", "link-lost", "released",
    // "other".
    static QString causeName(Cause cause);

    State state = State::Idle;
    QString reason;            // why it ended, when stopped or failed
    Fault fault = Fault::None; // when failed
    QString name;              // the program's
    int position = 0; // 1-based position of the current step once unrolled; 0 before the first
    int total = 0;    // steps once unrolled
    QString path;     // the current step's path in the file: "steps[2].repeat.steps[0]"
    QString label;    // "3.1 dose, pass 2/3"
    double stepProgress = 0; // 0 to 1, from the pump's own counters
    // The program's, 0 to 1, by time (ProgramProgress): a step that ends early moves it to the
    // step's end.
    double progress = 0;
    qint64 elapsedMs = 0;      // since the program started, pauses included
    double volumeMl = 0;       // delivered so far, as the pump reported it
    Cause cause = Cause::None; // once ending
    // Once ended: the pump's count was read after it stopped. When not (silence, a lost link),
    // volumeMl is the last count the pump reported and the reason says so.
    bool finalCountRead = false;
    QString runId;           // the journal's id of this run
    RequestOrigin origin;    // who asked for it
    RequestOrigin stoppedBy; // once stopped: whose Stop ended it
    QStringList errorFlags;  // once failed with a pump error: the flags the pump named

    // Running, paused, waiting for the operator, or ending: nothing else may start yet.
    bool active() const
    {
        return state == State::Running || state == State::Paused ||
               state == State::WaitingForOperator || state == State::Ending;
    }
    bool ended() const
    {
        return state == State::Done || state == State::Stopped || state == State::Failed;
    }
    // The MQTT program topic's and the tool's --json shape: state, name, position, total, path,
    // step (the label), step_progress, progress (0 to 1, by time), elapsed_s, volume_ml, reason
    // once it ended so, cause from ending on, and final_count_read once ended; run_id, origin,
    // stopped_by once stopped from outside, flags once the pump named its error.
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(ProgramStatus)
