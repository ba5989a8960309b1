#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

class TopicNames;

// Home Assistant's MQTT discovery for one pump: retained config messages that make it appear as
// one device with sensors for what it delivers, binary sensors for an error and for the link,
// and, when remote control is allowed, numbers for the set-points, a select for the mode and the
// run buttons. Limits, steps, units and list entries come from the key table, narrowed to the
// pump type, and a list offers only the entries the pump can be set to. An entity is
// available while both the bridge runs and the pump answers; the link's own sensor only needs
// the bridge.
class HaDiscovery
{
public:
    static constexpr const char *Prefix = "homeassistant";

    // What the device card shows; empty while the pump has not said.
    struct Device
    {
        QString model; // the pump type, whose limits the numbers offer
        QString firmware;
        QString version;          // this program's: the discovery's origin
        QString configurationUrl; // where the pump can be set up from a browser; none if empty
    };

    // Topic and payload of every config message. Without control, the control entities' configs
    // are empty payloads: retained, they remove what an earlier run with control offered.
    static std::vector<std::pair<QString, QByteArray>>
    configs(const TopicNames &topics, const QString &pumpId, const Device &device, bool control);
};
