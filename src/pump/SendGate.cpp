#include "pump/SendGate.h"

#include "GUI/OperationItem.h"

namespace Pump {

void SendGate::written(const QString &field, const QString &text)
{
    shown.insert(field, text);
}

bool SendGate::takeEdit(const QStringList &fields, const QStringList &texts)
{
    bool changed = false;
    for (int i = 0; i < fields.size() && i < texts.size(); ++i)
        changed = changed || shown.value(fields.at(i)) != texts.at(i);
    if (changed) {
        for (int i = 0; i < fields.size() && i < texts.size(); ++i)
            shown.insert(fields.at(i), texts.at(i));
    }
    return changed;
}

std::optional<int> SendGate::reported(const OperationItem &item)
{
    bool ok = false;
    OperationItem::readInteger(item.text(), &ok);
    if (!ok)
        return std::nullopt;
    return item.value();
}

bool SendGate::differs(int picked, std::optional<int> reported)
{
    return !reported || *reported != picked;
}

void SendGate::hold(OperationItem &item, int value)
{
    Answer sent{item.spezifier(), std::to_string(value)};
    item.update(&sent);
}

std::optional<int> SendGate::integer(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    // No number, or one too large for an int: nothing, never a 0 nobody typed.
    if (!ok)
        return std::nullopt;
    return value;
}

SendGate::SetPoint SendGate::setPoint(int runMode)
{
    switch (runMode) {
    case 0:
    case 2:
        return SetPoint::FlowRate;
    case 1:
        return SetPoint::Volume;
    default:
        return SetPoint::None;
    }
}

} // namespace Pump
