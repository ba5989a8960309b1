#include "service/PumpService.h"

#include "service/PumpThread.h"

#include <QDeadlineTimer>

#include <algorithm>

PumpService::PumpService(Journal *processJournal, const QString &programVersion, bool namedPumps,
                         QObject *parent)
    : QObject(parent)
    , journal(processJournal)
    , version(programVersion)
    , named(namedPumps)
{}

PumpService::~PumpService()
{
    finishAll();
}

bool PumpService::same(const PumpPlan &a, const PumpPlan &b)
{
    return a.name == b.name && a.port == b.port && a.address == b.address &&
           a.identityFolder == b.identityFolder && a.settings == b.settings;
}

QString PumpService::line(const QString &name, const QString &text) const
{
    return named ? QStringLiteral("pump %1: %2").arg(name, text) : text;
}

PumpService::Change PumpService::apply(const QVector<PumpPlan> &plans)
{
    Change change;
    QStringList going;
    for (const auto &served : pumps) {
        const auto kept = std::find_if(plans.begin(), plans.end(), [&](const PumpPlan &plan) {
            return same(plan, served.second->plan());
        });
        if (kept == plans.end())
            going << served.first;
        else
            change.unchanged << served.first;
    }
    // All at once: each Stop is bounded, and the pumps do not wait for one another.
    finishSome(going);
    change.stopped = going;
    for (const PumpPlan &plan : plans) {
        if (change.unchanged.contains(plan.name))
            continue;
        auto thread = std::make_unique<PumpThread>(plan, journal, version);
        const QString name = plan.name;
        connect(thread.get(), &PumpThread::logged, this,
                [this, name](const QString &text) { emit logged(line(name, text)); });
        connect(thread.get(), &PumpThread::silaServing, this,
                [this, name](const QJsonObject &fields, const QString &text) {
                    emit silaServing(fields, line(name, text));
                });
        connect(thread.get(), &PumpThread::failed, this,
                [this, name](const ServedPump::Outcome &outcome) {
                    ServedPump::Outcome said = outcome;
                    said.reason = line(name, outcome.reason);
                    emit failed(name, said);
                });
        const ServedPump::Outcome outcome = thread->start();
        if (!outcome.ok()) {
            thread->waitFinished(PumpThread::FinishMs);
            change.failed << name;
            ServedPump::Outcome said = outcome;
            said.reason = line(name, outcome.reason);
            emit failed(name, said);
            continue;
        }
        change.started << name;
        pumps[name] = std::move(thread);
    }
    return change;
}

void PumpService::finishSome(const QStringList &names)
{
    for (const QString &name : names) {
        const auto it = pumps.find(name);
        if (it == pumps.end())
            continue;
        emit finishing(name);
        it->second->requestFinish();
    }
    const QDeadlineTimer deadline(PumpThread::FinishMs);
    for (const QString &name : names) {
        const auto it = pumps.find(name);
        if (it == pumps.end())
            continue;
        if (!it->second->waitFinished(int(std::max<qint64>(1, deadline.remainingTime())))) {
            emit logged(line(
                name, QStringLiteral("did not end within %1 s").arg(PumpThread::FinishMs / 1000)));
            // Its thread still runs: destroying it would end the process without the Stop the
            // other pumps are owed. Left to the process's end.
            it->second->disconnect(this);
            it->second.release();
        }
        pumps.erase(it);
    }
}

void PumpService::finishAll()
{
    finishSome(names());
}

void PumpService::finish(const QString &name)
{
    finishSome({name});
}

QStringList PumpService::names() const
{
    QStringList list;
    for (const auto &served : pumps)
        list << served.first;
    return list;
}

bool PumpService::invoke(const QString &name, std::function<void(ServedPump &)> work)
{
    const auto it = pumps.find(name);
    if (it == pumps.end())
        return false;
    it->second->invoke(std::move(work));
    return true;
}

const PumpPlan *PumpService::plan(const QString &name) const
{
    const auto it = pumps.find(name);
    return it == pumps.end() ? nullptr : &it->second->plan();
}

bool PumpService::hosts(const QStringList &names,
                        std::map<QString, MultiPumpRunner::Pump> *into) const
{
    std::map<QString, MultiPumpRunner::Pump> found;
    for (const QString &name : names) {
        const auto it = pumps.find(name);
        ServedPump *served = it == pumps.end() ? nullptr : it->second->served();
        if (served == nullptr || served->core() == nullptr)
            return false;
        found.emplace(name, MultiPumpRunner::Pump{*served->core(), *served->runner()});
    }
    *into = found;
    return true;
}
