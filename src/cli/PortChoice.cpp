#include "cli/PortChoice.h"

#include "cli/CliArguments.h"
#include "platform/InstanceSettings.h"
#include "pump/KeyTable.h"

namespace {

QString firstOf(std::initializer_list<QString> texts)
{
    for (const QString &text : texts) {
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

} // namespace

PortChoice PortChoice::choose(const Sources &s)
{
    PortChoice c;
    c.port = firstOf({s.optionPort, s.configPort, s.environmentPort, s.storedPort});
    if (c.port.isEmpty()) {
        c.error = QStringLiteral("no port given: use --port PORT or set DOSETTA_PORT "
                                 "('dosetta-cli ports' lists them)");
        return c;
    }
    c.address = s.optionAddress >= 0 ? s.optionAddress : s.configAddress;
    if (c.address < 0 && s.environmentAddress) {
        bool ok = false;
        c.address = s.environmentAddress->toInt(&ok, 10);
        if (!ok || c.address < 0 || c.address > Pump::KeyTable::HighestAddress) {
            c.error = QStringLiteral("DOSETTA_ADDRESS must be %1, not \"%2\"")
                          .arg(CliArguments::addressRange(), *s.environmentAddress);
            return c;
        }
    }
    if (c.address < 0) {
        // The window's list of addresses to talk to, which goes one further than a pump answers.
        bool ok = false;
        c.address = s.storedAddress.toInt(&ok);
        if (!ok || c.address < 0 || c.address > InstanceSettings::HighestAddress)
            c.address = InstanceSettings::DefaultAddress;
    }
    return c;
}
