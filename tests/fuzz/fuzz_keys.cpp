// The command line and the key table of dosetta-cli. Input: one byte choosing a key, the value
// text up to a newline, then newline-separated arguments of a whole command line. Properties: a
// value the table accepts is inside the key's limits and in the pump's form; durations survive
// their own clock text; a command line parse() accepts names a command and option values in
// their ranges.

#include "FuzzInput.h"
#include "Require.h"

#include "cli/CliArguments.h"
#include "pump/DurationText.h"
#include "pump/KeyTable.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

using Pump::KeyTable;
using Kind = KeyTable::Kind;

void checkSetting(const KeyTable::Key &key, const KeyTable::Setting &s)
{
    const int v = s.value;
    switch (key.kind) {
    case Kind::Decimal:
        // Thousandths, truncated: never more than the limit, at most one below it.
        require(v >= std::lround(key.minimum * 1000) - 1 && v <= std::lround(key.maximum * 1000),
                "a decimal value lies within its limits");
        break;
    case Kind::Duration: {
        const int seconds = key.set == KeyTable::Id::SetDispenseTime
                                ? v / 1000000 * 3600 + v / 10000 % 100 * 60 + v / 100 % 100
                                : v;
        if (key.set == KeyTable::Id::SetDispenseTime)
            require(v % 100 == 0 && v / 100 % 100 < 60 && v / 10000 % 100 < 60,
                    "a dispense time is HHMMSS00 with minutes and seconds below 60");
        require(seconds >= key.minimum && seconds <= key.maximum, "a duration lies within limits");
        break;
    }
    case Kind::Cycles:
    case Kind::Whole:
        require(v >= key.minimum && v <= key.maximum, "a count lies within its limits");
        break;
    case Kind::List:
        require(std::find(key.codes.begin(), key.codes.end(), v) != key.codes.end() ||
                    key.set == KeyTable::Id::SetRunMode,
                "a list value is one of the pump's codes");
        break;
    case Kind::Switch:
        require(v == 0 || v == 1, "a switch sends 0 or 1");
        break;
    case Kind::Percent:
        require(v >= 8000 && v <= 12000 && v % 10 == 0,
                "a calibration is 80.00 to 120.00 % in steps of 0.1");
        break;
    default:
        require(false, "a read-only key accepts nothing");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const auto &keys = KeyTable::keys();
    const KeyTable::Key &key = keys[in.takeByte() % keys.size()];
    const QString text = QString::fromUtf8(in.takeField().c_str());

    const KeyTable::Setting s = KeyTable::parse(key, text);
    const KeyTable::Setting again = KeyTable::parse(key, text);
    require(s.ok() == again.ok() && s.value == again.value && s.command == again.command,
            "parsing is deterministic");
    if (s.ok()) {
        require(key.settable() && s.command != KeyTable::Id::Base,
                "an accepted value has a command");
        checkSetting(key, s);
    } else {
        require(!s.error.isEmpty() && s.error.contains(key.name), "a refusal names its key");
    }

    const std::optional<int> seconds = Pump::DurationText::seconds(text);
    if (seconds) {
        require(*seconds >= 0 && *seconds <= 86400, "a duration is at most a day");
        require(Pump::DurationText::seconds(Pump::DurationText::clock(*seconds)) == seconds,
                "a duration reads back from its clock text");
    }

    QStringList arguments;
    while (!in.atEnd())
        arguments << QString::fromUtf8(in.takeField().c_str());
    const CliArguments a = CliArguments::parse(arguments);
    require(a.timeoutMs >= 1 && a.timeoutMs <= 600000, "the time-out is in range");
    require(a.address >= -1 && a.address <= 99, "the address is in range");
    if (a.error.isEmpty() && !a.help && !a.version)
        require(CliArguments::commands().contains(a.command), "an accepted line names a command");
    return 0;
}
