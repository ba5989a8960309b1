#include "program/ProgramStatus.h"

#include <QJsonArray>

#include <cmath>

QString ProgramStatus::stateName(State state)
{
    switch (state) {
    case State::Idle:
        return QStringLiteral("idle");
    case State::Running:
        return QStringLiteral("running");
    case State::Paused:
        return QStringLiteral("paused");
    case State::WaitingForOperator:
        return QStringLiteral("waiting");
    case State::Ending:
        return QStringLiteral("ending");
    case State::Done:
        return QStringLiteral("done");
    case State::Stopped:
        return QStringLiteral("stopped");
    case State::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QString ProgramStatus::causeName(Cause cause)
{
    switch (cause) {
    case Cause::None:
        return QString();
    case Cause::Done:
        return QStringLiteral("done");
    case Cause::ProgramStop:
        return QStringLiteral("program-stop");
    case Cause::OutsideStop:
        return QStringLiteral("outside-stop");
    case Cause::PumpError:
        return QStringLiteral("pump-error");
    case Cause::Refused:
        return QStringLiteral("refused");
    case Cause::LinkLost:
        return QStringLiteral("link-lost");
    case Cause::Released:
        return QStringLiteral("released");
    case Cause::Other:
        break;
    }
    return QStringLiteral("other");
}

QJsonObject ProgramStatus::toJson() const
{
    QJsonObject o{{QStringLiteral("state"), stateName(state)},
                  {QStringLiteral("name"), name},
                  {QStringLiteral("position"), position},
                  {QStringLiteral("total"), total},
                  {QStringLiteral("path"), path},
                  {QStringLiteral("step"), label},
                  {QStringLiteral("step_progress"), std::round(stepProgress * 1000.0) / 1000.0},
                  {QStringLiteral("progress"), std::round(progress * 1000.0) / 1000.0},
                  {QStringLiteral("elapsed_s"), std::round(elapsedMs / 100.0) / 10.0},
                  {QStringLiteral("volume_ml"), std::round(volumeMl * 1000.0) / 1000.0}};
    if (!reason.isEmpty())
        o.insert(QStringLiteral("reason"), reason);
    if (cause != Cause::None)
        o.insert(QStringLiteral("cause"), causeName(cause));
    if (ended())
        o.insert(QStringLiteral("final_count_read"), finalCountRead);
    if (!runId.isEmpty())
        o.insert(QStringLiteral("run_id"), runId);
    if (origin.known())
        o.insert(QStringLiteral("origin"), origin.toJson());
    if (stoppedBy.known())
        o.insert(QStringLiteral("stopped_by"), stoppedBy.toJson());
    if (!errorFlags.isEmpty())
        o.insert(QStringLiteral("flags"), QJsonArray::fromStringList(errorFlags));
    return o;
}
