#include "pump/DosingPlan.h"

#include "pump/DurationText.h"
#include "pump/KeyTable.h"
#include "pump/ModelLimits.h"

#include <cmath>

namespace Pump {

namespace {

KeyTable::Setting setting(const char *key, const QString &text, const QString &pumpType)
{
    return KeyTable::parse(ModelLimits::of(KeyTable::key(QLatin1String(key)), pumpType), text);
}

DosingPlan refused(const QString &error)
{
    DosingPlan plan;
    plan.error = error;
    return plan;
}

} // namespace

DosingPlan DosingPlan::dose(const QString &volumeText, const std::optional<QString> &rateText,
                            const QString &pumpType)
{
    const KeyTable::Setting volume = setting("volume", volumeText, pumpType);
    if (!volume.ok())
        return refused(volume.error);
    std::optional<KeyTable::Setting> rate;
    if (rateText) {
        rate = setting("flow-rate", *rateText, pumpType);
        if (!rate->ok())
            return refused(rate->error);
    }
    // In volume mode the pump spreads a dose over its dispense time; with none it doses at full
    // flow. The time is always set, so that no dose is stretched over one left on the pump.
    const KeyTable::Setting time =
        dispenseTime(volume.value, rate ? std::optional<int>(rate->value) : std::nullopt, pumpType);
    if (!time.ok())
        return refused(QStringLiteral("%1 ml at %2 ml/min takes longer than the longest "
                                      "dispense time")
                           .arg(volumeText.trimmed(), rateText.value_or(QString()).trimmed()));
    DosingPlan plan;
    plan.steps = {{Id::SetDispenseModeVolume, 0, QStringLiteral("the volume mode")},
                  {volume.command, volume.value, QStringLiteral("the volume")}};
    if (rate)
        plan.steps.push_back({rate->command, rate->value, QStringLiteral("the flow rate")});
    plan.steps.push_back({time.command, time.value, QStringLiteral("the dispense time")});
    plan.steps.push_back({Id::Start, 0, QStringLiteral("start")});
    plan.targetVolume = volume.value / 1000.0;
    plan.volumeDose = true;
    plan.fullFlow = time.value == 0;
    if (rate)
        plan.rateMlMin =
            KeyTable::json(KeyTable::key(QStringLiteral("flow-rate")), rate->value).toDouble();
    return plan;
}

KeyTable::Setting DosingPlan::dispenseTime(int volume, std::optional<int> rate,
                                           const QString &pumpType)
{
    // A rate of 0 or less cannot have passed its key's limits; it stands for full flow here
    // rather than a division by zero.
    const long long seconds =
        rate && *rate > 0 ? std::llround(static_cast<double>(volume) * 60.0 / *rate) : 0;
    return setting("dispense-time", QString::number(seconds), pumpType);
}

DosingPlan DosingPlan::run(const QString &rateText, const std::optional<QString> &timeText,
                           const QString &pumpType)
{
    const KeyTable::Setting rate = setting("flow-rate", rateText, pumpType);
    if (!rate.ok())
        return refused(rate.error);
    // Without a time the run has no end of its own: a dispense time left on the pump would give
    // it one, so 0 is sent.
    const KeyTable::Setting time =
        setting("dispense-time", timeText.value_or(QStringLiteral("0")), pumpType);
    if (!time.ok())
        return refused(time.error);
    DosingPlan plan;
    plan.steps = {{Id::SetRunMode, 0, QStringLiteral("the flow mode")},
                  {rate.command, rate.value, QStringLiteral("the flow rate")},
                  {time.command, time.value, QStringLiteral("the dispense time")},
                  {Id::Start, 0, QStringLiteral("start")}};
    plan.targetSeconds = timeText ? DurationText::seconds(*timeText).value_or(0) : 0;
    plan.rateMlMin =
        KeyTable::json(KeyTable::key(QStringLiteral("flow-rate")), rate.value).toDouble();
    return plan;
}

} // namespace Pump
