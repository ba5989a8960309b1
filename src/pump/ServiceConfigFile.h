#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace Pump {

// The "key = value" files the services read their settings from (the bridge, the SiLA server):
// '#' starts a comment line, blank lines are skipped, and an error names the file and its line.
// The pump line's keys, "port" and "address", mean the same in every one of them.
class ServiceConfigFile
{
public:
    static constexpr int MaxBytes = 64 * 1024;

    // Takes one of the service's own keys; false, with the reason, for a key it does not know or
    // a value it refuses.
    using Take = std::function<bool(const QString &key, const QString &value, QString *why)>;

    // Reads every line: "port" into *port, "address" (checked) into *address, the rest through
    // take. False with "<path>:<line>: <reason>" at the first line that fails, or with the reason
    // the file cannot be read (no regular file, over MaxBytes).
    static bool read(const QString &path, QString *port, int *address, const Take &take,
                     QString *error);

    // yes/no, true/false, on/off, 1/0 into *target; false with the reason otherwise.
    static bool flag(const QString &key, const QString &value, bool *target, QString *why);
    static QString unknownKey(const QString &key);

    // Whether the file's group or others may read it (the file itself, through any link).
    static bool othersMayRead(const QString &path);

private:
    static std::optional<bool> yesNo(const QString &text);
};

} // namespace Pump
