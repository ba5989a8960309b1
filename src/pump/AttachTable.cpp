#include "pump/AttachTable.h"

#include "GUI/OperationItem.h"

namespace Pump {

namespace {

using Id = BusinessLogic::CommandSpezifier;
constexpr auto EveryTick = Refresher::EveryTick;
constexpr auto Fast = Refresher::FastRotation;
constexpr auto Slow = Refresher::SlowRotation;

// With these rows a tick queues at most 7 + 2 + 1 queries; the fast rotation takes 6 ticks
// (4.2 s), the slow one 17 ticks (about 12 s).
const std::array<AttachTable::Row, AttachTable::RowCount> attachRows = {{
    {Id::GetActualVolume, EveryTick, true},
    {Id::GetFlowRate, EveryTick, true},
    {Id::GetAnalogInput, Slow, true},
    {Id::GetAnalogRange, Slow, true},
    {Id::GetAutostart, Fast, true},
    {Id::GetDisplayContrast, Slow, true},
    {Id::GetDigitalIn1, Slow, true},
    {Id::GetDigitalIn2, Slow, true},
    {Id::GetDigitalOut, Slow, true},
    {Id::GetDispenseTime, EveryTick, true},
    {Id::GetFactoryMode, Slow, true},
    {Id::GetPumpModel, Slow, true},
    {Id::GetLanguage, Slow, true},
    {Id::GetMaintenancePos, Slow, true},
    {Id::GetModelVersion, Slow, true},
    {Id::GetProtocolAnswer, Fast, true},
    {Id::GetPumpProfileCharactristic, Slow, true},
    {Id::GetRunMode, EveryTick, true},
    {Id::GetPumpStatus, Fast, true},
    {Id::GetPumpStatus, EveryTick, false},
    {Id::GetFactoryPumpStrokeVolume, Slow, true},
    {Id::GetTimeActual, EveryTick, true},
    {Id::GetDispenseVolumeBreakTime, Fast, true},
    {Id::GetDispenseVolumeNumber, Fast, true},
    {Id::GetVolume, EveryTick, true},
    {Id::GetPumpAddress, Slow, true},
    {Id::GetCustCalPercent, Slow, true},
    {Id::GetDisplayContrast, Slow, true},
}};

} // namespace

const std::array<AttachTable::Row, AttachTable::RowCount> &AttachTable::rows()
{
    return attachRows;
}

OperationItem *AttachTable::find(const std::vector<OperationItem *> &items,
                                 BusinessLogic::CommandSpezifier id)
{
    for (OperationItem *item : items) {
        if (item != nullptr && item->spezifier() == BusinessLogic::toInt(id))
            return item;
    }
    return nullptr;
}

void AttachTable::attachAll(Refresher &refresher, const std::vector<OperationItem *> &items)
{
    for (const Row &row : attachRows) {
        if (OperationItem *item = find(items, row.item))
            refresher.attach(item, row.refreshClass);
    }
}

void AttachTable::detachAll(Refresher &refresher, const std::vector<OperationItem *> &items)
{
    for (const Row &row : attachRows) {
        if (!row.detachHere)
            continue;
        if (OperationItem *item = find(items, row.item))
            refresher.detach(item);
    }
}

} // namespace Pump
