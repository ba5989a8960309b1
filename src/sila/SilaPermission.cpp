#include "SilaPermission.h"

#include "platform/EscapedText.h"

SilaPermission::SilaPermission(bool allowed, const QStringList &names)
    : allowed(allowed)
    , clients(allowed ? names : QStringList())
{}

bool SilaPermission::parseNames(const QString &text, QStringList *names, QString *why)
{
    QStringList parsed;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        QString problem;
        if (name.isEmpty())
            problem = QStringLiteral("an empty name in \"%1\"").arg(EscapedText::text(text));
        else if (name.size() > MaxNameLength)
            problem = QStringLiteral("a common name has %1 characters at most").arg(MaxNameLength);
        for (const QChar c : name) {
            if (problem.isEmpty() &&
                (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format))
                problem =
                    QStringLiteral("\"%1\" holds a control character").arg(EscapedText::text(name));
        }
        if (problem.isEmpty() && parsed.size() >= MaxNames)
            problem = QStringLiteral("more than %1 names").arg(MaxNames);
        if (!problem.isEmpty()) {
            *why = problem;
            return false;
        }
        if (!parsed.contains(name))
            parsed << name;
    }
    *names = parsed;
    return true;
}

bool SilaPermission::allows(const QString &client) const
{
    if (!allowed)
        return false;
    // A client without a verified name is never one of the named.
    return clients.isEmpty() || (!client.isEmpty() && clients.contains(client));
}

QString SilaPermission::refusal(const QString &client) const
{
    if (!allowed)
        return QString();
    const QString who = client.isEmpty() ? QStringLiteral("a client without a certificate name")
                                         : EscapedText::text(client);
    QStringList shown;
    for (const QString &name : clients)
        shown << EscapedText::text(name);
    return QStringLiteral("only %1 may, not %2").arg(shown.join(QStringLiteral(", ")), who);
}

QString SilaPermission::text() const
{
    if (!allowed)
        return QStringLiteral("not allowed");
    if (clients.isEmpty())
        return QStringLiteral("allowed");
    QStringList shown;
    for (const QString &name : clients)
        shown << EscapedText::text(name);
    return QStringLiteral("allowed for %1").arg(shown.join(QStringLiteral(", ")));
}
