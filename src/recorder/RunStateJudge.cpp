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

bool RunStateJudge::doseDone(const ProcessSample &sample, Key lastAccepted)
{
    if (sample.runState != RunState::Stopped || lastAccepted != Key::Start || !sample.errors ||
        !sample.errors->isEmpty())
        return false;
    if (sample.mode == ProcessSample::Mode::Volume) {
        // A count of strokes may end a little short of the volume asked for: 1 % is allowed.
        return sample.volumeTarget && sample.volumeDelivered && *sample.volumeTarget > 0 &&
               *sample.volumeDelivered * 100 >= *sample.volumeTarget * 99;
    }
    // The pump's clock counts hundredths; a second short of the time still reads as done.
    return sample.mode != ProcessSample::Mode::Unknown && sample.dispenseTimeS &&
           sample.timeElapsedMs && *sample.dispenseTimeS > 0 &&
           *sample.timeElapsedMs + 1000 > *sample.dispenseTimeS * 1000;
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
