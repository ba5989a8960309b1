#include "pump/DisplayFormat.h"
#include "pump/EntryConversion.h"
#include "pump/TimeDisplay.h"
#include "pump/TypedNumber.h"

#include <QtTest>

// The window's pure rules: what typed text becomes on the wire, how reported values are shown.
class tst_windowrules : public QObject
{
    Q_OBJECT

private slots:
    void scaledEntry_data();
    void scaledEntry();
    void scaledEntryInLocale_data();
    void scaledEntryInLocale();
    void dispenseTime_data();
    void dispenseTime();
    void normalisedTime_data();
    void normalisedTime();
    void setPoint_data();
    void setPoint();
    void cycles_data();
    void cycles();
    void versions_data();
    void versions();
    void listIndices_data();
    void listIndices();
    void timeDisplay_data();
    void timeDisplay();
};

void tst_windowrules::scaledEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("single");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("addend");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("value");

    // ml to thousandths: the addend absorbs representation error, the rest is truncated.
    QTest::newRow("12.5 ml") << "12.5" << false << 1000.0 << 0.0005 << true << 12500;
    QTest::newRow("1.001 ml is 1001, not 1000")
        << "1.001" << false << 1000.0 << 0.0005 << true << 1001;
    QTest::newRow("12.3456 truncates") << "12.3456" << false << 1000.0 << 0.0005 << true << 12345;
    QTest::newRow("single precision 1.001") << "1.001" << true << 1000.0 << 0.0005 << true << 1001;
    QTest::newRow("stroke volume tenths") << "202.5" << true << 10.0 << 0.05 << true << 2025;
    QTest::newRow("not a number sends nothing") << "abc" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("empty sends nothing") << "" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("a comma outside a comma locale sends nothing")
        << "12,5" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("single: not a number sends nothing")
        << "abc" << true << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("overflow to infinity sends nothing")
        << "1e309" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("nan sends nothing") << "nan" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("-inf sends nothing") << "-inf" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("a thousand digits sends nothing")
        << QString(1000, QLatin1Char('9')) << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("beyond int after scaling sends nothing")
        << "2147484" << false << 1000.0 << 0.0005 << false << 0;
    QTest::newRow("largest that fits")
        << "2147483.6" << false << 1000.0 << 0.0005 << true << 2147483600;
    QTest::newRow("float overflow sends nothing")
        << "1e39" << true << 1000.0 << 0.0005 << false << 0;
}

void tst_windowrules::scaledEntry()
{
    QFETCH(QString, text);
    QFETCH(bool, single);
    QFETCH(double, factor);
    QFETCH(double, addend);
    QFETCH(bool, sent);
    QFETCH(int, value);
    const std::optional<int> result = single
                                          ? Pump::EntryConversion::scaledFloat(text, factor, addend)
                                          : Pump::EntryConversion::scaled(text, factor, addend);
    QCOMPARE(result.has_value(), sent);
    if (sent)
        QCOMPARE(*result, value);
}

// The operator's decimal comma is read only where the locale writes decimals with it; the
// program's "." always is. A group separator is never taken: read as one, "0,500" would be 500.
void tst_windowrules::scaledEntryInLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("value");
    QTest::newRow("de: 12,5") << "de_DE"
                              << "12,5" << true << 12500;
    QTest::newRow("de: 12.5") << "de_DE"
                              << "12.5" << true << 12500;
    QTest::newRow("de: 0,05") << "de_DE"
                              << "0,05" << true << 50;
    QTest::newRow("de: 1.250,5 holds a group separator") << "de_DE"
                                                         << "1.250,5" << false << 0;
    QTest::newRow("de: 1,2,5 holds two commas") << "de_DE"
                                                << "1,2,5" << false << 0;
    QTest::newRow("de: abc") << "de_DE"
                             << "abc" << false << 0;
    QTest::newRow("de: 12,5 ml") << "de_DE"
                                 << "12,5 ml" << false << 0;
    QTest::newRow("de: empty") << "de_DE"
                               << "" << false << 0;
    QTest::newRow("en: 0,500 is not 500") << "en_US"
                                          << "0,500" << false << 0;
    QTest::newRow("en: 0,050 is not 50") << "en_US"
                                         << "0,050" << false << 0;
    QTest::newRow("en: 1,000.5 holds a group separator") << "en_US"
                                                         << "1,000.5" << false << 0;
    QTest::newRow("en: 0.500") << "en_US"
                               << "0.500" << true << 500;
    QTest::newRow("en: blanks around 12.5") << "en_US"
                                            << " 12.5 " << true << 12500;
    QTest::newRow("C: 0,500 is not 500") << "C"
                                         << "0,500" << false << 0;
    QTest::newRow("C: 1,000 is not 1000") << "C"
                                          << "1,000" << false << 0;
    QTest::newRow("C: 2.5e1") << "C"
                              << "2.5e1" << true << 25000;
    QTest::newRow("fr: 12,5 (a comma locale with another group separator)")
        << "fr_FR"
        << "12,5" << true << 12500;
    QTest::newRow("fr: 1 000,5 holds a group separator") << "fr_FR"
                                                         << "1 000,5" << false << 0;
}

