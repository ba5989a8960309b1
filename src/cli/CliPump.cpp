#include "cli/CliPump.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "cli/PortChoice.h"
#include "journal/Journal.h"
#include "platform/InstanceSettings.h"
#include "remote/HeadlessPump.h"

#include <QJsonArray>
#include <QSettings>

using BusinessLogic::AnswerOutcome;
using Pump::KeyTable;

namespace {

// The window's stored choice for its first copy.
QVariant storedValue(const QString &key)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             InstanceSettings::organizationName(),
                             InstanceSettings::applicationName());
    return settings.value(InstanceSettings::groupPrefix() + QLatin1Char('1') + QLatin1Char('/') +
                          key);
}

} // namespace

CliPump::CliPump(const CliArguments &arguments, const CliOutput &out)
    : args(arguments)
    , output(out)
{}

CliPump::~CliPump() = default;

bool CliPump::choose(int *exit, const QString &configPort, int configAddress)
{
    PortChoice::Sources sources;
    sources.optionPort = args.port;
    sources.optionAddress = args.address;
    sources.configPort = configPort;
    sources.configAddress = configAddress;
    sources.environmentPort = qEnvironmentVariable("DOSETTA_PORT");
    if (qEnvironmentVariableIsSet("DOSETTA_ADDRESS"))
        sources.environmentAddress = qEnvironmentVariable("DOSETTA_ADDRESS");
    // The settings are read only when nothing before them gives the value.
    const bool portGiven =
        !args.port.isEmpty() || !configPort.isEmpty() || !sources.environmentPort.isEmpty();
    if (!portGiven)
        sources.storedPort = storedValue(InstanceSettings::portKey()).toString();
    if (args.address < 0 && configAddress < 0 && !sources.environmentAddress)
        sources.storedAddress = storedValue(InstanceSettings::addressKey());
    const PortChoice choice = PortChoice::choose(sources);
    if (!choice.ok()) {
        output.message(choice.error);
        *exit = CliRunner::Usage;
        return false;
    }
    portName = choice.port;
    pumpAddress = choice.address;
    return true;
}

bool CliPump::connect(int *exit)
{
    if (!choose(exit))
        return false;
    pumpSession = std::make_unique<PumpSession>(args.timeoutMs);
    if (!pumpSession->open(portName, pumpAddress)) {
        const QString why = pumpSession->problem().text();
        output.message(why.isEmpty() ? QStringLiteral("%1 cannot be opened").arg(portName) : why);
        *exit = CliRunner::NoAnswer;
        return false;
    }
    return true;
}

QJsonObject CliPump::errorsField(const std::optional<QStringList> &errors)
{
    return {{QStringLiteral("errors"), errors ? QJsonValue(QJsonArray::fromStringList(*errors))
                                              : QJsonValue(QJsonValue::Null)}};
}

int CliPump::silent(const QString &what)
{
    if (pumpSession && !pumpSession->portOpen()) {
        output.cause(
            QStringLiteral("%1: the port was lost. %2").arg(what, pumpSession->problem().text()));
    } else {
        output.cause(QStringLiteral("%1: no answer from the pump at address %2 on %3 within "
                                    "%4 ms; check the cable, the pump's power and its address "
                                    "('dosetta-cli search')")
                         .arg(what)
                         .arg(pumpAddress)
                         .arg(portName)
                         .arg(args.timeoutMs));
    }
    return CliRunner::NoAnswer;
}

std::optional<QStringList> CliPump::errorFlags()
{
    const KeyTable::Key &errors = KeyTable::key(QStringLiteral("errors"));
    if (!pumpSession->read(errors))
        return std::nullopt;
    return KeyTable::json(errors, pumpSession->items()).toVariant().toStringList();
}

int CliPump::errorsIn(const KeyTable::Key &key)
{
    if (key.name != QLatin1String("errors"))
        return CliRunner::Done;
    const QStringList errors = KeyTable::json(key, pumpSession->items()).toVariant().toStringList();
    if (errors.isEmpty())
        return CliRunner::Done;
    output.cause(QStringLiteral("the pump reports: %1").arg(errors.join(QLatin1String(", "))),
                 errorsField(errors));
    return CliRunner::Refused;
}

int CliPump::refused(const QString &what)
{
    const std::optional<QStringList> errors = errorFlags();
    if (errors && !errors->isEmpty())
        output.cause(QStringLiteral("the pump refused %1; it reports: %2")
                         .arg(what, errors->join(QLatin1String(", "))),
                     errorsField(errors));
    else
        output.cause(QStringLiteral("the pump refused %1").arg(what), errorsField(errors));
    return CliRunner::Refused;
}

bool CliPump::send(Id command, long value, const QString &what, int *exit)
{
    const PumpSession::Exchange e = pumpSession->run(command, value);
    if (e.answered())
        return true;
    *exit = e.outcome == AnswerOutcome::Nak ? refused(what) : silent(what);
    return false;
}

std::unique_ptr<HeadlessPump> CliPump::polled(Journal &journal, int *exit)
{
    auto headless = std::make_unique<HeadlessPump>(
        portName, pumpAddress, &journal,
        RequestOrigin{QLatin1String(JournalEntry::Origin::Cli), JournalEntry::localUser(),
                      QString(), QString()});
    if (headless->portOpen())
        return headless;
    const QString why = headless->problem().text();
    output.message(why.isEmpty() ? QStringLiteral("%1 cannot be opened").arg(portName) : why);
    *exit = CliRunner::NoAnswer;
    return nullptr;
}
