#include "journal/Journal.h"

#include "journal/JournalQueue.h"
#include "journal/JournalStore.h"
#include "journal/JournalWriter.h"

#include <QDateTime>
#include <QThread>

Journal::Journal(const QString &path, QObject *parent)
    : QObject(parent)
    , filePath(path)
    , queue(std::make_unique<JournalQueue>(Capacity))
{
    qRegisterMetaType<JournalEntry>();
    writer = std::make_unique<JournalWriter>(
        path, *queue, [this](const JournalEntry &entry) { emit written(entry); },
        [this](const QString &text) { emit problem(text); });
    thread = QThread::create([this] { writer->run(); });
    thread->setObjectName(QStringLiteral("journal writer"));
    thread->start();
}

Journal::~Journal()
{
    queue->stop();
    thread->wait();
    delete thread;
}

QString Journal::defaultPath()
{
    return JournalStore::defaultPath();
}

bool Journal::append(JournalEntry entry)
{
    if (entry.timeMs == 0)
        entry.timeMs = QDateTime::currentMSecsSinceEpoch();
    // An origin or user nobody knew is an empty text, never a missing one: the entry still goes
    // on record.
    for (QString *text : {&entry.pump, &entry.kind, &entry.origin, &entry.who}) {
        if (text->isNull())
            *text = QLatin1String("");
    }
    return queue->push(std::move(entry));
}

bool Journal::append(const QString &pump, const QString &kind, const QString &origin,
                     const QString &who, const QJsonObject &fields, const QString &runId)
{
    JournalEntry entry;
    entry.pump = pump;
    entry.kind = kind;
    entry.origin = origin;
    entry.who = who;
    entry.fields = fields;
    entry.runId = runId;
    return append(std::move(entry));
}

bool Journal::flush(int timeoutMs)
{
    return queue->waitDone(timeoutMs);
}

qint64 Journal::dropped() const
{
    return queue->dropped();
}

int Journal::queued() const
{
    return queue->size();
}
