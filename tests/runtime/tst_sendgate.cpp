#include "ItemSet.h"
#include "pump/SendGate.h"

#include <QtTest>

// What of the operator's doing may reach the pump: edits the display did not write, picks the
// pump does not already have, values that fit the command.
class tst_sendgate : public QObject
{
    Q_OBJECT

private slots:
    void edits_data();
    void edits();
    void picks_data();
    void picks();
    void integers_data();
    void integers();
    void setPoints();
};

void tst_sendgate::edits_data()
{
    // "write f=t": the display writes t into f; "end f,g=t,u": an edit of the fields ends
    // (Return or leaving). `sent` has a digit per end: 1 when it goes to the pump.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("sent");
    auto row = [](const char *name, const QStringList &steps, const char *sent) {
        QTest::newRow(name) << steps << sent;
    };
    row("passing through an untouched field, twice", {"write n=INF", "end n=INF", "end n=INF"},
        "00");
    row("a typed entry goes once, however often its edit ends",
        {"write n=INF", "end n=25", "end n=25"}, "10");
    row("the display's next write is the new reference",
        {"write n=INF", "end n=25", "write n=25", "end n=25", "end n=7"}, "101");
    row("a field never written counts as empty", {"end v=", "end v=12.5"}, "01");
    row("one changed field sends its group once",
        {"write h=00", "write m=00", "write s=00", "end h,m,s=00,01,15", "end h,m,s=00,01,15"},
        "10");
    row("an edit of one field leaves the other's reference alone",
        {"write a=1", "write b=2", "end a=3", "end b=2"}, "10");
}

void tst_sendgate::edits()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, sent);
    Pump::SendGate gate;
    QString actual;
    for (const QString &step : steps) {
        const QString rest = step.section(QLatin1Char(' '), 1);
        const QStringList fields = rest.section(QLatin1Char('='), 0, 0).split(QLatin1Char(','));
        const QStringList texts = rest.section(QLatin1Char('='), 1).split(QLatin1Char(','));
        if (step.startsWith(QLatin1String("write")))
            gate.written(fields.at(0), texts.at(0));
        else
            actual += gate.takeEdit(fields, texts) ? QLatin1Char('1') : QLatin1Char('0');
    }
    QCOMPARE(actual, sent);
}

void tst_sendgate::picks_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("answer"); // the pump's report; null for none yet
    QTest::addColumn<int>("picked");
    QTest::addColumn<bool>("sent");
    auto row = [](const char *name, const char *item, const char *answer, int picked, bool sent) {
        QTest::newRow(name) << item << QString::fromLatin1(answer) << picked << sent;
    };
    row("first output pick after start", "DigitalOut", nullptr, 0, true);
    row("output equal to the pump's", "DigitalOut", "2", 2, false);
    row("language changed at the keypad, earlier pick again", "Language", "5", 3, true);
    row("calibration 95.5 % equal to the pump's", "CustomCalibrationPercentage", "09550", 9550,
        false);
    row("a garbled answer is no report", "Language", "x", 0, true);
    row("protocol answer starts as on", "ProtocolAnswer", nullptr, 1, false);
}

void tst_sendgate::picks()
{
    QFETCH(QString, item);
    QFETCH(QString, answer);
    QFETCH(int, picked);
    QFETCH(bool, sent);
    ItemSet items;
    GUI::OperationItem *target = items.byName(item);
    QVERIFY(target);
    if (!answer.isNull()) {
        Answer reply{target->spezifier(), answer.toStdString()};
        target->update(&reply);
    }
    QCOMPARE(Pump::SendGate::differs(picked, Pump::SendGate::reported(*target)), sent);
    // Once sent, the item holds the pick in the pump's units: the same pick again is no change.
    Pump::SendGate::hold(*target, picked);
    QCOMPARE(target->value(), picked);
    QVERIFY(!Pump::SendGate::differs(picked, Pump::SendGate::reported(*target)));
}

void tst_sendgate::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("value");
    QTest::newRow("25") << "25" << true << 25;
    QTest::newRow("INF is no number: nothing") << "INF" << false << 0;
    QTest::newRow("empty: nothing") << "" << false << 0;
    QTest::newRow("letters: nothing") << "abc" << false << 0;
    QTest::newRow("blanks around") << " 7 " << true << 7;
    QTest::newRow("largest int") << "2147483647" << true << 2147483647;
    QTest::newRow("one past the largest int") << "2147483648" << false << 0;
    QTest::newRow("eleven nines, negative") << "-99999999999" << false << 0;
}

void tst_sendgate::integers()
{
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QFETCH(int, value);
    const std::optional<int> result = Pump::SendGate::integer(text);
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, value);
}

void tst_sendgate::setPoints()
{
    using S = Pump::SendGate::SetPoint;
    // Run mode 2 dispenses at a flow rate for the dispense time.
    const QList<S> expected{S::FlowRate, S::Volume, S::FlowRate, S::None};
    for (int mode = 0; mode < expected.size(); ++mode)
        QCOMPARE(Pump::SendGate::setPoint(mode), expected.at(mode));
    QCOMPARE(Pump::SendGate::setPoint(-1), S::None);
}

QTEST_GUILESS_MAIN(tst_sendgate)
#include "tst_sendgate.moc"
