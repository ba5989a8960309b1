#include "journal/JournalEntry.h"

#include "journal/JournalTime.h"

#include <QUuid>

#include <pwd.h>
#include <unistd.h>

QJsonObject JournalEntry::toJson() const
{
    return {{QStringLiteral("seq"), seq},
            {QStringLiteral("time"), JournalTime::format(timeMs)},
            {QStringLiteral("time_ms"), timeMs},
            {QStringLiteral("pump"), pump},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("origin"), origin},
            {QStringLiteral("who"), who},
            {QStringLiteral("run_id"), runId.isEmpty() ? QJsonValue() : QJsonValue(runId)},
            {QStringLiteral("fields"), fields},
            {QStringLiteral("prev_hash"), QString::fromLatin1(prevHash)},
            {QStringLiteral("hash"), QString::fromLatin1(hash)}};
}

QString JournalEntry::localUser()
{
    passwd entry{};
    passwd *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("uid %1").arg(::geteuid());
}

QString JournalEntry::newRunId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}
