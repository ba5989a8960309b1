#include "pump/ModelLimits.h"

#include "GUI/OperationItem.h"
#include "pump/AttachTable.h"
#include "pump/DisplayFormat.h"

namespace Pump {

namespace {

struct Narrowing
{
    const char *type;
    const char *key;
    double minimum;
    double maximum;
};

// The smaller head of a FLUXO 02 delivers a fifth of a FLUXO 10's flow.
const Narrowing narrowings[] = {
    {"FLUXO 02", "flow-rate", 1.0, 20.0},
};

} // namespace

KeyTable::Key ModelLimits::of(const KeyTable::Key &key, const QString &pumpType)
{
    KeyTable::Key limited = key;
    for (const Narrowing &n : narrowings) {
        if (pumpType == QLatin1String(n.type) && key.name == QLatin1String(n.key)) {
            limited.minimum = n.minimum;
            limited.maximum = n.maximum;
            limited.model = pumpType;
        }
    }
    return limited;
}

bool ModelLimits::narrows(const KeyTable::Key &key)
{
    for (const Narrowing &n : narrowings) {
        if (key.name == QLatin1String(n.key))
            return true;
    }
    return false;
}

QString ModelLimits::pumpType(const std::vector<GUI::OperationItem *> &items)
{
    // The type does not change while the pump answers: an earlier answer still tells it.
    const GUI::OperationItem *item =
        AttachTable::find(items, BusinessLogic::CommandSpezifier::GetModelVersion);
    if (item == nullptr || !item->known())
        return QString();
    return DisplayFormat::pumpType(item->text());
}

QString ModelLimits::notes(const KeyTable::Key &key)
{
    QStringList out;
    for (const Narrowing &n : narrowings) {
        if (key.name == QLatin1String(n.key))
            out << QStringLiteral("%1: %2").arg(QLatin1String(n.type),
                                                KeyTable::range(of(key, QLatin1String(n.type))));
    }
    return out.join(QLatin1String("; "));
}

} // namespace Pump