void tst_windowrules::scaledEntryInLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, sent);
    QFETCH(int, value);
    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    const std::optional<int> result = Pump::EntryConversion::scaled(text, 1000.0, 0.0005);
    const std::optional<int> single = Pump::EntryConversion::scaledFloat(text, 1000.0, 0.0005);
    const QString why = Pump::TypedNumber::refusal(QStringLiteral("volume"), text);
    QLocale::setDefault(saved);
    QCOMPARE(result.has_value(), sent);
    QCOMPARE(single.has_value(), sent);
    // Whatever is not sent says why, by the field's name.
    QCOMPARE(why.isEmpty(), sent);
    if (sent) {
        QCOMPARE(*result, value);
        QCOMPARE(*single, value);
    } else {
        QVERIFY2(why.startsWith(QLatin1String("volume: ")), qPrintable(why));
    }
}

void tst_windowrules::dispenseTime_data()
{
    QTest::addColumn<QString>("h");
    QTest::addColumn<QString>("m");
    QTest::addColumn<QString>("s");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("value");
    QTest::newRow("1 h 30 min 15 s") << "1"
                                     << "30"
                                     << "15" << true << 1301500;
    QTest::newRow("1 h 2 min 3 s") << "01"
                                   << "02"
                                   << "03" << true << 1020300;
    QTest::newRow("non-numbers count 0") << "x"
                                         << ""
                                         << "5" << true << 500;
    QTest::newRow("huge hours do not overflow") << "2147483647"
                                                << "0"
                                                << "0" << false << 0;
}

void tst_windowrules::dispenseTime()
{
    QFETCH(QString, h);
    QFETCH(QString, m);
    QFETCH(QString, s);
    QFETCH(bool, sent);
    QFETCH(int, value);
    const std::optional<int> result = Pump::EntryConversion::dispenseTime(h, m, s);
    QCOMPARE(result.has_value(), sent);
    if (sent)
        QCOMPARE(*result, value);
}

void tst_windowrules::normalisedTime_data()
{
    QTest::addColumn<QString>("h");
    QTest::addColumn<QString>("m");
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("expected");
    QTest::newRow("75 s carries into the minutes") << "0"
                                                   << "0"
                                                   << "75"
                                                   << "0:1:15";
    QTest::newRow("2 h clamps to 1:39:59") << "2"
                                           << "0"
                                           << "0"
                                           << "1:39:59";
    QTest::newRow("-1 s borrows a minute") << "0"
                                           << "1"
                                           << "-1"
                                           << "0:0:59";
    QTest::newRow("-1 s at zero stays zero") << "0"
                                             << "0"
                                             << "-1"
                                             << "0:0:0";
    QTest::newRow("60 min is one hour") << "0"
                                        << "60"
                                        << "0"
                                        << "1:0:0";
    QTest::newRow("huge values clamp") << "2147483647"
                                       << "2147483647"
                                       << "2147483647"
                                       << "1:39:59";
}

void tst_windowrules::normalisedTime()
{
    QFETCH(QString, h);
    QFETCH(QString, m);
    QFETCH(QString, s);
    QFETCH(QString, expected);
    const Pump::EntryConversion::Time t = Pump::EntryConversion::normalisedTime(h, m, s);
    QCOMPARE(QStringLiteral("%1:%2:%3").arg(t.hours).arg(t.minutes).arg(t.seconds), expected);
}

void tst_windowrules::setPoint_data()
{
    QTest::addColumn<int>("thousandths");
    QTest::addColumn<QString>("text");
    QTest::newRow("12500") << 12500 << "12.50";
    QTest::newRow("999900") << 999900 << "999.9";
    QTest::newRow("500") << 500 << "0.5000";
    QTest::newRow("1234") << 1234 << "1.234";
    QTest::newRow("zero gets ten decimals") << 0 << "0.0000000000";
    QTest::newRow("negative garbage stays bounded") << -5000 << "-5.0000000000";
}

