#include "pumpcore/RequestOrigin.h"

QString RequestOrigin::text() const
{
    QString out = frontEnd.isEmpty() ? QStringLiteral("unknown") : frontEnd;
    if (!who.isEmpty())
        out += QLatin1Char(' ') + who;
    if (!request.isEmpty())
        out += QStringLiteral(" (request %1)").arg(request);
    return out;
}

QJsonObject RequestOrigin::toJson() const
{
    QJsonObject out{{QStringLiteral("front_end"), frontEnd}, {QStringLiteral("who"), who}};
    if (!request.isEmpty())
        out.insert(QStringLiteral("request"), request);
    return out;
}
