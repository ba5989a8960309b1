// The command line's pure parts that need no pump: "did you mean" and where global options may
// stand.

#include "cli/CliArguments.h"
#include "platform/Suggestion.h"

#include <QtTest>

class tst_Suggestion : public QObject
{
    Q_OBJECT

private slots:
    void closest_data();
    void closest();
    void globalOptionsAnywhere_data();
    void globalOptionsAnywhere();
    void mistypedGetsAHint_data();
    void mistypedGetsAHint();
};

void tst_Suggestion::closest_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("expected");
    const QStringList commands{"status", "start", "stop", "set", "serve", "search", "watch"};
    QTest::newRow("two letters swapped") << "stauts"
                                         << "status";
    QTest::newRow("one letter missing") << "wach"
                                        << "watch";
    QTest::newRow("one letter too many") << "stopp"
                                         << "stop";
    QTest::newRow("case does not matter") << "STATUS"
                                          << "status";
    QTest::newRow("exact is itself") << "serve"
                                     << "serve";
    QTest::newRow("too far for a slip") << "dispense"
                                        << "";
    QTest::newRow("a short word needs a closer match") << "xy"
                                                       << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("a long paste is no slip") << QString(200, QLatin1Char('s')) << "";
}

void tst_Suggestion::closest()
{
    QFETCH(QString, word);
    QFETCH(QString, expected);
    QCOMPARE(
        Suggestion::closest(word, {"status", "start", "stop", "set", "serve", "search", "watch"}),
        expected);
}

void tst_Suggestion::globalOptionsAnywhere_data()
{
    QTest::addColumn<QStringList>("line");
    QTest::addColumn<bool>("json");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("error");
    QTest::newRow("--json after the command")
        << QStringList{"status", "--json"} << true << -1 << "";
    QTest::newRow("--address after the command's options")
        << QStringList{"dispense", "--volume", "2", "--address", "7"} << false << 7 << "";
    QTest::newRow("before, as always")
        << QStringList{"--json", "--address=3", "status"} << true << 3 << "";
    QTest::newRow("a command option before the command is still refused")
        << QStringList{"--volume", "2", "dispense"} << false << -1 << "unknown option";
    QTest::newRow("an address out of range after the command")
        << QStringList{"status", "--address", "99"} << false << -1 << "0-98";
}

void tst_Suggestion::globalOptionsAnywhere()
{
    QFETCH(QStringList, line);
    QFETCH(bool, json);
    QFETCH(int, address);
    QFETCH(QString, error);
    const CliArguments a = CliArguments::parse(line);
    QVERIFY2(error.isEmpty() ? a.error.isEmpty() : a.error.contains(error), qPrintable(a.error));
    if (error.isEmpty()) {
        QCOMPARE(a.json, json);
        QCOMPARE(a.address, address);
    }
}

void tst_Suggestion::mistypedGetsAHint_data()
{
    QTest::addColumn<QStringList>("line");
    QTest::addColumn<QString>("hint");
    QTest::newRow("command") << QStringList{"stauts"} << "did you mean \"status\"?";
    QTest::newRow("global option") << QStringList{"--jsno", "status"} << "did you mean \"json\"?";
    QTest::newRow("command option")
        << QStringList{"dispense", "--volum", "2"} << "did you mean \"volume\"?";
    QTest::newRow("nothing close") << QStringList{"frobnicate"} << "";
}

void tst_Suggestion::mistypedGetsAHint()
{
    QFETCH(QStringList, line);
    QFETCH(QString, hint);
    const CliArguments a = CliArguments::parse(line);
    QVERIFY(!a.error.isEmpty());
    if (hint.isEmpty())
        QVERIFY2(!a.error.contains("did you mean"), qPrintable(a.error));
    else
        QVERIFY2(a.error.contains(hint), qPrintable(a.error));
}

QTEST_APPLESS_MAIN(tst_Suggestion)
#include "tst_suggestion.moc"
