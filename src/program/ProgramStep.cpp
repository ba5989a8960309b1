#include "program/ProgramStep.h"

#include "pump/DosingPlan.h"

ProgramStep ProgramStep::of(const Pump::DosingPlan &plan)
{
    ProgramStep step;
    step.kind = plan.volumeDose ? Kind::Dose : Kind::Run;
    step.volumeMl = plan.targetVolume;
    step.rateMlMin = plan.rateMlMin;
    step.forS = plan.volumeDose ? 0 : plan.targetSeconds;
    return step;
}

QString ProgramStep::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Dose:
        return QStringLiteral("dose");
    case Kind::Run:
        return QStringLiteral("run");
    case Kind::Ramp:
        return QStringLiteral("ramp");
    case Kind::Wait:
        return QStringLiteral("wait");
    case Kind::Prompt:
        return QStringLiteral("prompt");
    case Kind::Prime:
        return QStringLiteral("prime");
    case Kind::Repeat:
        return QStringLiteral("repeat");
    case Kind::Parallel:
        return QStringLiteral("parallel");
    case Kind::Gradient:
        break;
    }
    return QStringLiteral("gradient");
}

ProgramStep ProgramStep::prime()
{
    ProgramStep step;
    step.kind = Kind::Prime;
    return step;
}
