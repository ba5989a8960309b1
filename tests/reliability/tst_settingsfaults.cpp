#include "ProcessRig.h"

#include "platform/InstanceSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

enum class Store {
    Garbage,      // random bytes where the settings file should be
    FileIsDir,    // a directory where the settings file should be
    DirIsFile,    // a regular file where the settings directory should be
    DirLocked,    // the settings directory with mode 000
    FileLocked,   // the settings file with mode 000
    FileReadOnly, // a valid settings file with mode 444
};

// What the program prints in any case on the headless platform.
bool harmless(const QByteArray &line)
{
    return line.trimmed().isEmpty() || line.contains("propagateSizeHints");
}

} // namespace

Q_DECLARE_METATYPE(Store)
Q_DECLARE_METATYPE(ProcessRig::Help)

// A settings store that cannot be read, cannot be written, or holds nonsense: the program starts
// on the defaults (or on what it can read), says nothing about it, and runs as usual. Values of
// the wrong type, as a hand edit or a damaged file leaves them, read as the defaults.
class tst_settingsfaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wrongTypesReadAsDefaults_data();
    void wrongTypesReadAsDefaults();
    void brokenStoreIsSurvived_data();
    void brokenStoreIsSurvived();
};

void tst_settingsfaults::initTestCase()
{
    InstanceSettings::setApplicationNames();
}

void tst_settingsfaults::wrongTypesReadAsDefaults_data()
{
    // The lines below this copy's group, as they stand in the file.
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("address");

    const QString com1 = InstanceSettings::defaultPort();
    QTest::newRow("well formed, for comparison")
        << QByteArray("Communication\\Address=42\nCommunication\\Port%29=/dev/ttyUSB3\n")
        << "/dev/ttyUSB3" << 42;
    QTest::newRow("address in letters") << QByteArray("Communication\\Address=abc\n") << com1 << 0;
    QTest::newRow("address with a unit")
        << QByteArray("Communication\\Address=7 ml\n") << com1 << 0;
    QTest::newRow("address as a fraction")
        << QByteArray("Communication\\Address=7.5\n") << com1 << 0;
    QTest::newRow("address as a list") << QByteArray("Communication\\Address=1, 2\n") << com1 << 0;
    QTest::newRow("address as a rectangle")
        << QByteArray("Communication\\Address=@Rect(1 2 3 4)\n") << com1 << 0;
    QTest::newRow("address past the list")
        << QByteArray("Communication\\Address=100\n") << com1 << 0;
    QTest::newRow("address as an empty variant")
        << QByteArray("Communication\\Address=@Invalid()\n") << com1 << 0;
    QTest::newRow("address key without a value")
        << QByteArray("Communication\\Address\n") << com1 << 0;
    QTest::newRow("port as a list")
        << QByteArray("Communication\\Port%29=COM3, COM4\nCommunication\\Address=5\n") << com1 << 5;
    QTest::newRow("port as a size")
        << QByteArray("Communication\\Port%29=@Size(3 4)\n") << com1 << 0;
    QTest::newRow("port as a point")
        << QByteArray("Communication\\Port%29=@Point(1 2)\n") << com1 << 0;
    QTest::newRow("both wrong, other groups intact")
        << QByteArray("Communication\\Port%29=@Rect(0 0 1 1)\nCommunication\\Address=x\n"
                      "[DOSETTA_INSTANCE_999]\nCommunication\\Address=9\n")
        << com1 << 0;
}

void tst_settingsfaults::wrongTypesReadAsDefaults()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, port);
    QFETCH(int, address);

    const QString file = QSettings().fileName();
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    const QByteArray group =
        "[DOSETTA_INSTANCE_" + QByteArray::number(InstanceSettings::instanceNumber()) + "]\n";
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(group + lines);
    }
    // Each row's file must look new to the store's cache, whatever its size.
    static int row = 0;
    QFile touched(file);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(++row),
                                QFileDevice::FileModificationTime));
    touched.close();

    InstanceSettings settings;
    QCOMPARE(settings.port(), port);
    QCOMPARE(settings.address(), address);
}

void tst_settingsfaults::brokenStoreIsSurvived_data()
{
    // unprivileged: run the program as an ordinary user, for whom permissions count, with the
    // help collection beside it readable, unreadable or absent (the end must be silent for all).
    using Help = ProcessRig::Help;
    QTest::addColumn<Store>("store");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<Help>("help");

    QTest::newRow("settings file of garbage bytes") << Store::Garbage << false << Help::Readable;
    QTest::newRow("a directory in place of the settings file")
        << Store::FileIsDir << false << Help::Readable;
    QTest::newRow("a file in place of the settings directory")
        << Store::DirIsFile << false << Help::Readable;
    QTest::newRow("settings directory mode 000") << Store::DirLocked << true << Help::Readable;
    QTest::newRow("settings file mode 000") << Store::FileLocked << true << Help::Unreadable;
    QTest::newRow("settings file read-only, its values used")
        << Store::FileReadOnly << true << Help::Readable;
    QTest::newRow("settings file read-only, help unreadable")
        << Store::FileReadOnly << true << Help::Unreadable;
    QTest::newRow("settings directory mode 000, no help")
        << Store::DirLocked << true << Help::Absent;
}

