#pragma once

#include "platform/ExclusiveFile.h"
#include "recorder/ProcessSample.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

// Writes the samples into a CSV file, one row each, handed to the system as soon as it is
// formatted. Never overwrites a file. A folder that cannot be written, a full disk or a file that
// vanishes stops the recording with the reason; nothing else does.
class CsvRecorder : public QObject
{
    Q_OBJECT

public:
    // How often what was written is pushed to the storage device: a power cut loses at most
    // these last seconds, a crash of the program nothing.
    static constexpr int SyncIntervalMs = 5000;

    explicit CsvRecorder(QObject *parent = nullptr);
    ~CsvRecorder() override;

    // The user's documents folder.
    static QString defaultFolder();
    // dosetta-<instance>-<YYYYmmdd-HHMMSS>.csv
    static QString defaultName(int instance, const QDateTime &localTime);
    // The default name in that folder, or with "-2", "-3", ... before ".csv" while a file of
    // that name exists.
    static QString freePath(const QString &folder, int instance, const QDateTime &localTime);

    // Creates the file and writes the header; stops a recording in progress first. False, with
    // the reason, when the file cannot be created.
    bool start(const QString &path);
    // Starts in the documents folder under a free default name (the folder is made if missing).
    bool startDefault(int instance);
    // The operator's stop: everything written is synced and the file closed.
    void stop();

    bool recording() const { return file.isOpen(); }
    QString path() const { return filePath; }
    qint64 rows() const { return rowCount; }
    // Why the last recording ended or could not start; empty after the operator's stop.
    QString reason() const { return lastReason; }

public slots:
    void write(const ProcessSample &sample);

signals:
    void started(const QString &path);
    void rowsWritten(qint64 rows);
    // reason is empty when the operator stopped the recording.
    void stopped(const QString &reason);

private:
    void fail(const QString &reason);
    void finish();

    ExclusiveFile file;
    QString filePath;
    qint64 rowCount = 0;
    qint64 startMs = 0;
    QString lastReason;
    QElapsedTimer sinceSync;
};
