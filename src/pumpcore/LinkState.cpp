#include "pumpcore/LinkState.h"

using BusinessLogic::AnswerOutcome;

LinkState LinkState::after(AnswerOutcome outcome)
{
    switch (outcome) {
    case AnswerOutcome::Answered:
    case AnswerOutcome::Unacknowledged:
    case AnswerOutcome::Nak:
        return {Kind::Connected, {}, true};
    case AnswerOutcome::Silent:
        return {Kind::Silent, {}, true};
    case AnswerOutcome::InvalidFrame:
        return {Kind::UncheckedFrames, {}, true};
    case AnswerOutcome::Cleared:
        break;
    }
    return {Kind::Unknown, {}, true};
}

LinkState LinkState::port(bool open, const QString &problem, bool chattering,
                          const QString &chatterCause)
{
    if (open)
        return {chattering ? Kind::PortProblem : Kind::Unknown,
                chattering ? chatterCause : QString(), true};
    if (problem.isEmpty())
        return {Kind::PortClosed, {}, false};
    return {Kind::PortProblem, problem, false};
}

ProcessSample::Link LinkState::sampleLink() const
{
    switch (kind) {
    case Kind::Connected:
        return ProcessSample::Link::Connected;
    case Kind::Silent:
    case Kind::UncheckedFrames:
        return ProcessSample::Link::Disconnected;
    case Kind::PortClosed:
        return ProcessSample::Link::PortUnavailable;
    case Kind::PortProblem:
        // A chattering device sits on an open port: the pump is not reached, the port is there.
        return portOpen ? ProcessSample::Link::Disconnected : ProcessSample::Link::PortUnavailable;
    case Kind::Unknown:
        break;
    }
    return ProcessSample::Link::Unknown;
}

QString LinkState::text() const
{
    switch (kind) {
    case Kind::Connected:
        return QStringLiteral("connected");
    case Kind::Silent:
        return QStringLiteral("silent");
    case Kind::UncheckedFrames:
        return QStringLiteral("unchecked frames");
    case Kind::PortClosed:
        return QStringLiteral("port closed");
    case Kind::PortProblem:
        return QStringLiteral("port problem");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString LinkState::described() const
{
    return cause.isEmpty() ? text() : QStringLiteral("%1: %2").arg(text(), cause);
}
