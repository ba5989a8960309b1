#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

class TopicNames;

// Home Assistant's MQTT discovery for one pump: retained config messages that make it appear
// with its volume, flow rate and run state as sensors and Start and Stop as buttons.
class HaDiscovery
{
public:
    static constexpr const char *Prefix = "homeassistant";

    // Topic and payload of every config message.
    static std::vector<std::pair<QString, QByteArray>>
    configs(const TopicNames &topics, const QString &pumpId, const QString &model);
};
