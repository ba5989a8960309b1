#include "recorder/ProcessSampler.h"

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "pump/AttachTable.h"
#include "pump/StatusFlags.h"

#include <QDateTime>

namespace {

using Id = BusinessLogic::CommandSpezifier;

// Only a live reading: a value the pump did not report in its last exchange is not written as if
// it had.
bool live(const GUI::OperationItem *item)
{
    return item != nullptr && item->known() && item->current();
}

std::optional<qint64> valueOf(const GUI::OperationItem *item)
{
    if (!live(item))
        return std::nullopt;
    return item->value();
}

// The status words as Pump::StatusFlags::litTexts reads them.
struct StatusWords
{
    const OperationItemStatus *item;
    bool known(int group) const { return item->groupCurrent(group); }
    int word(int group) const { return item->statusWord(group); }
};

} // namespace

ProcessSampler::ProcessSampler(const std::vector<GUI::OperationItem *> &items, LinkProbe link,
                               Clock clock, QObject *parent)
    : QObject(parent)
    , runMode(Pump::AttachTable::find(items, Id::GetRunMode))
    , volumeDelivered(Pump::AttachTable::find(items, Id::GetActualVolume))
    , timeElapsed(Pump::AttachTable::find(items, Id::GetTimeActual))
    , status(dynamic_cast<OperationItemStatus *>(Pump::AttachTable::find(items, Id::GetPumpStatus)))
    , volumeTarget(Pump::AttachTable::find(items, Id::GetVolume))
    , flowRate(Pump::AttachTable::find(items, Id::GetFlowRate))
    , dispenseTime(Pump::AttachTable::find(items, Id::GetDispenseTime))
    , linkProbe(std::move(link))
    , clock(std::move(clock))
{
    qRegisterMetaType<ProcessSample>();
}

qint64 ProcessSampler::elapsedMs(const QString &text)
{
    return OperationItemTimeElapsed::milliseconds(text);
}

ProcessSample ProcessSampler::take() const
{
    ProcessSample s;
    s.timeMs = clock ? clock() : QDateTime::currentMSecsSinceEpoch();
    s.link = linkProbe ? linkProbe() : ProcessSample::Link::Unknown;
    if (live(runMode))
        s.mode = ProcessSample::modeOf(runMode->value());
    s.flowRate = valueOf(flowRate);
    s.volumeTarget = valueOf(volumeTarget);
    if (!volumeBeforeStart)
        s.volumeDelivered = valueOf(volumeDelivered);
    if (live(timeElapsed) && !timeBeforeStart)
        s.timeElapsedMs = elapsedMs(timeElapsed->text());
    s.dispenseTimeS = valueOf(dispenseTime);
    // The status words, the error flags and the run state they tell are the pump's state now
    // only while the pump is heard: a silent pump's last words say nothing of what it does since.
    if (status != nullptr && s.link == ProcessSample::Link::Connected) {
        const StatusWords words{status};
        std::optional<bool> moving;
        if (words.known(1))
            moving = (words.word(1) & 1) != 0;
        s.runState = RunStateJudge::judge(moving, lastKey, keySinceSample);
        bool anyStatusGroup = false;
        for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags())
            anyStatusGroup |=
                flag.kind == Pump::StatusFlags::Kind::Status && words.known(flag.group);
        if (anyStatusGroup)
            s.status = Pump::StatusFlags::litTexts(Pump::StatusFlags::Kind::Status, words);
        if (words.known(Pump::StatusFlags::ErrorGroup))
            s.errors = Pump::StatusFlags::litTexts(Pump::StatusFlags::Kind::Error, words);
    }
    return s;
}

void ProcessSampler::sample()
{
    const ProcessSample s = take();
    keySinceSample = false;
    emit sampled(s);
}

void ProcessSampler::commandDone(int commandId, bool accepted)
{
    if (!accepted)
        return;
    if (commandId == static_cast<int>(Id::GetActualVolume))
        volumeBeforeStart = false;
    else if (commandId == static_cast<int>(Id::GetTimeActual))
        timeBeforeStart = false;
    if (const std::optional<RunStateJudge::Key> key = RunStateJudge::keyOf(commandId)) {
        lastKey = *key;
        keySinceSample = true;
        // The pump counts a new run from here (a resumed one goes on counting, and is read
        // again just as soon).
        if (*key == RunStateJudge::Key::Start || *key == RunStateJudge::Key::Prime)
            volumeBeforeStart = timeBeforeStart = true;
    }
}
