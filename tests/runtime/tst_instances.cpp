#include "platform/InstanceLock.h"
#include "platform/InstanceSettings.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Child mode: take an instance number, report it, hold it until stdin closes (or a kill).
int holdInstance()
{
    InstanceSettings settings;
    std::printf("%d %s\n", settings.number(), qPrintable(settings.settingsGroup()));
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

// Instance numbers across real processes (the lock must vanish even on SIGKILL) and the
// per-instance settings keys.
class tst_instances : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void numbersAcrossCopies_data();
    void numbersAcrossCopies();
    void lockIsNotInheritedByChildren();
    void lockFolder_data();
    void lockFolder();
    // These take a number in this process, which then stays taken: keep them last.
    void numberIsCachedAndHeld();
    void keysAndDefaults();
    void storedValues_data();
    void storedValues();

private:
    QProcess *startCopy(const QString &name);
    int numberOf(const QString &name);

    QTemporaryDir runtimeDir;
    QTemporaryDir configDir;
    std::map<QString, std::unique_ptr<QProcess>> copies;
    std::map<QString, int> numbers;
};

void tst_instances::initTestCase()
{
    QVERIFY(runtimeDir.isValid());
    QVERIFY(configDir.isValid());
    // Inherited by the child copies: they all look for their locks in this directory.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir.path()));
    QCOMPARE(InstanceLock::directory(), runtimeDir.path());
}

void tst_instances::cleanup()
{
    for (auto &copy : copies) {
        copy.second->kill();
        copy.second->waitForFinished(5000);
    }
    copies.clear();
    numbers.clear();
}

QProcess *tst_instances::startCopy(const QString &name)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(), {"--hold-instance"});
    QProcess *p = process.get();
    copies[name] = std::move(process);
    return p;
}

int tst_instances::numberOf(const QString &name)
{
    QProcess *p = copies.at(name).get();
    if (!p->canReadLine() && !p->waitForReadyRead(10000))
        return -1;
    const QList<QByteArray> fields = p->readLine().trimmed().split(' ');
    if (fields.size() != 2 || fields.at(1) != "DOSETTA_INSTANCE_" + fields.at(0))
        return -2;
    return fields.at(0).toInt();
}

void tst_instances::numbersAcrossCopies_data()
{
    // Steps: "start x" (and wait for its number), "kill x" (SIGKILL), "end x" (normal exit).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected"); // "x n"

    QTest::newRow("first copy 1, second 2")
        << QStringList{"start a", "start b"} << QStringList{"a 1", "b 2"};
    QTest::newRow("a copy killed with SIGKILL frees its number")
        << QStringList{"start a", "start b", "kill a", "start c"}
        << QStringList{"a 1", "b 2", "c 1"};
    QTest::newRow("a copy that ends frees its number")
        << QStringList{"start a", "start b", "end b", "start c"}
        << QStringList{"a 1", "b 2", "c 2"};
    QTest::newRow("the lowest free number is taken")
        << QStringList{"start a", "start b", "start c", "kill b", "start d", "start e"}
        << QStringList{"a 1", "b 2", "c 3", "d 2", "e 4"};
}

void tst_instances::numbersAcrossCopies()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    for (const QString &step : steps) {
        const QString name = step.section(' ', 1);
        if (step.startsWith("start")) {
            QVERIFY(startCopy(name)->waitForStarted(10000));
            numbers[name] = numberOf(name);
        } else {
            QProcess *p = copies.at(name).get();
            if (step.startsWith("kill"))
                p->kill();
            else
                p->closeWriteChannel();
            QVERIFY(p->waitForFinished(10000));
            if (step.startsWith("kill"))
                QCOMPARE(p->exitStatus(), QProcess::CrashExit);
        }
    }
    for (const QString &e : expected)
        QCOMPARE(numbers.at(e.section(' ', 0, 0)), e.section(' ', 1).toInt());
}

void tst_instances::lockIsNotInheritedByChildren()
{
    // A lock taken here, then a child that runs a copy of the program: once this lock is
    // released the name must be free, even though the child lives on.
    {
        InstanceLock lock(QStringLiteral("DOSETTA_1"));
        QVERIFY(lock.acquired());
        InstanceLock again(QStringLiteral("DOSETTA_1"));
        QVERIFY(!again.acquired());
        QVERIFY(startCopy("child")->waitForStarted(10000));
        QCOMPARE(numberOf("child"), 2);
    }
    InstanceLock after(QStringLiteral("DOSETTA_1"));
    QVERIFY(after.acquired());
}

