// The recording file on a real file system: never overwritten, named after the instance and the
// time, written row by row, and stopped with the reason by an unwritable folder, a full disk
// (a small tmpfs, where the test may mount one) and a file that vanishes, never by anything else.

#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

ProcessSample sample(int n)
{
    ProcessSample s;
    s.timeMs = 1796709877146 + n * 700;
    s.link = ProcessSample::Link::Connected;
    s.runState = ProcessSample::RunState::Running;
    s.flowRate = 25000;
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
    if (!text.endsWith("\r\n"))
        return false;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.isEmpty() && (!line.endsWith('\r') || line.count(',') != 11))
            return false;
    }
    return true;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A tmpfs of that size mounted on a fresh folder for the life of the object, where the test runs
// as root in a system that lets it.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString &options)
    {
        if (::geteuid() != 0 || !dir.isValid())
            return;
        mounted = run(QStringLiteral("mount"), {"-t", "tmpfs", "-o", options, "tmpfs", dir.path()});
    }
    ~SmallFileSystem()
    {
        if (mounted)
            run(QStringLiteral("umount"), {dir.path()});
    }
    bool isMounted() const { return mounted; }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    bool mounted = false;
};

} // namespace

class tst_RecordFile : public QObject
{
    Q_OBJECT

private slots:
    void neverOverwrites_data();
    void neverOverwrites();
    void defaultNames();
    void startsInTheDocumentsFolder();
    void rowsReachTheFileAtOnce();
    void operatorStopEndsCleanly();
    void unwritableFolder_data();
    void unwritableFolder();
    void fullDisk();
    void vanishingFile_data();
    void vanishingFile();
};

void tst_RecordFile::neverOverwrites_data()
{
    QTest::addColumn<QByteArray>("existing"); // null: a folder of that name
    QTest::newRow("a file with data") << QByteArray("keep me\n");
    QTest::newRow("an empty file") << QByteArray("");
    QTest::newRow("a folder") << QByteArray();
}

void tst_RecordFile::neverOverwrites()
{
    QFETCH(QByteArray, existing);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    if (existing.isNull()) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run.csv")));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(!recorder.start(path));
    QVERIFY(!recorder.recording());
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(QStringLiteral("exists already")),
             qPrintable(recorder.reason()));
    QCOMPARE(stopped.at(0).at(0).toString(), recorder.reason());
    if (!existing.isNull())
        QCOMPARE(contents(path), existing);
    recorder.write(sample(1));
    if (!existing.isNull())
        QCOMPARE(contents(path), existing);
}

void tst_RecordFile::defaultNames()
{
    const QDateTime at(QDate(2026, 12, 8), QTime(6, 4, 37, 146));
    QCOMPARE(CsvRecorder::defaultName(3, at), QStringLiteral("dosetta-3-20261208-060437.csv"));
    QCOMPARE(CsvRecorder::defaultName(12, QDateTime(QDate(987, 1, 2), QTime(0, 0))),
             QStringLiteral("dosetta-12-09870102-000000.csv"));

    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("dosetta-3-20261208-060437.csv"));
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at), first);
    // Two recordings in the same second: the second one gets a number.
    QFile(first).open(QIODevice::WriteOnly);
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at),
             dir.filePath(QStringLiteral("dosetta-3-20261208-060437-2.csv")));
    QVERIFY(QFile::link(QStringLiteral("nowhere"),
                        dir.filePath(QStringLiteral("dosetta-3-20261208-060437-2.csv"))));
    QCOMPARE(CsvRecorder::freePath(dir.path(), 3, at),
             dir.filePath(QStringLiteral("dosetta-3-20261208-060437-3.csv")));
}

void tst_RecordFile::startsInTheDocumentsFolder()
{
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString folder = CsvRecorder::defaultFolder();
    CsvRecorder recorder;
    const bool started = recorder.startDefault(7);
    qputenv("HOME", savedHome);

    QVERIFY2(started, qPrintable(recorder.reason()));
    QCOMPARE(folder, home.filePath(QStringLiteral("Documents")));
    QCOMPARE(QFileInfo(recorder.path()).absolutePath(), folder);
    QVERIFY2(QFileInfo(recorder.path())
                 .fileName()
                 .contains(
                     QRegularExpression(QStringLiteral("^dosetta-7-\\d{8}-\\d{6}(-\\d+)?\\.csv$"))),
             qPrintable(recorder.path()));
    QCOMPARE(contents(recorder.path()), CsvFormat::header());
}

void tst_RecordFile::rowsReachTheFileAtOnce()
{
    QTemporaryDir dir;
    CsvRecorder recorder;
    QSignalSpy rows(&recorder, &CsvRecorder::rowsWritten);
    QVERIFY(recorder.start(dir.filePath(QStringLiteral("run.csv"))));
    for (int n = 1; n <= 3; ++n) {
        recorder.write(sample(n));
        // Read by another handle while the recording runs: the row is there.
        const QByteArray text = contents(recorder.path());
        QCOMPARE(text.count('\n'), n + 1);
        QVERIFY(text.endsWith(CsvFormat::row(sample(n), sample(1).timeMs)));
        QCOMPARE(recorder.rows(), qint64(n));
        QCOMPARE(rows.last().at(0).toLongLong(), qint64(n));
    }
    QVERIFY(recorder.recording());
}

