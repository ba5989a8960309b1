#include "program/ProgramStep.h"

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
    case Kind::Repeat:
        return QStringLiteral("repeat");
    case Kind::Parallel:
        return QStringLiteral("parallel");
    case Kind::Gradient:
        break;
    }
    return QStringLiteral("gradient");
}
