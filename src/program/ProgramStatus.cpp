#include "program/ProgramStatus.h"

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
    case State::Done:
        return QStringLiteral("done");
    case State::Stopped:
        return QStringLiteral("stopped");
    case State::Failed:
        break;
    }
    return QStringLiteral("failed");
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
                  {QStringLiteral("elapsed_s"), std::round(elapsedMs / 100.0) / 10.0},
                  {QStringLiteral("volume_ml"), std::round(volumeMl * 1000.0) / 1000.0}};
    if (!reason.isEmpty())
        o.insert(QStringLiteral("reason"), reason);
    return o;
}
