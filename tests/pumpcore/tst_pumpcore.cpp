// The pump core against the simulator: a read-back's answer is in its item before anyone hears
// of it.

#include "SimProcess.h"

#include "pumpcore/PumpCore.h"

#include <QtTest>

using Id = PumpCore::Id;

class PumpCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void readBackFillsTheItemFirst_data();
    void readBackFillsTheItemFirst();
};

void PumpCoreTest::readBackFillsTheItemFirst_data()
{
    QTest::addColumn<QStringList>("simulator"); // its options
    QTest::addColumn<Id>("setting");            // Base: none
    QTest::addColumn<int>("value");
    QTest::addColumn<Id>("query");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("expected"); // the item's value once it is answered

    const QStringList none;
    QTest::newRow("flow rate behind its setting")
        << none << Id::SetFlowRate << 25000 << Id::GetFlowRate << 0 << 25000;
    QTest::newRow("volume behind its setting")
        << none << Id::SetVolume << 12500 << Id::GetVolume << 0 << 12500;
    QTest::newRow("error flags: overpressure, bit 0")
        << QStringList{"--error", "overpressure"} << Id::Base << 0 << Id::GetPumpStatus << 6 << 1;
    QTest::newRow("error flags: temperature, bit 6")
        << QStringList{"--error", "temperature"} << Id::Base << 0 << Id::GetPumpStatus << 6 << 64;
}

void PumpCoreTest::readBackFillsTheItemFirst()
{
    QFETCH(QStringList, simulator);
    QFETCH(Id, setting);
    QFETCH(int, value);
    QFETCH(Id, query);
    QFETCH(int, parameter);
    QFETCH(int, expected);

    SimProcess sim(1, simulator);
    QVERIFY(sim.start());
    // Not polled: nothing but the read-back can fill the item.
    PumpCore core(PumpCore::Options{false});
    core.link().setAddress(1);
    core.link().setCommPortName(sim.devicePath());
    GUI::OperationItem *item = core.items().find(query);
    QVERIFY(item != nullptr && !item->known());

    if (setting != Id::Base)
        QVERIFY(core.submit(PumpCore::Lane::Remote, setting, value) != 0);
    const PumpCore::Ticket ticket = core.readBack(PumpCore::Lane::Remote, query, parameter);
    QVERIFY(ticket != 0);
    int heard = -1; // -2: answered while the item was still empty
    connect(&core, &PumpCore::answered, this, [&](const Answer &answer) {
        if (answer.ticket == ticket)
            heard = item->known() ? item->value() : -2;
    });
    QTRY_VERIFY_WITH_TIMEOUT(heard != -1, 5000);
    QCOMPARE(heard, expected);
}

QTEST_GUILESS_MAIN(PumpCoreTest)
#include "tst_pumpcore.moc"
