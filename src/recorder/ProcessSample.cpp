#include "recorder/ProcessSample.h"

QString ProcessSample::linkText(Link link)
{
    switch (link) {
    case Link::Connected:
        return QStringLiteral("connected");
    case Link::Disconnected:
        return QStringLiteral("disconnected");
    case Link::PortUnavailable:
        return QStringLiteral("port unavailable");
    case Link::Unknown:
        break;
    }
    return QString();
}

QString ProcessSample::runStateText(RunState state)
{
    switch (state) {
    case RunState::Running:
        return QStringLiteral("running");
    case RunState::Paused:
        return QStringLiteral("paused");
    case RunState::Priming:
        return QStringLiteral("priming");
    case RunState::Stopped:
        return QStringLiteral("stopped");
    case RunState::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString ProcessSample::modeText(Mode mode)
{
    switch (mode) {
    case Mode::Flow:
        return QStringLiteral("flow");
    case Mode::Volume:
        return QStringLiteral("volume");
    case Mode::FlowDispense:
        return QStringLiteral("flow-dispense");
    case Mode::Unknown:
        break;
    }
    return QString();
}

ProcessSample::Mode ProcessSample::modeOf(int runMode)
{
    switch (runMode) {
    case 0:
        return Mode::Flow;
    case 1:
        return Mode::Volume;
    case 2:
        return Mode::FlowDispense;
    default:
        return Mode::Unknown;
    }
}

bool ProcessSample::operator==(const ProcessSample &other) const
{
    return timeMs == other.timeMs && link == other.link && runState == other.runState &&
           mode == other.mode && flowRate == other.flowRate && volumeTarget == other.volumeTarget &&
           volumeDelivered == other.volumeDelivered && timeElapsedMs == other.timeElapsedMs &&
           dispenseTimeS == other.dispenseTimeS && status == other.status &&
           errors == other.errors && program == other.program && step == other.step;
}
