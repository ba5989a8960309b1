#pragma once

#include "program/DosingProgram.h"
#include "program/PlannedStep.h"
#include "program/ProgramStatus.h"
#include "pumpcore/RequestOrigin.h"

#include <QObject>

#include <memory>
#include <vector>

class OutsideRuns;
class PumpCore;

// Runs one dosing program at a time on the pump core: its commands go through the core's
// arbiter in the program's lane, behind the local operator and the network and ahead of polls.
// A step's end is judged from the pump's own polled state (volume delivered, its elapsed time,
// the motor in motion), never from wall time alone. A Stop from any source ends the program;
// a pump error flag, a refused command or a link lost for more than LinkLossMs ends it as failed,
// after a Stop. However it ends, the program's volume is the pump's own count read after the
// pump stopped, and ended() comes only once that count is in (or could not be read), so that
// every front-end reports the same figure. Each run has an owner, the origin it was started
// with, and a record in the core's journal from its start to that count. Every host owns one
// beside its core, so that all its front-ends share it.
class ProgramRunner : public QObject
{
    Q_OBJECT

public:
    static constexpr int LinkLossMs = 3000;
    // How long an ending program waits for the pump's count after the Stop: the Stop's and the
    // two queries' exchanges, each bounded by the link's answer window, with room for a busy
    // queue.
    static constexpr int FinalCountMs = 3000;

    explicit ProgramRunner(PumpCore &core, QObject *parent = nullptr);
    ~ProgramRunner() override;

    // Starts a program that passed the file's checks; false, with the reason in *error, when a
    // program is already active or the program is empty.
    bool start(const DosingProgram &program, const RequestOrigin &origin, QString *error = nullptr);
    // With the core's current origin.
    bool start(const DosingProgram &program, QString *error = nullptr);
    // Holds the program and pauses the pump; resume() continues the current step with what
    // remains of it.
    void pause();
    void resume();
    // Ends a prompt step: the program goes on with the next step.
    void continuePrompt();
    // Ends the program and stops the pump (through the Stop lane); by whom, or the core's
    // current origin.
    void stop(const RequestOrigin &by = RequestOrigin());
    // Stops following the run without a Stop: the pump goes on by itself (a tool that started a
    // run and exits). The run ends as done with the cause "released" and the last count the
    // pump reported, and its journal record is closed with the reason given.
    void release(const QString &reason = QString());

    const ProgramStatus &status() const;
    // The runs started outside the runner: the window's own keys, the keypad, an input.
    const OutsideRuns &outside() const;
    // The running (or last) program's steps, unrolled.
    const std::vector<PlannedStep> &plan() const;

signals:
    // Every change of state or progress.
    void statusChanged(const ProgramStatus &status);
    void stepStarted(const ProgramStatus &status);
    void stepFinished(const ProgramStatus &status);
    // Done, stopped or failed (with the reason and the cause), once the pump's count after its
    // end is in: status.volumeMl is then the program's total as the pump counted it.
    void ended(const ProgramStatus &status);

private:
    struct Private;
    std::unique_ptr<Private> d;
    OutsideRuns *outsideRuns = nullptr; // a child
};
