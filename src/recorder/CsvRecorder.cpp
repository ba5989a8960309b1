#include "recorder/CsvRecorder.h"

#include "recorder/CsvFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

CsvRecorder::CsvRecorder(QObject *parent)
    : QObject(parent)
{}

CsvRecorder::~CsvRecorder()
{
    // Quietly: whoever listened may be gone already.
    finish();
}

QString CsvRecorder::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString CsvRecorder::defaultName(int instance, const QDateTime &localTime)
{
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    return QStringLiteral("dosetta-%1-%2%3%4-%5%6%7.csv")
        .arg(instance)
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'));
}

QString CsvRecorder::freePath(const QString &folder, int instance, const QDateTime &localTime)
{
    const QDir dir(folder);
    const QString name = defaultName(instance, localTime);
    QString path = dir.filePath(name);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(name.chopped(4) + QStringLiteral("-%1.csv").arg(n));
    return path;
}

bool CsvRecorder::start(const QString &path)
{
    if (recording())
        stop();
    lastReason.clear();
    rowCount = 0;
    filePath = QFileInfo(path).absoluteFilePath();
    if (!file.create(filePath)) {
        const QString why =
            QFileInfo(filePath).exists() || QFileInfo(filePath).isSymLink()
                ? QCoreApplication::translate("mainScreen",
                                              "the file exists already, and a recording never "
                                              "overwrites a file")
                : file.errorString();
        lastReason = QCoreApplication::translate("mainScreen", "Cannot record to %1: %2")
                         .arg(QDir::toNativeSeparators(filePath), why);
        emit stopped(lastReason);
        return false;
    }
    if (!file.append(CsvFormat::header())) {
        const QString why = file.errorString();
        file.close();
        QFile::remove(filePath); // empty, and ours: nothing to keep
        fail(QCoreApplication::translate("mainScreen", "Cannot record to %1: %2")
                 .arg(QDir::toNativeSeparators(filePath), why));
        return false;
    }
    sinceSync.start();
    emit started(filePath);
    emit rowsWritten(rowCount);
    return true;
}

bool CsvRecorder::startDefault(int instance)
{
    const QString folder = defaultFolder();
    if (!QDir().mkpath(folder)) {
        lastReason =
            QCoreApplication::translate("mainScreen", "Cannot record: the folder %1 cannot be made")
                .arg(QDir::toNativeSeparators(folder));
        emit stopped(lastReason);
        return false;
    }
    return start(freePath(folder, instance, QDateTime::currentDateTime()));
}

void CsvRecorder::stop()
{
    if (!recording())
        return;
    finish();
    lastReason.clear();
    emit stopped(QString());
}

void CsvRecorder::write(const ProcessSample &sample)
{
    if (!recording())
        return;
    if (!file.stillAtPath()) {
        fail(QCoreApplication::translate("mainScreen",
                                         "Recording stopped: %1 was removed or renamed")
                 .arg(QDir::toNativeSeparators(filePath)));
        return;
    }
    if (rowCount == 0)
        startMs = sample.timeMs; // elapsed_s counts from the first row
    if (!file.append(CsvFormat::row(sample, startMs))) {
        fail(QCoreApplication::translate("mainScreen", "Recording stopped: writing %1 failed: %2")
                 .arg(QDir::toNativeSeparators(filePath), file.errorString()));
        return;
    }
    ++rowCount;
    if (sinceSync.elapsed() >= SyncIntervalMs) {
        sinceSync.restart();
        if (!file.sync()) {
            fail(QCoreApplication::translate("mainScreen",
                                             "Recording stopped: writing %1 failed: %2")
                     .arg(QDir::toNativeSeparators(filePath), file.errorString()));
            return;
        }
    }
    emit rowsWritten(rowCount);
}

void CsvRecorder::fail(const QString &reason)
{
    file.close();
    lastReason = reason;
    emit stopped(lastReason);
}

void CsvRecorder::finish()
{
    if (!recording())
        return;
    file.sync();
    file.close();
}
