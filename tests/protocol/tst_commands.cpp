#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandSet.h"
#include "PtyPeer.h"
#include "TestFrames.h"
#include "serial/Communication.h"

#include <QtTest>

#include <memory>

using BusinessLogic::Command;
using BusinessLogic::CommandSpezifier;

namespace {

struct Row
{
    const char *name;
    int id;
    long parameter;
    const char *body;      // text between STX and ETX as it must appear on the wire
    const char *emptyText; // what the command reports after silence, ACK or NAK
};

// Every command that talks to the pump, with the address 1 and a chosen parameter.
const Row rows[] = {
    {"SetRunMode", 0, 0, "01MS0", ""},
    {"GetRunMode", 1, 1, "01?MS", "0"},
    {"GetActualVolume", 2, 1, "01?TV", "30"},
    {"GetTimeActual", 3, 1, "01?TT", "00000000"},
    {"Start", 4, 0, "01KY1", ""},
    {"Stop", 5, 0, "01KY0", ""},
    {"Prime", 6, 0, "01KY2", ""},
    {"Pause", 7, 0, "01KY3", ""},
    {"GetPumpStatus group 4", 8, 4, "01?SS4", "0 4"},
    {"GetVolume", 9, 1, "01?DV", "10000"},
    {"SetVolume", 10, 12500, "01DV00012500", ""},
    {"SetFlowRate", 11, 12500, "01RV00012500", ""},
    {"GetFlowRate", 12, 1, "01?RV", "10000"},
    {"SetDispenseTime", 13, 1020300, "01DT01020300", ""},
    {"GetDispenseTime", 14, 1, "01?DT", "0"},
    {"SetDispenseModeVolume", 15, 0, "01MS1", ""},
    {"SetDispenseModeFlowrate", 16, 0, "01MS2", ""},
    {"SetDispenseVolumeBreakTime", 17, 90, "01DB00090", ""},
    {"GetDispenseVolumeBreakTime", 18, 1, "01?DB", "1"},
    {"SetDispenseVolumeNumber", 19, 25, "01DN00025", ""},
    {"GetDispenseVolumeNumber", 20, 1, "01?DN", "0"},
    {"SetAnalogInput", 21, 3, "01RA3", "9"},
    {"GetAnalogInput", 22, 1, "01?RA", "09"},
    {"SetAnalogRange", 23, 1, "01RB1", "9"},
    {"GetAnalogRange", 24, 1, "01?RB", "0"},
    {"SetDigitalIn1", 25, 6, "01L106", ""},
    {"GetDigitalIn1", 26, 1, "01?L1", "0"},
    {"SetDigitalIn2", 27, 6, "01L206", ""},
    {"GetDigitalIn2", 28, 1, "01?L2", "0"},
    {"SetDigitalOut", 29, 4, "01RS4", ""},
    {"GetDigitalOut", 30, 1, "01?RS", "0"},
    {"SetLanguage", 31, 2, "01LS2", "40"},
    {"GetLanguage", 32, 1, "01?LS", "0"},
    {"SetCustCalVol", 33, 1001, "01CF00001001", ""},
    {"SetCustCalPercent", 34, 9550, "01CH09550", ""},
    {"GetCustCalPercent", 35, 1, "01?CH", "10000"},
    {"SetAutostart", 36, 1, "01SA1", ""},
    {"GetAutostart", 37, 1, "01?SA", "0"},
    {"SetPumpProfileCharacteristic", 38, 3, "01CC3", ""},
    {"GetPumpProfileCharactristic", 39, 1, "01?CC", "0"},
    {"SetDisplayContrast", 40, 7, "01LC007", ""},
    {"GetDisplayContrast", 41, 1, "01?LC", "40"},
    {"ExecuteCommCheck", 43, 0, "01?SI", "-1"},
    {"GetModelVersion", 45, 1, "01?SV", "0011000000"},
    {"SetProtocolAnswer", 46, 1, "01SP1", "1"},
    {"GetProtocolAnswer", 47, 1, "01?SP", "1"},
    {"SetPumpAddress", 48, 7, "01AD07", ""},
    {"GetPumpAddress", 49, 1, "01?AD", "-1"},
    {"SetDiscreteCommand number", 53, 5, "015", "DISCRETE COMMAND"},
    {"SetFactoryDefaults", 54, 0, "01IP", ""},
    {"SetFactoryMode", 55, 1, "01PF!1", ""},
    {"GetFactoryMode", 56, 1, "01?PF!", "0"},
    {"SetFactoryMeasuredCalVolume", 57, 12345, "01ZR!00012345", ""},
    {"SetMaintenancePos", 58, 1, "01MP1", ""},
    {"GetMaintenancePos", 59, 1, "01?MP", "0"},
    {"SetPumpModel", 60, 5, "01PM!5", ""},
    {"GetPumpModel", 61, 1, "01?PM!", "OFFLINE"},
    {"SetFactoryPumpStrokeVolume", 62, 2025, "01ZF!02025", ""},
    {"GetFactoryPumpStrokeVolume", 63, 1, "01?ZF!", "202"},
};

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

} // namespace

