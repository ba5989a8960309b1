#include "program/PumpCount.h"

#include "GUI/OperationItem.h"
#include "pump/AttachTable.h"
#include "recorder/ProcessSampler.h"

std::optional<double> PumpCount::of(PumpCore &core, const Answer &answer, PumpCore::Id id)
{
    GUI::OperationItem *item = Pump::AttachTable::find(core.items().all(), id);
    if (!answer.accepted() || item == nullptr)
        return std::nullopt;
    Answer copy = answer;
    item->update(&copy);
    if (!item->known() || !item->current())
        return std::nullopt;
    if (id == PumpCore::Id::GetTimeActual)
        return double(ProcessSampler::elapsedMs(item->text()));
    return double(item->value());
}
