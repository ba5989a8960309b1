// How often watch samples when the pump answers a sample more slowly than asked.

#include "cli/SampleInterval.h"

#include <QtTest>

class tst_SampleInterval : public QObject
{
    Q_OBJECT

private slots:
    void next_data();
    void next();
};

void tst_SampleInterval::next_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("current");
    QTest::addColumn<qint64>("took");
    QTest::addColumn<int>("expected");

    QTest::newRow("answered in time") << 1000 << 1000 << qint64(720) << 1000;
    QTest::newRow("exactly in time") << 500 << 500 << qint64(500) << 500;
    QTest::newRow("too slow: a tenth spare, whole tenths") << 500 << 500 << qint64(720) << 800;
    QTest::newRow("just over") << 500 << 500 << qint64(501) << 600;
    QTest::newRow("widened stays widened") << 500 << 800 << qint64(650) << 800;
    QTest::newRow("slower still widens again") << 500 << 800 << qint64(900) << 1000;
    QTest::newRow("a pump gone quiet for long") << 100 << 100 << qint64(5000) << 5500;
}

void tst_SampleInterval::next()
{
    QFETCH(int, asked);
    QFETCH(int, current);
    QFETCH(qint64, took);
    QFETCH(int, expected);
    QCOMPARE(SampleInterval::next(asked, current, took), expected);
}

QTEST_APPLESS_MAIN(tst_SampleInterval)
#include "tst_sampleinterval.moc"