namespace {

enum class Folder {
    Absent,        // no private folder yet
    OtherOwner,    // made by another user
    OthersWrite,   // ours, but mode 0777
    Symlink,       // a link to a folder of ours
    LockSymlink,   // a good runtime folder whose DOSETTA_1.lock links elsewhere
    RuntimeIsFile, // $XDG_RUNTIME_DIR names a file; the private folder is free
    NothingUsable, // $XDG_RUNTIME_DIR and the temporary folder both name files
};

} // namespace

Q_DECLARE_METATYPE(Folder)

void tst_instances::lockFolder_data()
{
    QTest::addColumn<Folder>("folder");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("refusal"); // in the one line on standard error; "" for silence

    QTest::newRow("no runtime folder: a private one, mode 0700") << Folder::Absent << 1 << "";
    QTest::newRow("private folder made by another user")
        << Folder::OtherOwner << 1 << "belongs to another user";
    QTest::newRow("private folder others can write")
        << Folder::OthersWrite << 1 << "can be written by others";
    QTest::newRow("private folder is a symbolic link") << Folder::Symlink << 1 << "is not a folder";
    QTest::newRow("symlinked lock file: never followed, the next number")
        << Folder::LockSymlink << 2 << "";
    QTest::newRow("runtime folder unusable: the private one") << Folder::RuntimeIsFile << 1 << "";
    QTest::newRow("no folder usable at all") << Folder::NothingUsable << 1 << "Not a directory";
}

void tst_instances::lockFolder()
{
    QFETCH(Folder, folder);
    QFETCH(int, number);
    QFETCH(QString, refusal);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QDir root(scratch.path());
    const QString tmp = root.filePath("tmp");
    const QString own = tmp + "/dosetta-" + QString::number(::getuid());
    const QString runtime = root.filePath("runtime");
    const QString victim = root.filePath("victim");
    QVERIFY(root.mkpath("tmp"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    environment.insert("TMPDIR", tmp);

    switch (folder) {
    case Folder::Absent:
        break;
    case Folder::OtherOwner:
        QVERIFY2(::geteuid() == 0, "giving a folder to another user needs root");
        QVERIFY(QDir().mkpath(own));
        QCOMPARE(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        break;
    case Folder::OthersWrite:
        QVERIFY(QDir().mkpath(own));
        QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0777), 0);
        break;
    case Folder::Symlink:
        QVERIFY(root.mkpath("elsewhere"));
        QVERIFY(QFile::link(root.filePath("elsewhere"), own));
        break;
    case Folder::LockSymlink:
        QVERIFY(root.mkpath("runtime"));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::link(victim, runtime + "/DOSETTA_1.lock"));
        environment.insert("XDG_RUNTIME_DIR", runtime);
        break;
    case Folder::RuntimeIsFile:
    case Folder::NothingUsable: {
        QFile file(runtime);
        QVERIFY(file.open(QIODevice::WriteOnly));
        environment.insert("XDG_RUNTIME_DIR", runtime);
        if (folder == Folder::NothingUsable)
            environment.insert("TMPDIR", runtime);
        break;
    }
    }

    QProcess copy;
    copy.setProcessEnvironment(environment);
    copy.start(QCoreApplication::applicationFilePath(), {"--hold-instance"});
    QVERIFY(copy.waitForStarted(10000));
    QVERIFY(copy.waitForReadyRead(10000));
    const QByteArray line = copy.readLine().trimmed();
    copy.closeWriteChannel();
    QVERIFY(copy.waitForFinished(10000));
    QCOMPARE(line, QByteArray::number(number) + " DOSETTA_INSTANCE_" + QByteArray::number(number));

    const QByteArray error = copy.readAllStandardError();
    if (refusal.isEmpty()) {
        QCOMPARE(error, QByteArray());
    } else {
        QCOMPARE(error.count('\n'), 1);
        QVERIFY2(error.startsWith("dosetta: no folder for instance locks") &&
                     error.contains(refusal.toUtf8()) && error.endsWith("running as instance 1\n"),
                 error.constData());
    }
    // Nothing was created through the planted link.
    QVERIFY(!QFileInfo::exists(victim));
    if (folder == Folder::Absent || folder == Folder::RuntimeIsFile) {
        struct stat info
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(own).constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        QCOMPARE(info.st_uid, ::getuid());
        QVERIFY(QFileInfo::exists(own + "/DOSETTA_1.lock"));
    }
    if (folder == Folder::OtherOwner || folder == Folder::OthersWrite)
        QVERIFY(!QFileInfo::exists(own + "/DOSETTA_1.lock"));
}

