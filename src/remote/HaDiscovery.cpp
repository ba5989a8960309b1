#include "remote/HaDiscovery.h"

#include "pump/KeyTable.h"
#include "remote/TopicNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

std::vector<std::pair<QString, QByteArray>>
HaDiscovery::configs(const TopicNames &topics, const QString &pumpId, const QString &model)
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{pumpId}},
        {QStringLiteral("name"), QStringLiteral("DOSETTA %1").arg(pumpId)},
        {QStringLiteral("manufacturer"), QStringLiteral("Halvo Dorvex")},
        {QStringLiteral("model"), model.isEmpty() ? QStringLiteral("FLUXO") : model}};
    const auto entity = [&](const QString &objectId, const QString &name) {
        return QJsonObject{{QStringLiteral("name"), name},
                           {QStringLiteral("unique_id"), pumpId + QLatin1Char('_') + objectId},
                           {QStringLiteral("availability_topic"), topics.availability()},
                           {QStringLiteral("device"), device}};
    };
    struct Sensor
    {
        const char *objectId;
        const char *name;
        QString field; // in the state
        const char *unit;
    };
    const auto output = [](const char *key) {
        return Pump::KeyTable::key(QLatin1String(key)).output;
    };
    const Sensor sensors[] = {
        {"volume_delivered", "Volume delivered", output("volume-delivered"), "mL"},
        {"flow_rate", "Flow rate", output("flow-rate"), "mL/min"},
        // Judged from the status flags; no key of its own.
        {"run_state", "State", QStringLiteral("run_state"), nullptr},
    };
    std::vector<std::pair<QString, QByteArray>> out;
    for (const Sensor &s : sensors) {
        QJsonObject config = entity(QLatin1String(s.objectId), QLatin1String(s.name));
        config.insert(QStringLiteral("state_topic"), topics.state());
        config.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ value_json.%1 }}").arg(s.field));
        if (s.unit != nullptr) {
            config.insert(QStringLiteral("unit_of_measurement"), QLatin1String(s.unit));
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        }
        out.emplace_back(QStringLiteral("%1/sensor/%2/%3/config")
                             .arg(QLatin1String(Prefix), pumpId, QLatin1String(s.objectId)),
                         QJsonDocument(config).toJson(QJsonDocument::Compact));
    }
    for (const char *command : {"start", "stop"}) {
        const QString name = QLatin1String(command);
        QJsonObject config = entity(name, name.left(1).toUpper() + name.mid(1));
        config.insert(QStringLiteral("command_topic"), topics.command());
        config.insert(QStringLiteral("payload_press"), name);
        out.emplace_back(
            QStringLiteral("%1/button/%2/%3/config").arg(QLatin1String(Prefix), pumpId, name),
            QJsonDocument(config).toJson(QJsonDocument::Compact));
    }
    return out;
}
