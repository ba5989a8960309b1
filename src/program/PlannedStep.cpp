#include "program/PlannedStep.h"

QString PlannedStep::label() const
{
    QString text = number + QLatin1Char(' ') + ProgramStep::kindName(step.kind);
    for (const Pass &p : passes)
        text += QStringLiteral(", pass %1/%2").arg(p.pass).arg(p.count);
    return text;
}

double PlannedStep::expectedSeconds() const
{
    switch (step.kind) {
    case ProgramStep::Kind::Dose:
        return step.rateMlMin > 0 ? step.volumeMl * 60.0 / step.rateMlMin : 0;
    case ProgramStep::Kind::Run:
    case ProgramStep::Kind::Ramp:
    case ProgramStep::Kind::Wait:
    case ProgramStep::Kind::Gradient:
    case ProgramStep::Kind::Prime: // 0: until stopped
        return step.forS;
    case ProgramStep::Kind::Prompt:
    case ProgramStep::Kind::Repeat:
    case ProgramStep::Kind::Parallel:
        break;
    }
    return 0;
}

double PlannedStep::expectedVolumeMl() const
{
    switch (step.kind) {
    case ProgramStep::Kind::Dose:
        return step.volumeMl;
    case ProgramStep::Kind::Run:
        return step.rateMlMin * step.forS / 60.0;
    case ProgramStep::Kind::Ramp:
        // Equal steps from one rate to the other: on average halfway between them.
        return (step.fromMlMin + step.toMlMin) / 2.0 * step.forS / 60.0;
    case ProgramStep::Kind::Gradient:
        return step.totalMlMin * step.forS / 60.0;
    case ProgramStep::Kind::Wait:
    case ProgramStep::Kind::Prompt:
    case ProgramStep::Kind::Repeat:
    case ProgramStep::Kind::Parallel:
    case ProgramStep::Kind::Prime: // at the pump's own prime rate, which it does not tell
        break;
    }
    return 0;
}
