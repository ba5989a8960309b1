#include "remote/HaDiscovery.h"

#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"
#include "pump/StatusFlags.h"
#include "recorder/ProcessSample.h"
#include "remote/TopicNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Pump::KeyTable;

// Home Assistant's unit spelling: mL, not ml.
QString unitOf(const KeyTable::Key &key)
{
    return QString(key.unit).replace(QLatin1String("ml"), QLatin1String("mL"));
}

QString field(const KeyTable::Key &key)
{
    return QStringLiteral("{{ value_json.%1 }}").arg(key.output);
}

const KeyTable::Key &keyOf(const char *name)
{
    return KeyTable::key(QLatin1String(name));
}

QString runState(ProcessSample::RunState state)
{
    return ProcessSample::runStateText(state);
}

// The entries the pump can be set to: a list may show more than it takes.
QStringList settable(const KeyTable::Key &key)
{
    QStringList out;
    for (const QString &entry : key.entries) {
        if (KeyTable::parse(key, entry).ok())
            out << entry;
    }
    return out;
}

// The status flag the pump lights with any error ("Pump error").
QString errorStatusText()
{
    for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags()) {
        if (flag.kind == Pump::StatusFlags::Kind::Status && Pump::StatusFlags::alarm(flag))
            return QLatin1String(flag.text);
    }
    return QString();
}

} // namespace

