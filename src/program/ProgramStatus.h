#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// A program's state and progress as every front-end shows it.
struct ProgramStatus
{
    enum class State { Idle, Running, Paused, WaitingForOperator, Done, Stopped, Failed };
    // What made a program fail, for front-ends that answer each cause differently.
    enum class Fault {
        None,
        PumpError, // the pump set an error flag
        Refused,   // the pump refused one of the program's commands
        LinkLost,  // the pump stopped answering, or the link was lost too long
        Other      // the pump stopped short of the step's end, a command was dropped, ...
    };

    // "idle", "running", "paused", "waiting", "done", "stopped", "failed".
    static QString stateName(State state);

    State state = State::Idle;
    QString reason;            // why it ended, when stopped or failed
    Fault fault = Fault::None; // when failed
    QString name;              // the program's
    int position = 0; // 1-based position of the current step once unrolled; 0 before the first
    int total = 0;    // steps once unrolled
    QString path;     // the current step's path in the file: "steps[2].repeat.steps[0]"
    QString label;    // "3.1 dose, pass 2/3"
    double stepProgress = 0; // 0 to 1, from the pump's own counters
    qint64 elapsedMs = 0;    // since the program started, pauses included
    double volumeMl = 0;     // delivered so far, as the pump reported it

    // Running, paused or waiting for the operator.
    bool active() const
    {
        return state == State::Running || state == State::Paused ||
               state == State::WaitingForOperator;
    }
    // The MQTT program topic's and the tool's --json shape: state, name, position, total, path,
    // step (the label), step_progress, elapsed_s, volume_ml, and reason once it ended so.
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(ProgramStatus)
