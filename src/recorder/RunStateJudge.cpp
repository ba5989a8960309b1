#include "recorder/RunStateJudge.h"

#include "BusinessLogic/CommandSpezifier.h"

using RunState = ProcessSample::RunState;

RunState RunStateJudge::judge(std::optional<bool> moving, Key lastAccepted, bool keyIsNewer)
{
    if (keyIsNewer) {
        switch (lastAccepted) {
        case Key::Start:
            return RunState::Running;
        case Key::Stop:
            return RunState::Stopped;
        case Key::Pause:
            return RunState::Paused;
        case Key::Prime:
            return RunState::Priming;
        case Key::None:
            break;
        }
    }
    if (!moving)
        return RunState::Unknown;
    if (*moving)
        return lastAccepted == Key::Prime ? RunState::Priming : RunState::Running;
    return lastAccepted == Key::Pause ? RunState::Paused : RunState::Stopped;
}

std::optional<RunStateJudge::Key> RunStateJudge::keyOf(int commandId)
{
    using Id = BusinessLogic::CommandSpezifier;
    switch (static_cast<Id>(commandId)) {
    case Id::Start:
        return Key::Start;
    case Id::Stop:
        return Key::Stop;
    case Id::Pause:
        return Key::Pause;
    case Id::Prime:
        return Key::Prime;
    default:
        return std::nullopt;
    }
}

bool RunStateJudge::accepted(bool ack, bool nak, bool protocolAnswer, bool portOpen)
{
    if (ack)
        return true;
    return !protocolAnswer && !nak && portOpen;
}