void tst_settingsfaults::brokenStoreIsSurvived()
{
    QFETCH(Store, store);
    QFETCH(bool, unprivileged);
    QFETCH(ProcessRig::Help, help);

    ProcessRig rig;
    QVERIFY(rig.isValid());
    rig.setUnprivilegedHelp(help);
    const QString dir = QFileInfo(rig.settingsFile()).absolutePath();
    // Every store that can be read points at a pump at address 4 (and the port list holds
    // it): the pump hears the program exactly when the program read the store.
    const bool storedUsed = store == Store::FileReadOnly;
    QVERIFY(rig.startPump("pump", 4) != nullptr);
    const QStringList ports{rig.linkPath("pump")};
    if (ProcessRig::runningAsRoot()) {
        const QByteArray device = QFile::encodeName(rig.devicePath("pump"));
        QCOMPARE(::chown(device.constData(), ProcessRig::NobodyId, ProcessRig::NobodyId), 0);
    }
    const ProcessRig::Preset preset{1, rig.linkPath("pump"), "4"};

    switch (store) {
    case Store::Garbage: {
        QFile file(rig.settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QRandomGenerator random(8);
        QByteArray bytes(8192, '\0');
        for (char &b : bytes)
            b = static_cast<char>(random.bounded(256));
        // Fragments the reader parses specially, broken off.
        bytes.insert(100, "\n[DOSETTA_INSTANCE_1\nCommunication\\Address=@Variant(\\0\\0\\0\x7f");
        bytes.insert(900, "\nCommunication\\Port%29=@ByteArray(\n\\\\\\");
        file.write(bytes);
        break;
    }
    case Store::FileIsDir:
        QVERIFY(QDir().mkpath(rig.settingsFile()));
        break;
    case Store::DirIsFile: {
        QVERIFY(QDir(dir).removeRecursively());
        QFile file(dir);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a directory\n");
        break;
    }
    case Store::DirLocked:
        QVERIFY(rig.writeSettings({preset}));
        QVERIFY(QFile::setPermissions(dir, {}));
        break;
    case Store::FileLocked:
        QVERIFY(rig.writeSettings({preset}));
        QVERIFY(QFile::setPermissions(rig.settingsFile(), {}));
        break;
    case Store::FileReadOnly:
        QVERIFY(rig.writeSettings({preset}));
        QVERIFY(QFile::setPermissions(rig.settingsFile(),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        break;
    }
    QByteArray fileBefore;
    if (storedUsed) {
        QFile file(rig.settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        fileBefore = file.readAll();
    }

    ChildProcess *program = rig.startProgram("dosetta", ports, unprivileged);
    QVERIFY(program != nullptr);
    if (storedUsed) {
        // The stored port is opened at start-up: the first frames reach the pump within a
        // fifth of a second, the first refresh ticks' answers within one.
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.pumpLog("pump").countAnswered(TrafficLog::Always, TrafficLog::Never) > 10, 4000);
    } else {
        // Nothing can show that the pump's port was left alone, only that nothing came: two
        // seconds are ten times what the first frame takes when the port is used, and a second
        // past the window's appearance.
        QTest::qWait(2000);
    }
    QVERIFY2(program->running(), qPrintable(ChildProcess::describe(program->end())));
    QCOMPARE(ProcessRig::instanceHeld(*program), 1);
    const TrafficLog log = rig.pumpLog("pump");
    if (storedUsed) {
        // The stored port and address: the pump at address 4 answers it.
        QCOMPARE(ProcessRig::terminalsHeld(*program), QStringList{rig.devicePath("pump")});
        QCOMPARE(log.addresses(), std::vector<std::string>{"04"});
        QVERIFY(log.countAnswered(TrafficLog::Always, TrafficLog::Never) > 10);
    } else {
        // The defaults: port COM1, which is not there, so no port is open and the pump hears
        // nothing.
        QCOMPARE(ProcessRig::terminalsHeld(*program), QStringList());
        QCOMPARE(log.countFrames(TrafficLog::Always, TrafficLog::Never), 0);
    }

    program->signal(SIGTERM);
    const ChildProcess::End end = program->waitForEnd(10000);
    // SIGTERM ends the event loop: the program tears down in order and exits normally.
    QVERIFY2(end.exited && end.exitCode == 0, qPrintable(ChildProcess::describe(end)));
    // Nothing said about the store: no line on standard error beyond the platform's usual.
    for (const QByteArray &line : program->standardError().split('\n'))
        QVERIFY2(harmless(line), line.constData());
    QVERIFY(program->standardOutput().isEmpty());

    if (storedUsed) {
        QFile file(rig.settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), fileBefore);
    }
    // The rig removes its directory: give the owner its rights back first.
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(rig.settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
}

QTEST_GUILESS_MAIN(tst_settingsfaults)
#include "tst_settingsfaults.moc"
