#pragma once

#include "program/MultiPumpRunner.h"
#include "service/PumpPlan.h"
#include "service/ServedPump.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <map>
#include <memory>

class Journal;
class PumpThread;

// Every pump the service serves, each on a thread of its own with its own core, link and
// arbiter. A new set of plans (a reload) starts the pumps added, finishes those removed (Stop
// first for a run of theirs, the run closed in the journal), starts a changed one again, and
// leaves the others running as they are.
//
// Programs across pumps: a coordinator reaches each pump through invoke(), which runs on that
// pump's thread; the service's own topic for them is "<prefix>/<service>/program/run".
class PumpService : public QObject
{
    Q_OBJECT

public:
    struct Change
    {
        QStringList started;   // added, or changed and started again
        QStringList stopped;   // removed, or changed and finished before their new start
        QStringList unchanged; // left running
        QStringList failed;    // could not start; said through failed()
    };

    // The journal is the process's and outlives the service. named: lines and failures carry
    // the pump's name ("pump NAME: ..."), for a service of several pumps.
    PumpService(Journal *journal, const QString &version, bool named, QObject *parent = nullptr);
    // Finishes every pump.
    ~PumpService() override;

    // Serves these pumps from now on; their names are unique.
    Change apply(const QVector<PumpPlan> &plans);
    // Finishes every pump at once, each on its thread, and waits for them all.
    void finishAll();
    // Finishes one pump, as a reload that removed it would.
    void finish(const QString &name);

    QStringList names() const;
    // The plan a pump is served by; null for a name not served.
    const PumpPlan *plan(const QString &name) const;
    // Those pumps' cores and runners, for a program across them: each lives on its pump's
    // thread. False when one is not served.
    bool hosts(const QStringList &names, std::map<QString, MultiPumpRunner::Pump> *into) const;
    // Runs work on that pump's thread with its served pump; false for a name not served.
    bool invoke(const QString &name, std::function<void(ServedPump &)> work);

    // Whether two plans serve a pump the same way (a reload keeps it running).
    static bool same(const PumpPlan &a, const PumpPlan &b);

signals:
    // Right before a pump is finished (removed, changed, or the service ends), on this object's
    // thread: whatever runs across pumps lets go of it now.
    void finishing(const QString &name);
    void logged(const QString &line);
    void silaServing(const QJsonObject &fields, const QString &text);
    // A pump that could not start, or whose front-end ended for good.
    void failed(const QString &name, const ServedPump::Outcome &outcome);

private:
    QString line(const QString &name, const QString &text) const;
    void finishSome(const QStringList &names);

    Journal *const journal;
    const QString version;
    const bool named;
    std::map<QString, std::unique_ptr<PumpThread>> pumps;
};
