#include "platform/EscapedText.h"

#include <QtTest>

// A client's text as a log line shows it (frames are escaped as the queue's log tests show). The
// escapes are written out by hand from each character's UTF-8 bytes.
class tst_escapedtext : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
};

void tst_escapedtext::text_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("escaped");

    QTest::newRow("printable, not ASCII, kept")
        << QStringLiteral("Dosierpumpe Süd – Bay 3") << QStringLiteral("Dosierpumpe Süd – Bay 3");
    QTest::newRow("outside the basic plane, kept")
        << QStringLiteral("clef \U0001D11E") << QStringLiteral("clef \U0001D11E");
    QTest::newRow("terminal escape")
        << QStringLiteral("Bay \x1b[2J3") << QStringLiteral("Bay '/027'[2J3");
    QTest::newRow("line feed and tab")
        << QStringLiteral("a\nb\tc") << QStringLiteral("a'/010'b'/009'c");
    QTest::newRow("C1 next line, two bytes")
        << QStringLiteral("x\u0085") << QStringLiteral("x'/194''/133'");
    QTest::newRow("zero-width space, a format character")
        << QStringLiteral("Bay\u200b3") << QStringLiteral("Bay'/226''/128''/139'3");
    QTest::newRow("line separator, printable to Qt")
        << QStringLiteral("Bay\u20283") << QStringLiteral("Bay'/226''/128''/168'3");
    QTest::newRow("paragraph separator")
        << QStringLiteral("Bay\u2029") << QStringLiteral("Bay'/226''/128''/169'");
}

void tst_escapedtext::text()
{
    QFETCH(QString, raw);
    QFETCH(QString, escaped);
    QCOMPARE(EscapedText::text(raw), escaped);
}

QTEST_APPLESS_MAIN(tst_escapedtext)
#include "tst_escapedtext.moc"
