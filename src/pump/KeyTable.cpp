#include "pump/KeyTable.h"

#include "GUI/OperationItem.h"
#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "pump/AttachTable.h"
#include "pump/DisplayFormat.h"
#include "pump/DurationText.h"
#include "pump/EntryConversion.h"
#include "pump/PumpItems.h"
#include "pump/StatusFlags.h"
#include "pump/TypedNumber.h"

#include <QJsonArray>

#include <cmath>

namespace Pump {

namespace {

using Id = BusinessLogic::CommandSpezifier;
using Kind = KeyTable::Kind;
using Group = KeyTable::Group;
using Permission = KeyTable::Permission;

KeyTable::Key make(const char *name, const char *output, Group group, Kind kind, Id query, Id set,
                   const char *help)
{
    KeyTable::Key key;
    key.name = QLatin1String(name);
    key.output = QLatin1String(output);
    key.group = group;
    key.kind = kind;
    key.query = query;
    key.set = set;
    key.help = QLatin1String(help);
    return key;
}

KeyTable::Key limited(KeyTable::Key key, const char *unit, double minimum, double maximum)
{
    key.unit = QLatin1String(unit);
    key.minimum = minimum;
    key.maximum = maximum;
    return key;
}

KeyTable::Key listed(KeyTable::Key key, const QStringList &entries, std::vector<int> codes = {})
{
    key.entries = entries;
    if (codes.empty()) {
        for (int i = 0; i < entries.size(); ++i)
            codes.push_back(i);
    }
    key.codes = std::move(codes);
    return key;
}

KeyTable::Key needs(KeyTable::Permission permission, KeyTable::Key key)
{
    key.permission = permission;
    return key;
}

// Output names: the recorder's CSV column where the value has one, so that a script reads the
// same name in get, watch, the CSV file and the bridge's state; else the key with underscores and
// its unit.
std::vector<KeyTable::Key> build()
{
    const QStringList onOff{QStringLiteral("off"), QStringLiteral("on")};
    std::vector<KeyTable::Key> keys = {
        needs(Permission::Control,
              limited(make("flow-rate", "flow_rate_ml_min", Group::Values, Kind::Decimal,
                           Id::GetFlowRate, Id::SetFlowRate, "flow rate set-point"),
                      "ml/min", 1.0, 100.0)),
        needs(Permission::Control,
              limited(make("volume", "volume_target_ml", Group::Values, Kind::Decimal,
                           Id::GetVolume, Id::SetVolume, "volume of one dose"),
                      "ml", 0.1, 999.9)),
        // The window's time fields clamp to 1 h 39 min 59 s.
        needs(Permission::Control,
              limited(make("dispense-time", "dispense_time_s", Group::Values, Kind::Duration,
                           Id::GetDispenseTime, Id::SetDispenseTime,
                           "dispense time; 0 runs until stopped"),
                      "s", 0, 5999)),
        needs(Permission::Control,
              listed(make("mode", "mode", Group::Values, Kind::List, Id::GetRunMode, Id::SetRunMode,
                          "run mode: dose at a flow rate or a volume"),
                     {QStringLiteral("flow"), QStringLiteral("volume"),
                      QStringLiteral("flow-dispense")})),
        needs(Permission::Control,
              limited(make("cycles", "cycles", Group::Values, Kind::Cycles,
                           Id::GetDispenseVolumeNumber, Id::SetDispenseVolumeNumber,
                           "doses per start; cycles_mode: count, off or endless"),
                      "", 0, 1000)),
        needs(Permission::Control,
              limited(make("break-time", "break_time_s", Group::Values, Kind::Duration,
                           Id::GetDispenseVolumeBreakTime, Id::SetDispenseVolumeBreakTime,
                           "pause between two doses"),
                      "s", 0, 5999)),
        limited(make("volume-delivered", "volume_delivered_ml", Group::Values, Kind::Decimal,
                     Id::GetActualVolume, Id::Base, "volume delivered in this run"),
                "ml", 0, 0),
        limited(make("time-elapsed", "time_elapsed_s", Group::Values, Kind::Elapsed,
                     Id::GetTimeActual, Id::Base, "time elapsed in this run"),
                "s", 0, 0),
        needs(Permission::Config,
              listed(make("language", "language", Group::Settings, Kind::List, Id::GetLanguage,
                          Id::SetLanguage, "language of the pump's display"),
                     {QStringLiteral("English"), QStringLiteral("German"), QStringLiteral("French"),
                      QStringLiteral("Spanish"), QStringLiteral("Italian"),
                      QStringLiteral("Chinese"), QStringLiteral("Japanese")})),
        needs(Permission::Config,
              limited(make("calibration-volume", "calibration_volume_ml", Group::Settings,
                           Kind::Decimal, Id::Base, Id::SetCustCalVol,
                           "volume measured in a calibration run"),
                      "ml", 1.0, 100.0)),
        needs(Permission::Config,
              limited(make("calibration-percent", "calibration_percent", Group::Settings,
                           Kind::Percent, Id::GetCustCalPercent, Id::SetCustCalPercent,
                           "calibration factor, in steps of 0.1"),
                      "%", 80.0, 120.0)),
        needs(Permission::Config,
              limited(make("contrast", "contrast_percent", Group::Settings, Kind::Whole,
                           Id::GetDisplayContrast, Id::SetDisplayContrast,
                           "contrast of the pump's display"),
                      "%", 0, 100)),
        needs(Permission::Config,
              listed(make("autostart", "autostart", Group::Settings, Kind::Switch, Id::GetAutostart,
                          Id::SetAutostart, "start again after a power cut"),
                     onOff)),
        needs(Permission::Config,
              listed(make("fluid", "fluid", Group::Settings, Kind::List,
                          Id::GetPumpProfileCharactristic, Id::SetPumpProfileCharacteristic,
                          "type of fluid the pump is tuned for"),
                     {QStringLiteral("STANDARD"), QStringLiteral("DEGASSING"),
                      QStringLiteral("VISCOSITY 100cSt"), QStringLiteral("VISCOSITY 500cSt")})),
        needs(Permission::Config,
              listed(make("digital-in1", "digital_in1", Group::Settings, Kind::List,
                          Id::GetDigitalIn1, Id::SetDigitalIn1, "function of digital input 1"),
                     {QStringLiteral("OFF"), QStringLiteral("Level Start/Stop"),
                      QStringLiteral("Edge Start/Stop")},
                     {0, 1, 6})),
        needs(Permission::Config,
              listed(make("digital-in2", "digital_in2", Group::Settings, Kind::List,
                          Id::GetDigitalIn2, Id::SetDigitalIn2, "function of digital input 2"),
                     {QStringLiteral("OFF"), QStringLiteral("Level Start/Stop"),
                      QStringLiteral("Edge Start/Stop"), QStringLiteral("Reset"),
                      QStringLiteral("Prime/Drain"), QStringLiteral("Reset & Prime")},
                     {0, 1, 6, 8, 9, 10})),
        needs(Permission::Config,
              listed(make("digital-out", "digital_out", Group::Settings, Kind::List,
                          Id::GetDigitalOut, Id::SetDigitalOut, "what the digital output signals"),
                     {QStringLiteral("Alarm"), QStringLiteral("Motor ON"),
                      QStringLiteral("Volume End"), QStringLiteral("6 Pulses per Rev."),
                      QStringLiteral("Pulse per 100ul")})),
        needs(
            Permission::Config,
            listed(make("analog-in", "analog_in", Group::Settings, Kind::List, Id::GetAnalogInput,
                        Id::SetAnalogInput, "range of the analog input"),
                   {QStringLiteral("OFF"), QStringLiteral("0 .. 10 V"), QStringLiteral("0 .. 5 V"),
                    QStringLiteral("0 .. 20 mA"), QStringLiteral("4 .. 20 mA")},
                   {9, 0, 3, 1, 2})),
        needs(Permission::Config,
              limited(make("address", "address", Group::Identity, Kind::Whole, Id::GetPumpAddress,
                           Id::SetPumpAddress, "the pump's bus address"),
                      "", 0, KeyTable::HighestAddress)),
        needs(Permission::Config,
              listed(make("protocol-answer", "protocol_answer", Group::Identity, Kind::Switch,
                          Id::GetProtocolAnswer, Id::SetProtocolAnswer,
                          "the pump acknowledges every setting"),
                     onOff)),
        make("model", "model", Group::Identity, Kind::Model, Id::GetModelVersion, Id::Base,
             "pump type"),
        make("firmware", "firmware", Group::Identity, Kind::Firmware, Id::GetModelVersion, Id::Base,
             "firmware version"),
        make("status", "status", Group::Identity, Kind::Flags, Id::GetPumpStatus, Id::Base,
             "status flags that are lit"),
        make("errors", "errors", Group::Identity, Kind::Flags, Id::GetPumpStatus, Id::Base,
             "error flags that are set"),
    };
    for (KeyTable::Key &key : keys) {
        if (key.name == QLatin1String("status"))
            key.parameters = {1, 2, 3, 4};
        else if (key.name == QLatin1String("errors"))
            key.parameters = {6};
    }
    return keys;
}

KeyTable::Setting refused(const QString &text)
{
    return {Id::Base, 0, text};
}

QString outOfRange(const KeyTable::Key &key, const QString &text)
{
    const QString why =
        QStringLiteral("%1: %2 is outside %3").arg(key.name, text, KeyTable::range(key));
    return key.model.isEmpty() ? why : why + QStringLiteral(" on a ") + key.model;
}

// A number in C notation, by the rule the window reads typed numbers with: a comma is never
// taken, neither as a decimal nor as a group separator; nothing for anything else.
std::optional<double> number(const QString &text)
{
    return TypedNumber::read(text, QLocale::c());
}

KeyTable::Setting parseList(const KeyTable::Key &key, const QString &text)
{
    const QString t = text.trimmed();
    int index = -1;
    for (int i = 0; i < key.entries.size(); ++i) {
        if (key.entries.at(i).compare(t, Qt::CaseInsensitive) == 0)
            index = i;
    }
    bool isIndex = false;
    const int asIndex = t.toInt(&isIndex, 10);
    if (index < 0 && isIndex && asIndex >= 0 && asIndex < key.entries.size())
        index = asIndex;
    if (index < 0) {
        return refused(QStringLiteral("%1: \"%2\" is not one of %3")
                           .arg(key.name, text, KeyTable::range(key)));
    }
    if (key.set == Id::SetRunMode) {
        // The window offers flow and volume; each has a command of its own.
        if (index == 0)
            return {Id::SetRunMode, 0, {}};
        if (index == 1)
            return {Id::SetDispenseModeVolume, 0, {}};
        return refused(QStringLiteral("mode: only flow and volume can be chosen"));
    }
    return {key.set, KeyTable::code(key, index), {}};
}

} // namespace

const std::vector<KeyTable::Key> &KeyTable::keys()
{
    static const std::vector<Key> table = build();
    return table;
}

const KeyTable::Key *KeyTable::find(const QString &name)
{
    for (const Key &key : keys()) {
        if (key.name == name)
            return &key;
    }
    return nullptr;
}

const KeyTable::Key &KeyTable::key(const QString &name)
{
    const Key *found = find(name);
    Q_ASSERT(found);
    return *found;
}

int KeyTable::code(const Key &key, int index)
{
    if (key.codes.empty())
        return -1;
    if (index < 0 || index >= static_cast<int>(key.codes.size()))
        return key.codes.front();
    return key.codes[static_cast<std::size_t>(index)];
}

int KeyTable::index(const Key &key, int code)
{
    for (std::size_t i = 0; i < key.codes.size(); ++i) {
        if (key.codes[i] == code)
            return static_cast<int>(i);
    }
    return -1;
}

KeyTable::Setting KeyTable::parse(const Key &key, const QString &text)
{
    if (!key.settable())
        return refused(QStringLiteral("%1 cannot be set").arg(key.name));
    const QString t = text.trimmed();
    switch (key.kind) {
    case Kind::Decimal: {
        const std::optional<double> x = number(t);
        if (!x)
            return refused(QStringLiteral("%1: \"%2\" is not a number").arg(key.name, text));
        if (*x < key.minimum || *x > key.maximum)
            return refused(outOfRange(key, t));
        // The window reads the calibration volume in single precision.
        const std::optional<int> v = key.set == Id::SetCustCalVol
                                         ? EntryConversion::scaledFloat(t, 1000, 0.0005)
                                         : EntryConversion::scaled(t, 1000, 0.0005);
        if (!v)
            return refused(outOfRange(key, t));
        return {key.set, *v, {}};
    }
    case Kind::Duration: {
        const std::optional<int> s = DurationText::seconds(t);
        if (!s)
            return refused(QStringLiteral("%1: \"%2\" is not a duration such as 90s, 5m, 1h30m "
                                          "or 01:30:00")
                               .arg(key.name, text));
        if (*s < key.minimum || *s > key.maximum)
            return refused(outOfRange(key, t));
        const QString h = QString::number(*s / 3600);
        const QString m = QString::number(*s / 60 % 60);
        const QString sec = QString::number(*s % 60);
        const std::optional<int> v =
            key.set == Id::SetDispenseTime
                ? EntryConversion::dispenseTime(h, m, sec)
                : EntryConversion::breakTime(QString::number(*s / 60), sec);
        return {key.set, v.value_or(0), {}};
    }
    case Kind::Cycles: {
        if (t.compare(QLatin1String("inf"), Qt::CaseInsensitive) == 0)
            return {key.set, static_cast<int>(key.maximum), {}};
        if (t.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
            return {key.set, 0, {}};
        bool ok = false;
        const int n = t.toInt(&ok, 10);
        if (!ok)
            return refused(
                QStringLiteral("%1: \"%2\" is not a number, off or inf").arg(key.name, text));
        if (n < key.minimum || n > key.maximum)
            return refused(outOfRange(key, t));
        return {key.set, n, {}};
    }
    case Kind::List:
        return parseList(key, t);
    case Kind::Switch: {
        static const QStringList on{QStringLiteral("on"), QStringLiteral("1"),
                                    QStringLiteral("true"), QStringLiteral("yes")};
        static const QStringList off{QStringLiteral("off"), QStringLiteral("0"),
                                     QStringLiteral("false"), QStringLiteral("no")};
        if (on.contains(t, Qt::CaseInsensitive))
            return {key.set, 1, {}};
        if (off.contains(t, Qt::CaseInsensitive))
            return {key.set, 0, {}};
        return refused(QStringLiteral("%1: \"%2\" is not on or off").arg(key.name, text));
    }
    case Kind::Percent: {
        QString p = t;
        if (p.endsWith(QLatin1Char('%')))
            p.chop(1);
        const std::optional<double> x = number(p);
        if (!x)
            return refused(QStringLiteral("%1: \"%2\" is not a percentage").arg(key.name, text));
        if (*x < key.minimum || *x > key.maximum)
            return refused(outOfRange(key, t));
        // The window's list holds the tenths of a percent from 80.0 to 120.0.
        const double tenths = (*x - key.minimum) * 10;
        if (std::fabs(tenths - std::round(tenths)) > 1e-6)
            return refused(QStringLiteral("%1: %2 is not a step of 0.1 %").arg(key.name, t));
        return {key.set, percentCode(static_cast<int>(std::lround(tenths))), {}};
    }
    case Kind::Whole: {
        QString w = t;
        if (!key.unit.isEmpty() && w.endsWith(key.unit))
            w = w.chopped(key.unit.size()).trimmed();
        bool ok = false;
        const int n = w.toInt(&ok, 10);
        if (!ok)
            return refused(QStringLiteral("%1: \"%2\" is not a whole number").arg(key.name, text));
        if (n < key.minimum || n > key.maximum)
            return refused(outOfRange(key, t));
        return {key.set, n, {}};
    }
    default:
        return refused(QStringLiteral("%1 cannot be set").arg(key.name));
    }
}

QString KeyTable::outside(const Key &key, double value)
{
    const QString unit = key.unit.isEmpty() ? QString() : QLatin1Char(' ') + key.unit;
    const int decimals = key.kind == Kind::Decimal || key.kind == Kind::Percent ? 1 : 0;
    const QString on = key.model.isEmpty() ? QString() : QStringLiteral(" on a ") + key.model;
    if (value < key.minimum)
        return QStringLiteral("%1: %2 is below %3%4%5")
            .arg(key.name, QString::number(value), QString::number(key.minimum, 'f', decimals),
                 unit, on);
    if (value > key.maximum)
        return QStringLiteral("%1: %2 is above %3%4%5")
            .arg(key.name, QString::number(value), QString::number(key.maximum, 'f', decimals),
                 unit, on);
    return QString();
}

double KeyTable::step(const Key &key)
{
    switch (key.kind) {
    case Kind::Decimal:
        return 0.001;
    case Kind::Percent:
        return 0.1;
    case Kind::Duration:
    case Kind::Cycles:
    case Kind::Whole:
        return 1;
    default:
        return 0;
    }
}

int KeyTable::percentCode(int index)
{
    return index * 10 + 8000;
}

QString KeyTable::thousandths(qint64 value)
{
    QString text = QString::number(value / 1000.0, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString KeyTable::permissionName(Permission permission)
{
    switch (permission) {
    case Permission::Control:
        return QStringLiteral("control");
    case Permission::Config:
        return QStringLiteral("config");
    case Permission::None:
        break;
    }
    return QString();
}

QString KeyTable::range(const Key &key)
{
    const QString unit = key.unit.isEmpty() ? QString() : QLatin1Char(' ') + key.unit;
    if (key.kind == Kind::Elapsed)
        return QStringLiteral("HH:MM:SS.hh");
    if (!key.settable())
        return key.unit;
    switch (key.kind) {
    case Kind::Decimal:
    case Kind::Percent:
        return QStringLiteral("%1 - %2%3")
            .arg(QString::number(key.minimum, 'f', 1), QString::number(key.maximum, 'f', 1), unit);
    case Kind::Duration:
        return QStringLiteral("%1 - %2 (90s, 5m, 1h30m, 01:30:00)")
            .arg(DurationText::clock(static_cast<int>(key.minimum)),
                 DurationText::clock(static_cast<int>(key.maximum)));
    case Kind::Cycles:
        return QStringLiteral("0 - 1000, off or inf");
    case Kind::Whole:
        return QStringLiteral("%1 - %2%3").arg(key.minimum).arg(key.maximum).arg(unit);
    case Kind::List:
    case Kind::Switch:
        return key.entries.join(QLatin1String(" | "));
    default:
        return QString();
    }
}

namespace {

using Items = std::vector<OperationItem *>;

// The decoded value of a key whose item the pump has answered; nothing while it has not.
const OperationItem *heard(const KeyTable::Key &key, const Items &items)
{
    const OperationItem *item = AttachTable::find(items, key.query);
    // Only a live reading: a value the pump did not report in its last exchange is unknown.
    return item != nullptr && item->known() && item->current() ? item : nullptr;
}

std::optional<QStringList> flags(const KeyTable::Key &key, const Items &items)
{
    const auto *status =
        dynamic_cast<const OperationItemStatus *>(AttachTable::find(items, Id::GetPumpStatus));
    if (status == nullptr)
        return std::nullopt;
    // The words as StatusFlags::litTexts reads them: live groups only.
    struct Words
    {
        const OperationItemStatus *item;
        bool known(int group) const { return item->groupCurrent(group); }
        int word(int group) const { return item->statusWord(group); }
    } words{status};
    if (key.parameters == std::vector<int>{StatusFlags::ErrorGroup}) {
        if (!words.known(StatusFlags::ErrorGroup))
            return std::nullopt;
        return StatusFlags::litTexts(StatusFlags::Kind::Error, words);
    }
    bool any = false;
    for (const StatusFlags::Flag &flag : StatusFlags::flags())
        any |= flag.kind == StatusFlags::Kind::Status && words.known(flag.group);
    if (!any)
        return std::nullopt;
    return StatusFlags::litTexts(StatusFlags::Kind::Status, words);
}

} // namespace

QString KeyTable::text(const Key &key, const PumpItems &items)
{
    return text(key, items.all());
}

QJsonValue KeyTable::json(const Key &key, const PumpItems &items)
{
    return json(key, items.all());
}

QString KeyTable::text(const Key &key, const Items &items)
{
    if (key.kind == Kind::Flags) {
        const std::optional<QStringList> lit = flags(key, items);
        if (!lit)
            return QStringLiteral("unknown");
        return lit->isEmpty() ? QStringLiteral("none") : lit->join(QLatin1String(", "));
    }
    const OperationItem *item = heard(key, items);
    if (item == nullptr)
        return QStringLiteral("unknown");
    const int v = item->value();
    switch (key.kind) {
    case Kind::Decimal:
        return thousandths(v);
    case Kind::Duration:
        return DurationText::clock(v);
    case Kind::Cycles:
        return DisplayFormat::cycles(v).toLower();
    case Kind::List:
    case Kind::Switch: {
        const int i = index(key, v);
        return i < 0 ? QStringLiteral("unknown (%1)").arg(v) : key.entries.at(i);
    }
    case Kind::Percent:
        return QString::number(v / 100.0, 'f', 1);
    case Kind::Whole:
        return QString::number(v);
    case Kind::Elapsed: {
        const qint64 ms = OperationItemTimeElapsed::milliseconds(item->text());
        return DurationText::clock(static_cast<int>(ms / 1000)) +
               QStringLiteral(".%1").arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'));
    }
    case Kind::Model:
        return DisplayFormat::pumpType(item->text());
    case Kind::Firmware:
        return DisplayFormat::firmware(item->text());
    default:
        return item->text();
    }
}

QJsonValue KeyTable::json(const Key &key, const Items &items)
{
    if (key.kind == Kind::Flags) {
        const std::optional<QStringList> lit = flags(key, items);
        return lit ? QJsonValue(QJsonArray::fromStringList(*lit)) : QJsonValue();
    }
    const OperationItem *item = heard(key, items);
    if (item == nullptr)
        return QJsonValue();
    switch (key.kind) {
    case Kind::Elapsed:
        return OperationItemTimeElapsed::milliseconds(item->text()) / 1000.0;
    case Kind::Model:
    case Kind::Firmware:
        return text(key, items);
    default:
        return json(key, item->value());
    }
}

QJsonValue KeyTable::json(const Key &key, int v)
{
    switch (key.kind) {
    case Kind::Decimal:
        return thousandths(v).toDouble();
    case Kind::Duration:
    case Kind::Whole:
    case Kind::Cycles:
        return v;
    case Kind::List: {
        const int i = index(key, v);
        return i < 0 ? QJsonValue() : QJsonValue(key.entries.at(i));
    }
    case Kind::Switch:
        return v == 1;
    case Kind::Percent:
        return v / 100.0;
    default:
        return QJsonValue();
    }
}

QString KeyTable::cyclesMode(int count)
{
    // As the window shows it: OFF for 0 and 1, INF for the highest count.
    if (count <= 1)
        return QStringLiteral("off");
    if (count == 1000)
        return QStringLiteral("endless");
    return QStringLiteral("count");
}

QJsonObject KeyTable::fields(const Key &key, const PumpItems &items)
{
    return fields(key, items.all());
}

QJsonObject KeyTable::fields(const Key &key, const Items &items)
{
    const QJsonValue value = json(key, items);
    QJsonObject object{{key.output, value}};
    if (key.kind == Kind::Cycles)
        object.insert(key.output + QLatin1String("_mode"),
                      value.isNull() ? QJsonValue() : QJsonValue(cyclesMode(value.toInt())));
    return object;
}

} // namespace Pump
