#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Which port and address one command of the tool talks to, first found first taken: the command
// line, a configuration file (serve), the environment (DOSETTA_PORT, DOSETTA_ADDRESS), the
// window's stored choice for its first copy, else the default address. Pure: the caller reads
// the sources.
class PortChoice
{
public:
    struct Sources
    {
        QString optionPort;
        int optionAddress = -1; // -1: not given; the command line checked the range
        QString configPort;
        int configAddress = -1; // -1: not given; the configuration reader checked the range
        QString environmentPort;
        std::optional<QString> environmentAddress; // set, as typed
        QString storedPort;
        QVariant storedAddress; // as the window stored it; may be missing or no number
    };

    QString port;
    int address = 0;
    QString error; // why there is no choice; the tool ends with a usage error then

    bool ok() const { return error.isEmpty(); }

    static PortChoice choose(const Sources &sources);
};
