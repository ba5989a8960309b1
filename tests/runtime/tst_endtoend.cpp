#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "GUI/RefreshTimer.h"
#include "ItemSet.h"
#include "PumpServer.h"
#include "pump/AttachTable.h"
#include "serial/Communication.h"

#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>

using BusinessLogic::CommandSpezifier;

namespace {

// What the items must hold: the query each one is polled with, as the pump sees it.
const std::vector<std::pair<QString, std::string>> itemQueries = {
    {"RunMode", "?MS"},
    {"VolumeActual", "?TV"},
    {"TimeElapsed", "?TT"},
    {"VolumeTarget", "?DV"},
    {"Flowrate", "?RV"},
    {"DispenseTime", "?DT"},
    {"VolumeBreakTime", "?DB"},
    {"VolumeNumber", "?DN"},
    {"AnalogIn", "?RA"},
    {"AnalogRange", "?RB"},
    {"DigitalIn1", "?L1"},
    {"DigitalIn2", "?L2"},
    {"DigitalOut", "?RS"},
    {"Language", "?LS"},
    {"CustomCalibrationPercentage", "?CH"},
    {"Autostart", "?SA"},
    {"PumpProfileCharacteristic", "?CC"},
    {"Contrast", "?LC"},
    {"ModelVersion", "?SV"},
    {"ProtocolAnswer", "?SP"},
    {"Address", "?AD"},
    {"FactoryMode", "?PF!"},
    {"MaintenancePosition", "?MP"},
    {"FactoryPumpModel", "?PM!"},
    {"FactoryStrokeVolume", "?ZF!"},
};

// The operator's settings made at the start: command, value, item that reads it back.
struct Setting
{
    CommandSpezifier command;
    int value;
    const char *item;
};
const std::vector<Setting> operatorSettings = {
    {CommandSpezifier::SetVolume, 12500, "VolumeTarget"},
    {CommandSpezifier::SetFlowRate, 25000, "Flowrate"},
    {CommandSpezifier::SetDispenseVolumeNumber, 5, "VolumeNumber"},
    {CommandSpezifier::SetDispenseVolumeBreakTime, 30, "VolumeBreakTime"},
    {CommandSpezifier::SetLanguage, 2, "Language"},
    {CommandSpezifier::SetDisplayContrast, 55, "Contrast"},
};

std::string textOf(const std::string &frame)
{
    const std::size_t stx = frame.find('\x02');
    const std::size_t etx = frame.find('\x03');
    if (stx == std::string::npos || etx == std::string::npos || etx < stx)
        return {};
    return frame.substr(stx + 1, etx - stx - 1);
}

} // namespace

// The whole runtime against the simulated pump on a pseudo-terminal, with real timers: the link,
// the full command set, the logging stack, the refresher with the window's attach table and the
// items. Runs until every attached query has been answered at least once after the operator's
// settings (one slow-rotation cycle, about 12 s), then stops polling and compares.
class tst_endtoend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void polledItemsHoldThePumpsAnswers_data();
    void polledItemsHoldThePumpsAnswers();
    void statusWordsHoldEveryGroup();
    void settingsAreReadBack_data();
    void settingsAreReadBack();
    void onlyTheOperatorsTrafficIsLogged();
    void noExchangeFailed();

private:
    // The last answer text the pump sent to each query body ("?DV", "?SS3").
    std::map<std::string, std::string> lastAnswers() const;
    bool everythingPolled() const;

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<Communication> link;
    std::unique_ptr<BusinessLogic::CommandSet> commands;
    std::vector<BusinessLogic::Command *> table;
    std::unique_ptr<BusinessLogic::LoggingCommandStack> stack;
    std::unique_ptr<GUI::RefreshTimer> refresher;
    std::unique_ptr<ItemSet> items;
    std::map<std::string, std::string> answers;
    QStringList txReasons;
    QStringList rxReasons;
    int txLines = 0;
    int rxLines = 0;
    int answersSeen = 0;
};

void tst_endtoend::initTestCase()
{
    BusinessLogic::registerInvalidReasonMetaTypes();
    fluxosim::ServerOptions options;
    options.pump.address = 1;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    std::string error;
    QVERIFY2(pump->start(&error), error.c_str());
    const QString device = QString::fromStdString(pump->devicePath());
    QVERIFY(!device.isEmpty());

    // Built in the program's order: link, commands, logging stack, table, refresher, items.
    link = std::make_unique<Communication>();
    link->setCommPortName(device);
    QVERIFY(link->portOpen);
    link->setAddress(1);
    commands = std::make_unique<BusinessLogic::CommandSet>(link.get());
    QCOMPARE(commands->commands().size(), std::size_t(63));
    stack = std::make_unique<BusinessLogic::LoggingCommandStack>();
    table = commands->table();
    refresher = std::make_unique<GUI::RefreshTimer>(stack.get(), &table);
    GUI::RefreshTimer::resetStatusGroup();
    items = std::make_unique<ItemSet>();
    Pump::AttachTable::attachAll(*refresher, items->all());

    connect(stack.get(), &BusinessLogic::CommandStack::sendLastCommand, this,
            [this] { ++txLines; });
    connect(stack.get(), &BusinessLogic::CommandStack::sendLastAnswer, this, [this] { ++rxLines; });
    connect(stack.get(), &BusinessLogic::CommandStack::sendLastCommandInvalidReasons, this,
            [this](std::vector<BusinessLogic::InvalidReason> r) {
                QStringList s;
                for (auto reason : r)
                    s << QString::number(reason);
                txReasons << s.join(',');
            });
    connect(stack.get(), &BusinessLogic::CommandStack::sendLastAnswerInvalidReasons, this,
            [this](std::vector<BusinessLogic::InvalidReason> r) {
                QStringList s;
                for (auto reason : r)
                    s << QString::number(reason);
                rxReasons << s.join(',');
            });
    connect(stack.get(), &BusinessLogic::CommandStack::sendAnswer, this, [this] { ++answersSeen; });

    // The operator's settings go first, logged, as the window's slots push them.
    for (const Setting &s : operatorSettings)
        stack->push(table[static_cast<std::size_t>(toInt(s.command))], s.value, true);

    // The rotations move on once per tick. Tick again as soon as a round is through instead of
    // 700 ms after the last: what the items end up holding is the point here; the rhythm is
    // checked on the wire by the start-up tests.
    QTimer nextTick;
    connect(&nextTick, &QTimer::timeout, this, [this] {
        if (stack->queuedCount() == 0 && refresher->pendingCount() == 0)
            refresher->execute();
    });
    nextTick.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(everythingPolled(), 40000);
    nextTick.stop();
    refresher->noCyclicDataUpdate(true);
    QTRY_VERIFY_WITH_TIMEOUT(stack->queuedCount() == 0 && refresher->pendingCount() == 0, 5000);
    answers = lastAnswers();
}

