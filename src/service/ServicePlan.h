#pragma once

#include "remote/BridgeOptions.h"

#include <QString>
#include <QStringList>

// The service's own side on the broker, for programs across its pumps: its name, a topic level
// of its own beside its pumps' ids, and the broker with what every pump shares (the settings
// above the first section and the command line's). Without a broker there is none.
class ServicePlan
{
public:
    QString name;
    BridgeOptions bridge;
    // Every setting taken, in order: a reload that changed one makes the side anew.
    QStringList settings;

    bool mqtt() const { return !bridge.broker.isEmpty(); }
    bool operator==(const ServicePlan &other) const
    {
        return name == other.name && settings == other.settings;
    }
    bool operator!=(const ServicePlan &other) const { return !(*this == other); }
};