void tst_RecordFile::operatorStopEndsCleanly()
{
    QTemporaryDir dir;
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(recorder.start(dir.filePath(QStringLiteral("run.csv"))));
    recorder.write(sample(1));
    recorder.write(sample(2));
    recorder.stop();
    recorder.stop();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped.at(0).at(0).toString(), QString());
    QVERIFY(recorder.reason().isEmpty());
    recorder.write(sample(3));
    const QByteArray text = contents(dir.filePath(QStringLiteral("run.csv")));
    QCOMPARE(text.count('\n'), 3);
    QVERIFY(wholeLines(text));
    // The same recorder starts again, into a new file.
    QVERIFY(recorder.start(dir.filePath(QStringLiteral("next.csv"))));
    QCOMPARE(recorder.rows(), qint64(0));
}

void tst_RecordFile::unwritableFolder_data()
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
}

void tst_RecordFile::unwritableFolder()
{
    QFETCH(QString, kind);
    QFETCH(QString, because);
    QTemporaryDir dir;
    std::unique_ptr<SmallFileSystem> readOnly;
    QString folder = dir.filePath(QStringLiteral("folder"));
    if (kind == QLatin1String("file")) {
        QFile(folder).open(QIODevice::WriteOnly);
    } else if (kind == QLatin1String("readonly")) {
        readOnly = std::make_unique<SmallFileSystem>(QStringLiteral("ro,size=64k"));
        if (!readOnly->isMounted())
            QSKIP("needs root and a system that lets the test mount a tmpfs");
        folder = readOnly->path();
    } else if (kind == QLatin1String("permission")) {
        if (::geteuid() == 0)
            QSKIP("root writes into any folder: the read-only file system stands in for it");
        QDir().mkdir(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(!recorder.start(QDir(folder).filePath(QStringLiteral("run.csv"))));
    QVERIFY(!recorder.recording());
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(because), qPrintable(recorder.reason()));
    QVERIFY2(recorder.reason().contains(QStringLiteral("run.csv")), qPrintable(recorder.reason()));
    recorder.write(sample(1)); // nothing to write to, and nothing breaks
}

void tst_RecordFile::fullDisk()
{
    SmallFileSystem disk(QStringLiteral("size=64k"));
    if (!disk.isMounted())
        QSKIP("needs root and a system that lets the test mount a tmpfs; the vanishing file "
              "covers the stop on a failing write");
    // Fill all but a little of it.
    {
        QFile filler(QDir(disk.path()).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(filler.resize(filler.size() - 2 * 4096));
    }
    const QString path = QDir(disk.path()).filePath(QStringLiteral("run.csv"));
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY2(recorder.start(path), qPrintable(recorder.reason()));
    int n = 0;
    while (recorder.recording() && n < 10000)
        recorder.write(sample(++n));
    QVERIFY2(!recorder.recording(), "the disk never filled");
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(QStringLiteral("No space left on device")),
             qPrintable(recorder.reason()));
    // What was written stays, in whole rows: the row that did not fit is not half there.
    const QByteArray text = contents(path);
    QCOMPARE(qint64(text.count('\n')), recorder.rows() + 1);
    QVERIFY(recorder.rows() > 10);
    QVERIFY(wholeLines(text));
}

void tst_RecordFile::vanishingFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("deleted") << "delete";
    QTest::newRow("renamed") << "rename";
    QTest::newRow("replaced by another file") << "replace";
}

void tst_RecordFile::vanishingFile()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    CsvRecorder recorder;
    QSignalSpy stopped(&recorder, &CsvRecorder::stopped);
    QVERIFY(recorder.start(path));
    recorder.write(sample(1));
    QVERIFY(recorder.recording());
    const QString moved = dir.filePath(QStringLiteral("moved.csv"));
    if (how == QLatin1String("delete")) {
        QVERIFY(QFile::remove(path));
    } else if (how == QLatin1String("rename")) {
        QVERIFY(QFile::rename(path, moved));
    } else {
        QVERIFY(QFile::remove(path));
        QFile other(path);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("someone else's\n");
    }
    recorder.write(sample(2));
    QVERIFY(!recorder.recording());
    QCOMPARE(stopped.count(), 1);
    QVERIFY2(recorder.reason().contains(QStringLiteral("removed or renamed")),
             qPrintable(recorder.reason()));
    recorder.write(sample(3));
    if (how == QLatin1String("rename"))
        QCOMPARE(contents(moved).count('\n'), 2); // the rows up to the move, no more
    if (how == QLatin1String("replace"))
        QCOMPARE(contents(path), QByteArray("someone else's\n"));
}

QTEST_GUILESS_MAIN(tst_RecordFile)
#include "tst_recordfile.moc"