void tst_windowrules::setPoint()
{
    QFETCH(int, thousandths);
    QFETCH(QString, text);
    QCOMPARE(Pump::DisplayFormat::setPoint(thousandths), text);
}

void tst_windowrules::cycles_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 is OFF") << 1 << "OFF";
    QTest::newRow("0 is OFF") << 0 << "OFF";
    QTest::newRow("1000 is INF") << 1000 << "INF";
    QTest::newRow("25") << 25 << "25";
}

void tst_windowrules::cycles()
{
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(Pump::DisplayFormat::cycles(count), text);
}

void tst_windowrules::versions_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("FLUXO 10 V1.23") << "0011001023"
                                    << "FLUXO 10"
                                    << "V1.23";
    QTest::newRow("FLUXO 02 V0.0") << "0010200000"
                                   << "FLUXO 02"
                                   << "V0.0";
    QTest::newRow("empty") << ""
                           << "UNKNOWN"
                           << "V0.0";
    QTest::newRow("garbage") << "x\x03"
                             << "UNKNOWN"
                             << "V0.0";
}

void tst_windowrules::versions()
{
    QFETCH(QString, model);
    QFETCH(QString, type);
    QFETCH(QString, firmware);
    QCOMPARE(Pump::DisplayFormat::pumpType(model), type);
    QCOMPARE(Pump::DisplayFormat::firmware(model), firmware);
}

void tst_windowrules::listIndices_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("index");
    QTest::newRow("calibration 9550 is 95.5 %") << "cal" << 9550 << 155;
    QTest::newRow("calibration 8000 is the first") << "cal" << 8000 << 0;
    QTest::newRow("analog 0 is 0..10 V") << "analog" << 0 << 1;
    QTest::newRow("analog 3 is 0..5 V") << "analog" << 3 << 2;
    QTest::newRow("analog 9 is OFF") << "analog" << 9 << 0;
    QTest::newRow("input 1 function 6") << "in1" << 6 << 2;
    QTest::newRow("input 1 function 8 is OFF") << "in1" << 8 << 0;
    QTest::newRow("input 2 function 10") << "in2" << 10 << 5;
    QTest::newRow("input 2 function 9") << "in2" << 9 << 4;
}

void tst_windowrules::listIndices()
{
    QFETCH(QString, rule);
    QFETCH(int, reported);
    QFETCH(int, index);
    int actual = -1;
    if (rule == QLatin1String("cal"))
        actual = Pump::DisplayFormat::calibrationIndex(reported);
    else if (rule == QLatin1String("analog"))
        actual = Pump::DisplayFormat::analogInputIndex(reported);
    else if (rule == QLatin1String("in1"))
        actual = Pump::DisplayFormat::digitalIn1Index(reported);
    else
        actual = Pump::DisplayFormat::digitalIn2Index(reported);
    QCOMPARE(actual, index);
}

void tst_windowrules::timeDisplay_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("stopped shows the target") << false << "00:01:30"
                                              << "00000000"
                                              << "00:01:30";
    QTest::newRow("count down 1 min, 15.40 s elapsed") << true << "00:01:00"
                                                       << "00001540"
                                                       << "00:00:45";
    QTest::newRow("count up without target") << true << "00:00:00"
                                             << "01023045"
                                             << "01:02:30";
    QTest::newRow("count down across the hour") << true << "01:00:00"
                                                << "00000100"
                                                << "00:59:59";
    QTest::newRow("absurd target text stays representable") << true << "1:0:1e30"
                                                            << "00000000"
                                                            << "01:00:1000000000000000";
    QTest::newRow("short elapsed text reads missing pairs as 0") << true << "00:00:10"
                                                                 << "0000"
                                                                 << "00:00:10";
}

void tst_windowrules::timeDisplay()
{
    QFETCH(bool, running);
    QFETCH(QString, target);
    QFETCH(QString, elapsed);
    QFETCH(QString, shown);
    const QStringList t = target.split(QLatin1Char(':'));
    const Pump::TimeDisplay::Labels labels =
        Pump::TimeDisplay::compute(running, t[0], t[1], t[2], elapsed);
    QCOMPARE(labels.hours + ':' + labels.minutes + ':' + labels.seconds, shown);
}

QTEST_GUILESS_MAIN(tst_windowrules)
#include "tst_windowrules.moc"
