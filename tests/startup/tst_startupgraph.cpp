// The program's object graph in-process, as the entry point builds it: the command table
// after start-up, what start-up leaves queued and running, the order of teardown, and the
// Factory tab's gate on the command line.

#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "app/ProgramGraph.h"
#include "platform/InstanceSettings.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMetaType>
#include <QSettings>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using BusinessLogic::CommandSpezifier;

// The application's command line. QApplication keeps referring to these, so a row can change
// what QApplication::arguments() reports before it builds a window.
int appArgc = 1;
char *appArgv[4] = {nullptr, nullptr, nullptr, nullptr};
char accessCode[] = "--QZW service gate";
char otherArgument[] = "--verbose";

// Command ids in the order the entry point constructs the command objects.
const std::vector<int> constructionOrder = {
    0,  1,  15, 16, 4,  5,  7,  6,  11, 12, 10, 9,  13, 14, 19, 20, 17, 18, 8,  21, 23,
    25, 27, 29, 22, 24, 26, 28, 30, 36, 37, 38, 39, 40, 41, 31, 32, 33, 34, 35, 45, 43,
    46, 47, 48, 49, 50, 51, 53, 52, 42, 54, 55, 56, 57, 62, 63, 58, 59, 60, 61, 2,  3};

// The entry point's own graph, built as it builds it.
std::unique_ptr<ProgramGraph> programGraph()
{
    return std::make_unique<ProgramGraph>(*qobject_cast<QApplication *>(qApp));
}

int idOf(BusinessLogic::Command *command)
{
    return BusinessLogic::toInt(command->spezifier());
}

} // namespace

class StartupGraphTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void constructionOrderOfCommands();
    void commandTable_data();
    void commandTable();
    void queueAfterStartUp();
    void timersAfterStartUp();
    void windowShownAfterOneSecond();
    void metaTypeNames_data();
    void metaTypeNames();
    void teardownOrder();

    void factoryGate_data();
    void factoryGate();
    void factoryTabInWindow_data();
    void factoryTabInWindow();

private:
    std::unique_ptr<ProgramGraph> graph;
    bool hiddenRightAfterStartUp = false;
    qint64 shownAfterMs = -1;
    std::vector<BusinessLogic::QueueEntry> queuedAtStart;
    // Stored before start-up, so the window's restored address is not the default.
    static constexpr int StoredAddress = 12;
};

void StartupGraphTest::initTestCase()
{
    // The number this process will hold; its group gets the stored address.
    InstanceSettings::setApplicationNames();
    {
        QSettings settings;
        settings.setValue(QStringLiteral("DOSETTA_INSTANCE_%1/Communication/Address")
                              .arg(InstanceSettings::instanceNumber()),
                          StoredAddress);
    }

    QElapsedTimer clock;
    clock.start();
    graph = programGraph();
    queuedAtStart = graph->core.stack().queuedEntries();
    hiddenRightAfterStartUp = !graph->startup.window()->isVisible();
    QTRY_VERIFY_WITH_TIMEOUT(graph->startup.window()->isVisible(), 5000);
    shownAfterMs = clock.elapsed();
}

void StartupGraphTest::cleanupTestCase()
{
    graph.reset();
}

// ---------------------------------------------------------------------------------------------
// The command table

void StartupGraphTest::constructionOrderOfCommands()
{
    std::vector<int> ids;
    for (BusinessLogic::Command *command : graph->core.commandObjects())
        ids.push_back(idOf(command));
    QCOMPARE(ids, constructionOrder);
}

void StartupGraphTest::commandTable_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("filled");

    for (int id = 0; id < BusinessLogic::CommandTableSize; ++id) {
        const bool unused = id == 44 || id == 64;
        QTest::addRow(unused ? "id %d has no command" : "id %d", id) << id << !unused;
    }
}

void StartupGraphTest::commandTable()
{
    QFETCH(int, id);
    QFETCH(bool, filled);
    QCOMPARE(static_cast<int>(graph->core.table().size()), 65);
    BusinessLogic::Command *entry = graph->core.table()[static_cast<std::size_t>(id)];
    if (!filled) {
        QCOMPARE(entry, nullptr);
        return;
    }
    QVERIFY(entry != nullptr);
    QCOMPARE(idOf(entry), id);
    // The very object the entry point constructed, not another of the same kind.
    const std::vector<BusinessLogic::Command *> &built = graph->core.commandObjects();
    QVERIFY(std::find(built.begin(), built.end(), entry) != built.end());
}

// ---------------------------------------------------------------------------------------------
// What start-up leaves behind

// The stored communication address goes out first, then the check; the link check itself
// clears the queue, so an earlier copy of the address may or may not survive in front.
void StartupGraphTest::queueAfterStartUp()
{
    QVERIFY(queuedAtStart.size() >= 2);
    const auto &check = queuedAtStart.back();
    const auto &address = queuedAtStart[queuedAtStart.size() - 2];
    QCOMPARE(idOf(check.command), BusinessLogic::toInt(CommandSpezifier::ExecuteCommCheck));
    QCOMPARE(idOf(address.command), BusinessLogic::toInt(CommandSpezifier::SetCommAddress));
    QCOMPARE(address.value, StoredAddress);
    for (std::size_t i = 0; i + 2 < queuedAtStart.size(); ++i) {
        QCOMPARE(idOf(queuedAtStart[i].command),
                 BusinessLogic::toInt(CommandSpezifier::SetCommAddress));
        QCOMPARE(queuedAtStart[i].value, StoredAddress);
    }
    auto *addressList = graph->startup.window()->findChild<QComboBox *>("comboCommAddress");
    QVERIFY(addressList != nullptr);
    QCOMPARE(addressList->currentIndex(), StoredAddress);
}