// All pump commands through the real link on a pseudo-terminal: the bytes on the wire and the
// text each reports when the pump is silent, acknowledges or refuses.
class tst_commands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void commandTable();
    void baseCommand();
    void wireAndEmptyAnswer_data();
    void wireAndEmptyAnswer();
    void localCommandsSendNothing_data();
    void localCommandsSendNothing();
    void settingKeepsItsParameter();

private:
    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<Communication> link;
    std::unique_ptr<BusinessLogic::CommandSet> commands;
    std::vector<Command *> table;
};

void tst_commands::initTestCase()
{
    peer = std::make_unique<PtyPeer>();
    QVERIFY(peer->isOpen());
    link = std::make_unique<Communication>();
    link->setCommPortName(peer->slavePath());
    QVERIFY(link->portOpen);
    commands = std::make_unique<BusinessLogic::CommandSet>(link.get());
    table = commands->table();
}

void tst_commands::init()
{
    link->setAddress(1);
    link->protocolAnswer = true;
    link->invalidLrcMode = link->unusedLrcMode = false;
    link->txCheckCorrect = true;
    peer->clearReceived();
}

void tst_commands::commandTable()
{
    QCOMPARE(commands->commands().size(), std::size_t(63));
    QCOMPARE(table.size(), std::size_t(BusinessLogic::CommandTableSize));
    for (int id = 0; id < BusinessLogic::CommandTableSize; ++id) {
        if (id == 44 || id == 64) {
            QVERIFY2(table[id] == nullptr, qPrintable(QString::number(id)));
            continue;
        }
        QVERIFY2(table[id] != nullptr, qPrintable(QString::number(id)));
        QCOMPARE(BusinessLogic::toInt(table[id]->spezifier()), id);
    }
}

void tst_commands::baseCommand()
{
    Command base(link.get());
    QCOMPARE(base.spezifier(), CommandSpezifier::Base);
    base.setParameter(12L);
    base.setParameter(std::string("x"));
    base.execute();
    QTest::qWait(20);
    QCOMPARE(peer->received().size(), std::size_t(0));
}

void tst_commands::wireAndEmptyAnswer_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<qlonglong>("parameter");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("emptyText");
    const std::pair<const char *, QByteArray> replies[] = {{"silence", QByteArray()},
                                                           {"ACK", bytes(TestFrames::ack())},
                                                           {"NAK", bytes(TestFrames::nak())}};
    for (const Row &row : rows) {
        for (const auto &reply : replies) {
            QTest::addRow("%s after %s", row.name, reply.first)
                << row.id << qlonglong(row.parameter) << reply.second << QByteArray(row.body)
                << QByteArray(row.emptyText);
        }
    }
}

void tst_commands::wireAndEmptyAnswer()
{
    QFETCH(int, id);
    QFETCH(qlonglong, parameter);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, emptyText);

    if (!reply.isEmpty())
        peer->queueReply(reply.toStdString());
    Command *command = table[id];
    command->setParameter(static_cast<long>(parameter));
    command->execute();

    QVERIFY(peer->waitForFrames(1, 1000));
    QCOMPARE(bytes(peer->received()), bytes(TestFrames::frame(body.toStdString())));
    QCOMPARE(bytes(command->answer()), emptyText);
    QCOMPARE(bytes(command->rawCommand()), bytes(TestFrames::frame(body.toStdString())));
    QCOMPARE(bytes(command->rawAnswer()), reply);
}

void tst_commands::localCommandsSendNothing_data()
{
    QTest::addColumn<int>("id");
    QTest::addRow("SetCommAddress") << 50;
    QTest::addRow("SetInvalidLRC") << 51;
    QTest::addRow("SetUnusedLRC") << 52;
    QTest::addRow("GetCommRxState") << 42;
}

void tst_commands::localCommandsSendNothing()
{
    QFETCH(int, id);
    Command *stop = table[5];
    peer->queueReply(TestFrames::ack());
    stop->execute();
    QVERIFY(peer->waitForFrames(1, 1000));
    peer->clearReceived();
    const std::string answerBefore = link->lastAnswer;
    const std::string rawBefore = link->lastTransmitted;

    table[id]->setParameter(9L);
    table[id]->execute();
    QTest::qWait(30);
    QCOMPARE(peer->received().size(), std::size_t(0));
    QCOMPARE(link->lastAnswer, answerBefore);
    QCOMPARE(link->lastTransmitted, rawBefore);
    table[id]->setParameter(0L);
    table[id]->execute();
}

void tst_commands::settingKeepsItsParameter()
{
    Command *volume = table[10];
    volume->setParameter(12500L);
    peer->queueReply(TestFrames::ack());
    volume->execute();
    peer->queueReply(TestFrames::ack());
    volume->execute();
    QVERIFY(peer->waitForFrames(2, 1000));
    const std::string once = TestFrames::frame("01DV00012500");
    QCOMPARE(bytes(peer->received()), bytes(once + once));
}

QTEST_GUILESS_MAIN(tst_commands)
#include "tst_commands.moc"
