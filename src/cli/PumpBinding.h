#pragma once

#include <QString>

#include <optional>

// One --pump NAME=PORT[:ADDRESS] of program run: which port (and address) a program's pump is on.
// Pure: the port is only opened later.
class PumpBinding
{
public:
    QString name;
    QString port;
    int address = -1; // -1: not given

    // "A=/dev/ttyUSB0:3"; nothing, with the reason in *error, for a text of another form. An
    // address is the digits after the port's last ':'.
    static std::optional<PumpBinding> parse(const QString &text, QString *error);
};