void StartupGraphTest::timersAfterStartUp()
{
    QTimer &update = graph->startup.window()->updateTimerForTests();
    QVERIFY(update.isActive());
    // Slow while the link has not answered yet; there is no pump here.
    QCOMPARE(update.interval(), 500);
    QVERIFY(graph->core.refresher().polling());
}

void StartupGraphTest::windowShownAfterOneSecond()
{
    QVERIFY(hiddenRightAfterStartUp);
    // A coarse single shot may fire up to 5 % early; a busy machine may show it late.
    QVERIFY2(shownAfterMs >= 940 && shownAfterMs <= 4000,
             qPrintable(QStringLiteral("shown after %1 ms").arg(shownAfterMs)));
}

void StartupGraphTest::metaTypeNames_data()
{
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("answer") << QByteArray("Answer");
    QTest::newRow("command id, spelled as connections name it")
        << QByteArray("BusinessLogic::ComanndSpezifier");
    QTest::newRow("fault reason") << QByteArray("BusinessLogic::InvalidReason");
    QTest::newRow("fault reason list") << QByteArray("vector<BusinessLogic::InvalidReason>");
}

void StartupGraphTest::metaTypeNames()
{
    QFETCH(QByteArray, name);
    QVERIFY2(QMetaType::type(name.constData()) != QMetaType::UnknownType, name.constData());
}

// Torn down in reverse: the window start-up's objects, the table, the stack, the commands in
// reverse order of construction, and the link they point to last.
void StartupGraphTest::teardownOrder()
{
    QStringList order;
    auto record = [this, &order](QObject *object, const QString &name) {
        connect(object, &QObject::destroyed, this, [&order, name] { order << name; });
    };
    auto second = programGraph();
    record(second->startup.window(), QStringLiteral("main window"));
    record(&second->core.refresher(), QStringLiteral("refresh timer"));
    record(&second->core.stack(), QStringLiteral("stack"));
    for (BusinessLogic::Command *command : second->core.commandObjects())
        record(command, QStringLiteral("command %1").arg(idOf(command)));
    record(&second->core.link(), QStringLiteral("link"));
    // Let every timer run at least once before the end.
    QTest::qWait(800);
    second.reset();

    QStringList expected{QStringLiteral("main window"), QStringLiteral("refresh timer"),
                         QStringLiteral("stack")};
    for (auto id = constructionOrder.rbegin(); id != constructionOrder.rend(); ++id)
        expected << QStringLiteral("command %1").arg(*id);
    expected << QStringLiteral("link");
    QCOMPARE(order, expected);
}

// ---------------------------------------------------------------------------------------------
// The Factory tab

void StartupGraphTest::factoryGate_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("open");

    const QString program = QStringLiteral("dosetta");
    const QString code = QString::fromLatin1(accessCode);
    QTest::newRow("no arguments") << QStringList{program} << false;
    QTest::newRow("code first") << QStringList{program, code} << true;
    QTest::newRow("code first, more after") << QStringList{program, code, "--x"} << true;
    QTest::newRow("code only in second place") << QStringList{program, "--x", code} << false;
    QTest::newRow("code in other case") << QStringList{program, code.toLower()} << false;
    QTest::newRow("code with a trailing space") << QStringList{program, code + ' '} << false;
    QTest::newRow("code cut short") << QStringList{program, code.chopped(1)} << false;
    QTest::newRow("empty list") << QStringList{} << false;
}

void StartupGraphTest::factoryGate()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, open);
    QCOMPARE(mainForm::factoryGateOpen(arguments), open);
}

void StartupGraphTest::factoryTabInWindow_data()
{
    QTest::addColumn<int>("argumentCount");
    QTest::addColumn<bool>("codeFirst");
    QTest::addColumn<bool>("present");

    QTest::newRow("absent without arguments") << 1 << false << false;
    QTest::newRow("absent with the code only in second place") << 3 << false << false;
    QTest::newRow("present with the code first") << 2 << true << true;
}

void StartupGraphTest::factoryTabInWindow()
{
    QFETCH(int, argumentCount);
    QFETCH(bool, codeFirst);
    QFETCH(bool, present);

    const int savedArgc = appArgc;
    appArgc = argumentCount;
    appArgv[1] = codeFirst ? accessCode : otherArgument;
    appArgv[2] = codeFirst ? otherArgument : accessCode;
    QStringList expectedArguments;
    for (int i = 0; i < argumentCount; ++i)
        expectedArguments << QString::fromLocal8Bit(appArgv[i]);
    // The window reads the application's arguments; make sure the row really changed them.
    QCOMPARE(QCoreApplication::arguments(), expectedArguments);

    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    mainForm window(core, runner, qobject_cast<QApplication *>(qApp));
    appArgc = savedArgc;

    auto *tabs = window.findChild<QTabWidget *>("TabsExtendedSettings");
    auto *factory = window.findChild<QWidget *>("TabFactory");
    QVERIFY(tabs != nullptr && factory != nullptr);
    const int index = tabs->indexOf(factory);
    if (!present) {
        QCOMPARE(index, -1);
        return;
    }
    // Added back at the end under its own title.
    QCOMPARE(index, tabs->count() - 1);
    QCOMPARE(tabs->tabText(index), QStringLiteral("Factory"));
}

int main(int argc, char *argv[])
{
    appArgv[0] = argv[0];
    QApplication application(appArgc, appArgv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    StartupGraphTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startupgraph.moc"
