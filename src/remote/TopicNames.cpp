#include "remote/TopicNames.h"

TopicNames::TopicNames(const QString &prefix, const QString &pumpId)
    : base(prefix + QLatin1Char('/') + pumpId + QLatin1Char('/'))
    , id(pumpId)
{}

QString TopicNames::keyOf(const QString &topic) const
{
    const QString setBase = base + QLatin1String("set/");
    if (!topic.startsWith(setBase))
        return QString();
    const QString key = topic.mid(setBase.size());
    return key.contains(QLatin1Char('/')) ? QString() : key;
}
