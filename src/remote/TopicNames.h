#pragma once

#include <QString>

// The topics of one pump under a prefix: <prefix>/<id>/availability, pump, owner, probe, state,
// info, result, cmd, set/<key>, program and program/run.
class TopicNames
{
public:
    TopicNames(const QString &prefix, const QString &pumpId);

    QString availability() const { return base + QLatin1String("availability"); }
    // "online" while the pump answers the bridge; availability says whether the bridge runs.
    QString pump() const { return base + QLatin1String("pump"); }
    // Who serves the id (retained), and where a starting bridge checks that it has read it.
    QString owner() const { return base + QLatin1String("owner"); }
    QString probe() const { return base + QLatin1String("probe"); }
    QString state() const { return base + QLatin1String("state"); }
    QString info() const { return base + QLatin1String("info"); }
    QString result() const { return base + QLatin1String("result"); }
    QString command() const { return base + QLatin1String("cmd"); }
    // A program's state and progress, and where a program file is sent to run.
    QString program() const { return base + QLatin1String("program"); }
    QString programRun() const { return base + QLatin1String("program/run"); }
    // Each journal entry this process writes for the pump, as it is written.
    QString journal() const { return base + QLatin1String("journal"); }
    QString set(const QString &key) const { return base + QLatin1String("set/") + key; }
    // The subscription that takes every set topic.
    QString setFilter() const { return base + QLatin1String("set/+"); }
    // The key of a set topic; empty for any other topic.
    QString keyOf(const QString &topic) const;
    QString pumpId() const { return id; }

private:
    QString base; // "<prefix>/<id>/"
    QString id;
};
