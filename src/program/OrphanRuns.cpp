#include "program/OrphanRuns.h"

#include "journal/Journal.h"
#include "journal/JournalReader.h"
#include "program/ProgramRunner.h"
#include "program/PumpCount.h"
#include "pumpcore/PumpCore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

#include <signal.h>
#include <unistd.h>

namespace {

using Id = BusinessLogic::CommandSpezifier;

// The run's start is stamped when it was queued; a process that started this much later cannot
// have written it (boot time is known to the second, and the clock may have been set since).
constexpr qint64 StartSlackMs = 2000;

// When the process started (UTC ms) and whether it is a zombie, from /proc; nothing when it
// cannot be read.
std::optional<qint64> processStartMs(qint64 pid, bool *zombie)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile system(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly) || !system.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The command name may hold spaces and parentheses: the fields start after its last ')'.
    const QByteArray line = stat.read(4096);
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
    qint64 bootS = 0;
    for (const QByteArray &row : system.read(64 * 1024).split('\n')) {
        if (row.startsWith("btime "))
            bootS = row.mid(6).trimmed().toLongLong();
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    bool ok = false;
    const qint64 started = fields.size() > 19 ? fields.at(19).toLongLong(&ok) : 0;
    if (!ok || bootS <= 0 || ticks <= 0)
        return std::nullopt;
    *zombie = fields.at(0) == "Z";
    return bootS * 1000 + started * 1000 / ticks;
}

double thousandths(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

} // namespace

QStringList OrphanRuns::anyOrigin()
{
    QStringList list;
    for (const char *origin :
         {JournalEntry::Origin::Window, JournalEntry::Origin::Cli, JournalEntry::Origin::Bridge,
          JournalEntry::Origin::Sila, JournalEntry::Origin::Program})
        list << QLatin1String(origin);
    return list;
}

bool OrphanRuns::ownerGone(const JournalEntry &start, QString *why)
{
    const qint64 pid = start.fields.value(QStringLiteral("pid")).toVariant().toLongLong();
    const auto say = [why](const QString &text, bool gone) {
        if (why != nullptr)
            *why = text;
        return gone;
    };
    if (pid <= 0)
        return say(QStringLiteral("the run's start names no process"), false);
    const QString process = QStringLiteral("the process %1 that owned the run").arg(pid);
    if (pid > std::numeric_limits<pid_t>::max() ||
        (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
        return say(process + QStringLiteral(" is gone"), true);
    bool zombie = false;
    const std::optional<qint64> startedMs = processStartMs(pid, &zombie);
    if (zombie)
        return say(process + QStringLiteral(" is gone"), true);
    if (startedMs && *startedMs > start.timeMs + StartSlackMs)
        return say(process + QStringLiteral(" is gone (a later process has its id)"), true);
    return say(process + QStringLiteral(" is still there"), false);
}

bool OrphanRuns::find(const QString &journalPath, const QString &pump, const QStringList &origins,
                      const QString &who, QVector<JournalRun> *runs, QString *problem)
{
    runs->clear();
    // An empty file is one a writer (another pump of this process, perhaps) is setting up.
    const QFileInfo file(journalPath);
    if (!file.exists() || file.size() == 0)
        return true;
    JournalReader reader(journalPath);
    if (!reader.open()) {
        *problem = reader.problem();
        return false;
    }
    for (const QString &origin : origins) {
        const QVector<JournalRun> open = reader.openRuns(pump, origin, who);
        if (!reader.problem().isEmpty()) {
            *problem = reader.problem();
            return false;
        }
        for (const JournalRun &run : open) {
            if (ownerGone(run.start))
                runs->append(run);
        }
    }
    std::sort(runs->begin(), runs->end(),
              [](const JournalRun &a, const JournalRun &b) { return a.start.seq < b.start.seq; });
    return true;
}

OrphanRuns::OrphanRuns(PumpCore &pumpCore, const ProgramRunner &programRunner,
                       const QStringList &origins, const QString &who, bool ask, QObject *parent)
    : QObject(parent)
    , core(pumpCore)
    , runner(programRunner)
    , origins(origins)
    , who(who)
    , ask(ask)
    , host(pumpCore.origin())
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &OrphanRuns::timedOut);
    // Each time the pump answers again: the link may now lead to another pump, or another
    // process may have had this one while it was away.
    connect(&core, &PumpCore::linkStateChanged, this, [this](const LinkState &state) {
        if (state.connected() && !wasConnected)
            connected();
        wasConnected = state.connected();
    });
    connect(&core, &PumpCore::sampled, this, &OrphanRuns::sampled);
    connect(&core, &PumpCore::answered, this, &OrphanRuns::answered);
    connect(&core.stack(), &BusinessLogic::CommandStack::entriesCleared, this,
            &OrphanRuns::cleared);
    wasConnected = core.linkState().connected();
    if (wasConnected)
        QTimer::singleShot(0, this, &OrphanRuns::connected);
}

void OrphanRuns::connected()
{
    Journal *journal = core.journal();
    if (step != Step::Idle || journal == nullptr)
        return;
    QString problem;
    QVector<JournalRun> list;
    if (!find(journal->path(), core.pumpId(), origins, who, &list, &problem)) {
        emit logged(
            QStringLiteral("cannot look for runs left open on %1: %2").arg(core.pumpId(), problem));
        return;
    }
    if (list.isEmpty())
        return;
    runs = list;
    seen = ProcessSample();
    stopSent = stopTaken = false;
    volumeMl.reset();
    seconds.reset();
    step = Step::Looking;
    deadline.start(LookMs);
}

void OrphanRuns::sampled(const ProcessSample &sample)
{
    if (step != Step::Looking || sample.link != ProcessSample::Link::Connected ||
        sample.runState == ProcessSample::RunState::Unknown)
        return;
    seen = sample;
    decide();
}

void OrphanRuns::decide()
{
    deadline.stop();
    if (!ask) {
        // A paused pump holds what is left of a dose nobody will resume; an unknown state may
        // be a running one.
        close(seen.runState != ProcessSample::RunState::Stopped);
        return;
    }
    step = Step::Asking;
    emit found(runs, seen);
}

void OrphanRuns::close(bool stop)
{
    if (step != Step::Looking && step != Step::Asking)
        return;
    deadline.stop();
    // A run of this host that started meanwhile is what moves the pump now.
    ownRun = runner.status().active();
    stopSent = stop && !ownRun;
    if (!stopSent) {
        count();
        return;
    }
    step = Step::Stopping;
    deadline.start(StopMs);
    sendStop();
}

void OrphanRuns::sendStop()
{
    PumpCore::OriginScope scope(core, host);
    stopTicket = core.stop();
}

void OrphanRuns::answered(const Answer &answer)
{
    if (step == Step::Stopping && answer.commandId == BusinessLogic::toInt(Id::Stop)) {
        if (answer.accepted()) {
            stopTaken = true;
            count();
        } else if (answer.ticket == stopTicket) {
            sendStop(); // silent or garbled: again, until the deadline
        }
        return;
    }
    if (step != Step::Counting || answer.ticket == 0)
        return;
    if (answer.ticket == volumeTicket) {
        volumeTicket = 0;
        if (const std::optional<double> value = PumpCount::of(core, answer, Id::GetActualVolume))
            volumeMl = *value / 1000.0;
    } else if (answer.ticket == timeTicket) {
        timeTicket = 0;
        if (const std::optional<double> value = PumpCount::of(core, answer, Id::GetTimeActual))
            seconds = *value / 1000.0;
    } else {
        return;
    }
    if (volumeTicket == 0 && timeTicket == 0)
        finish();
}

void OrphanRuns::cleared(const std::vector<BusinessLogic::Ticket> &tickets)
{
    const auto gone = [&tickets](BusinessLogic::Ticket &ticket) {
        if (ticket != 0 && std::find(tickets.begin(), tickets.end(), ticket) != tickets.end())
            ticket = 0;
    };
    gone(stopTicket);
    gone(volumeTicket);
    gone(timeTicket);
    if (step == Step::Stopping && stopTicket == 0)
        sendStop();
    else if (step == Step::Counting && volumeTicket == 0 && timeTicket == 0)
        finish();
}

void OrphanRuns::timedOut()
{
    switch (step) {
    case Step::Looking:
        decide();
        break;
    case Step::Stopping:
        count();
        break;
    case Step::Counting:
        finish();
        break;
    case Step::Idle:
    case Step::Asking:
        break;
    }
}

void OrphanRuns::count()
{
    step = Step::Counting;
    deadline.start(CountMs);
    volumeTicket = core.submit(BusinessLogic::Lane::Operator, Id::GetActualVolume, 0);
    timeTicket = core.submit(BusinessLogic::Lane::Operator, Id::GetTimeActual, 0);
    if (volumeTicket == 0 && timeTicket == 0)
        finish();
}

QString OrphanRuns::pumpText() const
{
    using RunState = ProcessSample::RunState;
    if (ownRun)
        return QStringLiteral("a run of this host had started on the pump meanwhile and was left "
                              "alone");
    if (stopSent && !stopTaken)
        return QStringLiteral("the pump did not confirm the Stop; check it");
    if (stopSent && seen.runState == RunState::Unknown)
        return QStringLiteral("whether the pump was running could not be read; it was stopped");
    if (stopSent)
        return QStringLiteral("the pump was still %1 and was stopped")
            .arg(ProcessSample::runStateText(seen.runState));
    if (seen.runState == RunState::Stopped)
        return QStringLiteral("the pump was standing");
    return QStringLiteral("the pump was left %1 at the operator's choice")
        .arg(seen.runState == RunState::Unknown ? QStringLiteral("as it was")
                                                : ProcessSample::runStateText(seen.runState));
}

void OrphanRuns::finish()
{
    deadline.stop();
    const std::vector<BusinessLogic::Ticket> left{volumeTicket, timeTicket};
    volumeTicket = timeTicket = stopTicket = 0;
    if (left[0] != 0 || left[1] != 0)
        core.stack().removeTickets(BusinessLogic::Lane::Operator, left);
    step = Step::Idle;
    const bool standing =
        stopTaken || (!stopSent && !ownRun && seen.runState == ProcessSample::RunState::Stopped);
    const bool leftGoing = !stopSent && !standing;
    Journal *journal = core.journal();
    for (int i = 0; i < runs.size(); ++i) {
        const JournalEntry &start = runs.at(i).start;
        // The pump counts one run at a time: an older run's count went with the next start.
        const bool newest = i == runs.size() - 1;
        QString reason;
        ownerGone(start, &reason);
        reason += QStringLiteral("; ") + pumpText();
        QJsonObject fields{{QStringLiteral("state"), standing    ? QStringLiteral("stopped")
                                                     : leftGoing ? QStringLiteral("running")
                                                                 : QStringLiteral("unknown")},
                           {QLatin1String(JournalRun::Field::Cause), QLatin1String(Cause)},
                           {QStringLiteral("final_count_read"), newest && volumeMl.has_value()},
                           {QStringLiteral("by"), host.toJson()}};
        if (!newest)
            reason += QStringLiteral("; a later run followed it on the pump, so the pump's count "
                                     "is not this run's");
        else if (!volumeMl)
            reason += QStringLiteral("; the pump's count could not be read");
        if (newest && volumeMl)
            fields.insert(QLatin1String(JournalRun::Field::VolumeMl), thousandths(*volumeMl));
        if (newest && seconds)
            fields.insert(QLatin1String(JournalRun::Field::Seconds),
                          std::round(*seconds * 10.0) / 10.0);
        fields.insert(QStringLiteral("reason"), reason);
        if (journal != nullptr)
            journal->append(start.pump, QLatin1String(JournalEntry::Kind::RunEnd), start.origin,
                            start.who, fields, start.runId);
        emit logged(QStringLiteral("closed the run %1 on %2 as %3: %4")
                        .arg(start.runId, start.pump, QLatin1String(Cause), reason));
    }
    runs.clear();
    emit closed();
}