std::vector<std::pair<QString, QByteArray>> HaDiscovery::configs(const TopicNames &topics,
                                                                 const QString &pumpId,
                                                                 const Device &device, bool control)
{
    QJsonObject card{
        {QStringLiteral("identifiers"), QJsonArray{pumpId}},
        {QStringLiteral("name"), QStringLiteral("DOSETTA %1").arg(pumpId)},
        {QStringLiteral("manufacturer"), QStringLiteral("Halvo Dorvex")},
        {QStringLiteral("model"), device.model.isEmpty() ? QStringLiteral("FLUXO") : device.model}};
    // The device is the pump: its software is its firmware. This program is the origin.
    if (!device.firmware.isEmpty())
        card.insert(QStringLiteral("sw_version"), device.firmware);
    if (!device.configurationUrl.isEmpty())
        card.insert(QStringLiteral("configuration_url"), device.configurationUrl);
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("DOSETTA")},
                             {QStringLiteral("sw_version"), device.version}};
    const QJsonObject bridge{{QStringLiteral("topic"), topics.availability()}};
    const QJsonObject pump{{QStringLiteral("topic"), topics.pump()}};

    std::vector<std::pair<QString, QByteArray>> out;
    struct Entity
    {
        const char *component;
        const char *objectId;
        const char *name;
        bool controls;
        QJsonObject fields;
    };
    const auto add = [&](const Entity &e, bool bridgeOnly = false) {
        const QString topic = QStringLiteral("%1/%2/%3/%4/config")
                                  .arg(QLatin1String(Prefix), QLatin1String(e.component), pumpId,
                                       QLatin1String(e.objectId));
        if (e.controls && !control) {
            out.emplace_back(topic, QByteArray());
            return;
        }
        QJsonObject config = e.fields;
        config.insert(QStringLiteral("name"), QLatin1String(e.name));
        config.insert(QStringLiteral("unique_id"),
                      pumpId + QLatin1Char('_') + QLatin1String(e.objectId));
        config.insert(QStringLiteral("device"), card);
        config.insert(QStringLiteral("origin"), origin);
        config.insert(QStringLiteral("availability"),
                      bridgeOnly ? QJsonArray{bridge} : QJsonArray{bridge, pump});
        config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
        if (!config.contains(QStringLiteral("command_topic")) ||
            config.contains(QStringLiteral("value_template")))
            config.insert(QStringLiteral("state_topic"), topics.state());
        out.emplace_back(topic, QJsonDocument(config).toJson(QJsonDocument::Compact));
    };
    const auto sensor = [&](const KeyTable::Key &key, const char *deviceClass,
                            const char *stateClass) {
        QJsonObject f{{QStringLiteral("value_template"), field(key)},
                      {QStringLiteral("unit_of_measurement"), unitOf(key)},
                      {QStringLiteral("state_class"), QLatin1String(stateClass)}};
        if (deviceClass != nullptr)
            f.insert(QStringLiteral("device_class"), QLatin1String(deviceClass));
        return f;
    };
    const auto number = [&](const KeyTable::Key &widest, const char *deviceClass) {
        const KeyTable::Key key = Pump::ModelLimits::of(widest, device.model);
        QJsonObject f{{QStringLiteral("command_topic"), topics.set(key.name)},
                      {QStringLiteral("value_template"), field(key)},
                      {QStringLiteral("min"), key.minimum},
                      {QStringLiteral("max"), key.maximum},
                      {QStringLiteral("step"), KeyTable::step(key)},
                      {QStringLiteral("unit_of_measurement"), unitOf(key)},
                      {QStringLiteral("mode"), QStringLiteral("box")}};
        if (deviceClass != nullptr)
            f.insert(QStringLiteral("device_class"), QLatin1String(deviceClass));
        return f;
    };

    // The delivered volume restarts with each run: Home Assistant counts a drop as a reset.
    add({"sensor", "volume_delivered", "Volume delivered", false,
         sensor(keyOf("volume-delivered"), "volume", "total_increasing")});
    // The flow the pump delivers, not its set-point (that is the number's): none while it
    // stands, the set-point while it runs at a rate, unknown where the state does not tell it
    // (a dose spread over its time, a prime). Home Assistant's flow rate class has no mL/min.
    const KeyTable::Key &rate = keyOf("flow-rate");
    QJsonObject flow = sensor(rate, nullptr, "measurement");
    flow.insert(QStringLiteral("value_template"),
                QStringLiteral("{% if value_json.run_state in ['%1', '%2'] %}0{% elif "
                               "value_json.run_state == '%3' and value_json.mode in ['%4', '%5'] "
                               "%}{{ value_json.%6 }}{% else %}None{% endif %}")
                    .arg(runState(ProcessSample::RunState::Stopped),
                         runState(ProcessSample::RunState::Paused),
                         runState(ProcessSample::RunState::Running),
                         ProcessSample::modeText(ProcessSample::Mode::Flow),
                         ProcessSample::modeText(ProcessSample::Mode::FlowDispense), rate.output));
    add({"sensor", "flow_rate", "Flow rate", false, flow});
    add({"sensor", "time_elapsed", "Time elapsed", false,
         sensor(keyOf("time-elapsed"), "duration", "measurement")});
    // Judged from the status flags; no key of its own. Unknown is no option but no state.
    QJsonArray states;
    for (const ProcessSample::RunState s :
         {ProcessSample::RunState::Running, ProcessSample::RunState::Paused,
          ProcessSample::RunState::Priming, ProcessSample::RunState::Stopped})
        states.append(runState(s));
    add({"sensor",
         "run_state",
         "State",
         false,
         {{QStringLiteral("device_class"), QStringLiteral("enum")},
          {QStringLiteral("options"), states},
          {QStringLiteral("value_template"),
           QStringLiteral("{{ value_json.run_state if value_json.run_state in %1 else None }}")
               .arg(QString::fromUtf8(QJsonDocument(states).toJson(QJsonDocument::Compact)))}}});
    const KeyTable::Key &errors = keyOf("errors");
    const KeyTable::Key &status = keyOf("status");
    add({"binary_sensor",
         "error",
         "Error",
         false,
         {{QStringLiteral("device_class"), QStringLiteral("problem")},
          {QStringLiteral("value_template"),
           QStringLiteral("{{ 'ON' if (value_json.%1 or []) | length > 0 or '%2' in "
                          "(value_json.%3 or []) else 'OFF' }}")
               .arg(errors.output, errorStatusText(), status.output)},
          // Which flags are set, beside whether any is.
          {QStringLiteral("json_attributes_topic"), topics.state()},
          {QStringLiteral("json_attributes_template"),
           QStringLiteral("{{ {'%1': value_json.%1 or []} | tojson }}").arg(errors.output)}}});
    // The pump's life from the journal: they only grow, until its journal starts afresh.
    add({"sensor",
         "total_volume",
         "Total volume",
         false,
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.total_volume_ml }}")},
          {QStringLiteral("unit_of_measurement"), QStringLiteral("mL")},
          {QStringLiteral("device_class"), QStringLiteral("volume")},
          {QStringLiteral("state_class"), QStringLiteral("total_increasing")}}});
    add({"sensor",
         "total_hours",
         "Running hours",
         false,
         {{QStringLiteral("value_template"), QStringLiteral("{{ value_json.total_hours }}")},
          {QStringLiteral("unit_of_measurement"), QStringLiteral("h")},
          {QStringLiteral("state_class"), QStringLiteral("total_increasing")}}});
    add({"binary_sensor",
         "service_due",
         "Service due",
         false,
         {{QStringLiteral("device_class"), QStringLiteral("problem")},
          {QStringLiteral("value_template"),
           QStringLiteral("{{ 'ON' if value_json.service_due else 'OFF' }}")}}});
    // Available while the bridge runs, so that a pump that stopped answering shows as off.
    add({"binary_sensor",
         "link",
         "Link",
         false,
         {{QStringLiteral("device_class"), QStringLiteral("connectivity")},
          {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
          {QStringLiteral("value_template"),
           QStringLiteral("{{ 'ON' if value_json.link == '%1' else 'OFF' }}")
               .arg(ProcessSample::linkText(ProcessSample::Link::Connected))}}},
        true);

    add({"number", "flow_rate_setpoint", "Flow rate set-point", true,
         number(keyOf("flow-rate"), nullptr)});
    add({"number", "volume", "Dose volume", true, number(keyOf("volume"), "volume")});
    add({"number", "dispense_time", "Dispense time", true,
         number(keyOf("dispense-time"), "duration")});
    const KeyTable::Key &mode = keyOf("mode");
    add({"select",
         "mode",
         "Mode",
         true,
         {{QStringLiteral("command_topic"), topics.set(mode.name)},
          {QStringLiteral("value_template"), field(mode)},
          {QStringLiteral("options"), QJsonArray::fromStringList(settable(mode))}}});
    for (const char *command : {"start", "stop", "pause", "prime"}) {
        const QString name = QLatin1String(command);
        const QByteArray title = (name.left(1).toUpper() + name.mid(1)).toLatin1();
        add({"button",
             command,
             title.constData(),
             true,
             {{QStringLiteral("command_topic"), topics.command()},
              {QStringLiteral("payload_press"), name}}});
    }
    return out;
}
