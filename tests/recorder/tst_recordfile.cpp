// The recording file on a real file system: never overwritten, named after the instance and the
// time, written row by row, and stopped with the reason by an unwritable folder, a full disk
// (a small tmpfs, where the test may mount one) and a file that vanishes.

#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

ProcessSample sample(int n)
{
    ProcessSample s;
    s.timeMs = 1796709877146 + n * 700;
    s.runState = ProcessSample::RunState::Running;
    s.volumeDelivered = 417 * n;
    s.status = QStringList{QStringLiteral("Motor in Motion")};
    return s;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Every line whole: ends in CR LF and has the header's twelve fields.
bool wholeLines(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n')) {
        if (!line.isEmpty() && (!line.endsWith('\r') || line.count(',') != 13))
            return false;
    }
    return text.endsWith("\r\n");
}

// A tmpfs with these mount options on a fresh folder for the life of the object, where the test
// runs as root in a system that lets it.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString &options)
    {
        mounted = ::geteuid() == 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", options,
                                                                  "tmpfs", dir.path()}) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            QProcess::execute("umount", {dir.path()});
    }
    QTemporaryDir dir;
    bool mounted = false;
};

} // namespace

class tst_RecordFile : public QObject
{
    Q_OBJECT

private slots:
    void neverOverwrites();
    void defaultNames();
    void rowsReachTheFileAtOnceAndStopEndsCleanly();
    void stopsWithTheReason_data();
    void stopsWithTheReason();
};

void tst_RecordFile::neverOverwrites()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me\n");
    file.close();
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(!recorder.start(path));
    recorder.write(sample(1));
    QVERIFY(!recorder.recording());
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(QStringLiteral("exists already")),
             qPrintable(recorder.reason()));
    QCOMPARE(contents(path), QByteArray("keep me\n"));
}

void tst_RecordFile::defaultNames()
{
    const QDateTime at(QDate(2026, 12, 8), QTime(6, 4, 37, 146));
    QCOMPARE(CsvRecorder::defaultName(3, at), QStringLiteral("dosetta-3-20261208-060437.csv"));
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dosetta-3-20261208-060437.csv"));
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at), first);
    // Two recordings in the same second: the second one gets a number; a dangling link counts.
    QFile(first).open(QIODevice::WriteOnly);
    const QString second = dir.filePath(QStringLiteral("dosetta-3-20261208-060437-2.csv"));
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at), second);
    QVERIFY(QFile::link(QStringLiteral("nowhere"), second));
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at),
             dir.filePath(QStringLiteral("dosetta-3-20261208-060437-3.csv")));
}

// Each row is in the file as soon as it is written; the operator's stop ends it after a whole row.
void tst_RecordFile::rowsReachTheFileAtOnceAndStopEndsCleanly()
{
    QTemporaryDir dir;
    CsvRecorder recorder;
    QSignalSpy rows(&recorder, &CsvRecorder::rowsWritten);
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(recorder.start(dir.filePath(QStringLiteral("run.csv"))));
    for (int n = 1; n <= 3; ++n) {
        recorder.write(sample(n));
        // Read by another handle while the recording runs: the row is there.
        const QByteArray text = contents(recorder.path());
        QCOMPARE(text.count('\n'), n + 1);
        QVERIFY(text.endsWith(CsvFormat::row(sample(n), sample(1).timeMs)));
        QCOMPARE(rows.last().at(0).toLongLong(), qint64(n));
    }
    recorder.stop();
    recorder.stop();
    recorder.write(sample(4));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped.at(0).at(0).toString(), QString());
    QCOMPARE(contents(recorder.path()).count('\n'), 4);
    QVERIFY(wholeLines(contents(recorder.path())));
}

void tst_RecordFile::stopsWithTheReason_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("because");
    QTest::newRow("folder missing") << "missing"
                                    << "No such file or directory";
    QTest::newRow("folder is a file") << "file"
                                      << "Not a directory";
    QTest::newRow("read-only file system") << "readonly"
                                           << "Read-only file system";
    QTest::newRow("no write permission") << "permission"
                                         << "Permission denied";
    QTest::newRow("disk full") << "full"
                               << "No space left on device";
    QTest::newRow("file deleted") << "delete"
                                  << "removed or renamed";
    QTest::newRow("file renamed") << "rename"
                                  << "removed or renamed";
    QTest::newRow("file replaced by another") << "replace"
                                              << "removed or renamed";
}

void tst_RecordFile::stopsWithTheReason()
{
    QFETCH(QString, kind);
    QFETCH(QString, because);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("folder/run.csv"));
    std::unique_ptr<SmallFileSystem> small;
    if (kind == "file") {
        QFile(dir.filePath(QStringLiteral("folder"))).open(QIODevice::WriteOnly);
    } else if (kind == "readonly" || kind == "full") {
        small = std::make_unique<SmallFileSystem>(kind == "full" ? "size=64k" : "ro,size=64k");
        QVERIFY2(small->mounted, "a full or read-only file system: mounting a small tmpfs "
                                 "needs root and a system that allows it");
        path = small->dir.filePath(QStringLiteral("run.csv"));
    } else if (kind == "permission") {
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        QFile::setPermissions(dir.filePath(QStringLiteral("folder")),
                              QFile::ReadOwner | QFile::ExeOwner);
    } else if (kind != "missing") {
        path = dir.filePath(QStringLiteral("run.csv"));
    }
    if (kind == "full") {
        // Fill all but two pages of it.
        QFile filler(small->dir.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        filler.close();
        QVERIFY(filler.resize(filler.size() - 2 * 4096));
    }

    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    const bool starts = kind == "full" || kind == "delete" || kind == "rename" || kind == "replace";
    // Root passes every permission check: it opens the file as nobody here.
    const bool asNobody = kind == "permission" && ::geteuid() == 0;
    if (asNobody)
        ::setfsuid(65534);
    const bool started = recorder.start(path);
    if (asNobody)
        ::setfsuid(0);
    QCOMPARE(started, starts);
    recorder.write(sample(1));
    if (kind == "delete" || kind == "replace")
        QVERIFY(QFile::remove(path));
    if (kind == "rename")
        QVERIFY(QFile::rename(path, dir.filePath(QStringLiteral("moved.csv"))));
    if (kind == "replace") {
        QFile other(path);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("someone else's\n");
    }
    for (int n = 2; recorder.recording() && n < 10000; ++n)
        recorder.write(sample(n));

    QVERIFY(!recorder.recording());
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(because), qPrintable(recorder.reason()));
    QVERIFY2(recorder.reason().contains(QStringLiteral("run.csv")), qPrintable(recorder.reason()));
    if (kind == "full") {
        // What was written stays, in whole rows: the row that did not fit is not half there.
        const QByteArray text = contents(path);
        QCOMPARE(qint64(text.count('\n')), recorder.rows() + 1);
        QVERIFY(recorder.rows() > 10 && wholeLines(text));
    }
    if (kind == "rename") // the rows up to the move, no more
        QCOMPARE(contents(dir.filePath(QStringLiteral("moved.csv"))).count('\n'), 2);
    if (kind == "replace")
        QCOMPARE(contents(path), QByteArray("someone else's\n"));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