void tst_instances::numberIsCachedAndHeld()
{
    const int number = InstanceSettings::instanceNumber();
    QCOMPARE(number, 1);
    QCOMPARE(InstanceSettings::instanceNumber(), number);
    QVERIFY(startCopy("other")->waitForStarted(10000));
    QCOMPARE(numberOf("other"), 2);
}

void tst_instances::keysAndDefaults()
{
    InstanceSettings settings;
    QCOMPARE(settings.number(), InstanceSettings::instanceNumber());
    QCOMPARE(settings.settingsGroup(), "DOSETTA_INSTANCE_" + QString::number(settings.number()));
    QCOMPARE(QCoreApplication::organizationName(), QString("Halvo Dorvex"));
    QCOMPARE(QCoreApplication::applicationName(), QString("Fluxo Remote Control"));
    QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
    QVERIFY2(settings.settings().fileName().startsWith(configDir.path()),
             qPrintable(settings.settings().fileName()));

    QCOMPARE(settings.port(), QString("COM1"));
    QCOMPARE(settings.address(), 0);

    settings.setPort("/dev/pts/7");
    settings.setAddress(42);
    settings.settings().sync();
    // Another reader of the same store finds them under the exact keys.
    QSettings reader("Halvo Dorvex", "Fluxo Remote Control");
    const QString group = settings.settingsGroup();
    QCOMPARE(reader.value(group + "/Communication/Port)").toString(), QString("/dev/pts/7"));
    QCOMPARE(reader.value(group + "/Communication/Address").toInt(), 42);
    QCOMPARE(reader.childGroups(), QStringList{group});
}

void tst_instances::storedValues_data()
{
    QTest::addColumn<QVariant>("port");
    QTest::addColumn<QVariant>("address");
    QTest::addColumn<QString>("portRead");
    QTest::addColumn<int>("addressRead");

    QTest::newRow("nothing stored") << QVariant() << QVariant() << "COM1" << 0;
    QTest::newRow("system port and address")
        << QVariant("ttyUSB0") << QVariant(17) << "ttyUSB0" << 17;
    QTest::newRow("full path, address as text")
        << QVariant("/dev/pts/3") << QVariant("99") << "/dev/pts/3" << 99;
    QTest::newRow("lists read as the defaults")
        << QVariant(QStringList{"COM3", "COM4"}) << QVariant(QStringList{"1", "2"}) << "COM1" << 0;
    QTest::newRow("address not a number") << QVariant("COM2") << QVariant("abc") << "COM2" << 0;
    QTest::newRow("address above 99") << QVariant("COM2") << QVariant(150) << "COM2" << 0;
    QTest::newRow("address negative") << QVariant("COM2") << QVariant(-1) << "COM2" << 0;
}

void tst_instances::storedValues()
{
    QFETCH(QVariant, port);
    QFETCH(QVariant, address);
    QFETCH(QString, portRead);
    QFETCH(int, addressRead);

    InstanceSettings settings;
    QSettings &store = settings.settings();
    const QString group = settings.settingsGroup();
    store.remove(group);
    if (port.isValid())
        store.setValue(group + "/Communication/Port)", port);
    if (address.isValid())
        store.setValue(group + "/Communication/Address", address);
    store.sync();

    QCOMPARE(settings.port(), portRead);
    QCOMPARE(settings.address(), addressRead);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--hold-instance") == 0) {
        QCoreApplication app(argc, argv);
        return holdInstance();
    }
    QCoreApplication app(argc, argv);
    tst_instances test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instances.moc"
