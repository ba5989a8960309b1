#include "service/LeftRunStop.h"

#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "program/OrphanRuns.h"
#include "remote/HeadlessPump.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>

struct LeftRunStop::Pump
{
    std::unique_ptr<HeadlessPump> headless;
    std::unique_ptr<OrphanRuns> orphans;
    bool closed = false;
};

LeftRunStop::LeftRunStop(Journal &processJournal, std::function<void(const QString &)> logLine)
    : journal(processJournal)
    , log(std::move(logLine))
{}

LeftRunStop::~LeftRunStop() = default;

bool LeftRunStop::run(const std::vector<Line> &lines, int boundMs)
{
    QEventLoop loop;
    int waiting = 0;
    bool ok = true;
    const RequestOrigin origin{
        QLatin1String(JournalEntry::Origin::Cli), JournalEntry::localUser(), {}, {}};
    for (const Line &line : lines) {
        // The journal first, under the id the service's pump core wrote: a pump without a run
        // left open is not even opened.
        const QString pumpId = QStringLiteral("%1:%2").arg(line.port).arg(line.address);
        QVector<JournalRun> left;
        QString problem;
        if (!OrphanRuns::find(journal.path(), pumpId, OrphanRuns::anyOrigin(), QString(), &left,
                              &problem)) {
            log(QStringLiteral("cannot look for runs left open on %1: %2").arg(pumpId, problem));
            ok = false;
            continue;
        }
        if (left.isEmpty())
            continue;
        auto pump = std::make_unique<Pump>();
        pump->headless = std::make_unique<HeadlessPump>(line.port, line.address, &journal, origin);
        PumpCore &core = pump->headless->core();
        QStringList ids;
        for (const JournalRun &r : left)
            ids << r.start.runId;
        log(QStringLiteral("%1: run %2 left open; closing it, and stopping the pump if it goes")
                .arg(pumpId, ids.join(QStringLiteral(", "))));
        pump->orphans = std::make_unique<OrphanRuns>(core, pump->headless->runner(),
                                                     OrphanRuns::anyOrigin(), QString(), false);
        QObject::connect(pump->orphans.get(), &OrphanRuns::logged, &loop,
                         [this](const QString &text) { log(text); });
        Pump *raw = pump.get();
        ++waiting;
        QObject::connect(pump->orphans.get(), &OrphanRuns::closed, &loop, [raw, &waiting, &loop] {
            raw->closed = true;
            if (--waiting == 0)
                loop.quit();
        });
        pumps.push_back(std::move(pump));
    }
    if (waiting > 0) {
        QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (const std::unique_ptr<Pump> &pump : pumps) {
        if (pump->closed)
            continue;
        ok = false;
        log(QStringLiteral("%1: the pump did not answer within %2 s; its run stays open")
                .arg(pump->headless->core().pumpId())
                .arg(boundMs / 1000));
    }
    // Each core's Stop and counts are answered; the closings wait in the journal's queue.
    journal.flush(2000);
    return ok;
}
