// What the service's log says of a port it cannot open, step by step in time.
#include "service/PortNotice.h"

#include <QtTest>

namespace {

const QString held = QStringLiteral("/dev/ttyUSB0: in use by dosetta-cli, pid 4711. Close that "
                                    "program, or choose another port.");
const QString other = QStringLiteral("/dev/ttyUSB0: in use by minicom, pid 99. Close that "
                                     "program, or choose another port.");

} // namespace

class TestPortNotice : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        // Each step: the time in ms, the port's problem then (empty: open), the line said
        // (empty: none).
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("held: said at once, naming the holder")
            << QList<qint64>{0} << QStringList{held}
            << QStringList{held + " Trying again every 3 s."};
        QTest::newRow("quiet for the rest of the minute")
            << QList<qint64>{0, 3000, 59999} << QStringList{held, held, held}
            << QStringList{held + " Trying again every 3 s.", "", ""};
        QTest::newRow("said again each minute, with how long")
            << QList<qint64>{0, 60000, 90000, 121000} << QStringList{held, held, held, held}
            << QStringList{held + " Trying again every 3 s.",
                           held + " Still trying every 3 s, for 1 min now.", "",
                           held + " Still trying every 3 s, for 2 min now."};
        QTest::newRow("another holder: at once")
            << QList<qint64>{0, 1000} << QStringList{held, other}
            << QStringList{held + " Trying again every 3 s.", other + " Trying again every 3 s."};
        QTest::newRow("how long counts from the first problem")
            << QList<qint64>{0, 30000, 90000} << QStringList{held, other, other}
            << QStringList{held + " Trying again every 3 s.", other + " Trying again every 3 s.",
                           other + " Still trying every 3 s, for 1 min now."};
        QTest::newRow("open again: said once")
            << QList<qint64>{0, 5000, 6000} << QStringList{held, "", ""}
            << QStringList{held + " Trying again every 3 s.", "the port can be used again", ""};
        QTest::newRow("open from the start: nothing")
            << QList<qint64>{0, 70000} << QStringList{"", ""} << QStringList{"", ""};
        QTest::newRow("held again after a while open: a new start")
            << QList<qint64>{0, 1000, 100000, 130000} << QStringList{held, "", held, held}
            << QStringList{held + " Trying again every 3 s.", "the port can be used again",
                           held + " Trying again every 3 s.", ""};
    }
    void lines()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QStringList, problems);
        QFETCH(QStringList, said);
        PortNotice notice;
        for (int i = 0; i < times.size(); ++i)
            QCOMPARE(notice.update(problems.at(i), times.at(i), 3), said.at(i));
    }
};

QTEST_GUILESS_MAIN(TestPortNotice)
#include "tst_portnotice.moc"