void tst_endtoend::cleanupTestCase()
{
    refresher.reset();
    stack.reset();
    commands.reset();
    link.reset();
    if (pump)
        pump->stop();
}

std::map<std::string, std::string> tst_endtoend::lastAnswers() const
{
    // The pump logs each frame when it answers it and the answer once it is on the line; the
    // link waits for every answer, so each answer follows its own frame.
    std::map<std::string, std::string> last;
    std::string query;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind == fluxosim::LogEntry::Kind::Received) {
            const std::string text = textOf(entry.bytes);
            query = text.size() > 2 ? text.substr(2) : std::string();
        } else if (entry.kind == fluxosim::LogEntry::Kind::Sent && !query.empty()) {
            if (entry.bytes.size() > 1 && entry.bytes[0] == '\x02')
                last[query] = textOf(entry.bytes);
            query.clear();
        }
    }
    return last;
}

bool tst_endtoend::everythingPolled() const
{
    // Every query answered at least once after the settings took effect (they ran first).
    const auto last = lastAnswers();
    for (const auto &q : itemQueries) {
        if (last.find(q.second) == last.end())
            return false;
    }
    for (int g = 0; g <= 6; ++g) {
        if (last.find("?SS" + std::to_string(g)) == last.end())
            return false;
    }
    return true;
}

void tst_endtoend::polledItemsHoldThePumpsAnswers_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("query");
    for (const auto &q : itemQueries)
        QTest::newRow(qPrintable(q.first)) << q.first << QString::fromStdString(q.second);
}

void tst_endtoend::polledItemsHoldThePumpsAnswers()
{
    QFETCH(QString, item);
    QFETCH(QString, query);

    const auto found = answers.find(query.toStdString());
    QVERIFY(found != answers.end());
    const QString answer = QString::fromStdString(found->second);
    GUI::OperationItem *it = items->byName(item);
    if (item == "TimeElapsed") {
        QCOMPARE(it->text(), answer.left(9));
    } else if (item == "DispenseTime") {
        QCOMPARE(it->text(), answer.left(6));
        QCOMPARE(it->value(), answer.mid(0, 2).toInt() * 3600 + answer.mid(2, 2).toInt() * 60 +
                                  answer.mid(4, 2).toInt());
    } else {
        QCOMPARE(it->text(), answer);
        QCOMPARE(it->value(), answer.toInt());
    }
}

void tst_endtoend::statusWordsHoldEveryGroup()
{
    for (int g = 0; g <= 6; ++g) {
        const auto found = answers.find("?SS" + std::to_string(g));
        QVERIFY(found != answers.end());
        QCOMPARE(items->status.statusWord(g),
                 QString::fromStdString(found->second).left(3).toInt());
    }
}

void tst_endtoend::settingsAreReadBack_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("value");
    for (const Setting &s : operatorSettings)
        QTest::newRow(s.item) << s.item << s.value;
}

void tst_endtoend::settingsAreReadBack()
{
    QFETCH(QString, item);
    QFETCH(int, value);
    QCOMPARE(items->byName(item)->value(), value);
}

void tst_endtoend::onlyTheOperatorsTrafficIsLogged()
{
    // Polled queries are queued unlogged; the operator's settings are logged and acknowledged.
    const int settings = static_cast<int>(operatorSettings.size());
    QCOMPARE(txLines, settings);
    QCOMPARE(rxLines, settings);
    QStringList none;
    QStringList acknowledged;
    for (int i = 0; i < settings; ++i) {
        none << QString();
        acknowledged << QString::number(BusinessLogic::ACK);
    }
    QCOMPARE(txReasons, none);
    QCOMPARE(rxReasons, acknowledged);
    QVERIFY(answersSeen > 100);
}

void tst_endtoend::noExchangeFailed()
{
    int frames = 0;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind != fluxosim::LogEntry::Kind::Received)
            continue;
        ++frames;
        QVERIFY2(entry.verdict.rfind("NAK", 0) != 0 &&
                     entry.verdict.find("silence") == std::string::npos,
                 (entry.text()).c_str());
    }
    QCOMPARE(frames, answersSeen);
}

QTEST_GUILESS_MAIN(tst_endtoend)
#include "tst_endtoend.moc"
