#include "cli/PumpBinding.h"

#include "cli/CliArguments.h"
#include "pump/KeyTable.h"

std::optional<PumpBinding> PumpBinding::parse(const QString &text, QString *error)
{
    const auto refuse = [&](const QString &why) {
        *error = QStringLiteral("--pump %1: %2; it takes NAME=PORT[:ADDRESS]").arg(text, why);
        return std::nullopt;
    };
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return refuse(QStringLiteral("no pump name before \"=\""));
    PumpBinding b;
    b.name = text.left(equals);
    b.port = text.mid(equals + 1);
    const int colon = b.port.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString digits = b.port.mid(colon + 1);
        bool ok = !digits.isEmpty();
        for (QChar c : digits)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int address = ok && digits.size() <= 3 ? digits.toInt() : -1;
        if (ok && (address < 0 || address > Pump::KeyTable::HighestAddress))
            return refuse(
                QStringLiteral("the address is not %1").arg(CliArguments::addressRange()));
        if (ok) {
            b.address = address;
            b.port.truncate(colon);
        }
    }
    if (b.port.isEmpty())
        return refuse(QStringLiteral("no port after \"=\""));
    return b;
}
