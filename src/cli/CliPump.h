#pragma once

#include "cli/PumpSession.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class CliArguments;
class CliOutput;
class HeadlessPump;
class Journal;

// The pump as one command of the tool reaches it: the port and address chosen and opened,
// commands that must be taken, and what the tool says when the pump refuses or stays silent.
class CliPump
{
public:
    using Id = BusinessLogic::CommandSpezifier;

    CliPump(const CliArguments &arguments, const CliOutput &output);
    ~CliPump();

    // Chooses the port and the address (serve adds its configuration file's); false, with the
    // message given and *exit set, when there is no port or the address is wrong.
    bool choose(int *exit, const QString &configPort = QString(), int configAddress = -1);
    // Chooses and opens the port; false, with the message given and *exit set, when it cannot.
    bool connect(int *exit);
    // The chosen port and address as a polled pump with its runner, writing to journal as this
    // user's tool; null, with the message given and *exit set, when the port cannot be opened.
    std::unique_ptr<HeadlessPump> polled(Journal &journal, int *exit);
    // A command that must be taken: true when it was; otherwise the message is given and *exit
    // set.
    bool send(Id command, long value, const QString &what, int *exit);
    // The message for a refusal, with the lit error flags; returns the status. It is the
    // failure's cause, with the flags as "errors".
    int refused(const QString &what);
    // The message for a silent pump or a lost port, as the failure's cause; returns the status.
    int silent(const QString &what);
    // Refused, with the flags named (and as "errors"), when the key is the error flags and one
    // is set.
    int errorsIn(const Pump::KeyTable::Key &key);
    // The lit error flags after reading them; nothing when the pump did not answer.
    std::optional<QStringList> errorFlags();
    // {"errors": the flags' names}, null when they were not read: never [] for an unread list.
    static QJsonObject errorsField(const std::optional<QStringList> &errors);

    // Valid after connect().
    PumpSession &session() { return *pumpSession; }
    const QString &port() const { return portName; }
    int address() const { return pumpAddress; }

private:
    const CliArguments &args;
    const CliOutput &output;
    std::unique_ptr<PumpSession> pumpSession;
    QString portName;
    int pumpAddress = 0;
};
