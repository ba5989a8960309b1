// The window, the command-line tool and the network take and refuse the same set-points: what
// the window sends for a typed text against what the key table (the tool's and the bridge's
// check) makes of it.

#include "WindowRig.h"
#include "pump/KeyTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using Id = BusinessLogic::CommandSpezifier;

class tst_WindowVocabulary : public QObject
{
    Q_OBJECT

private slots:
    void setPointsAgree_data();
    void setPointsAgree();
};

void tst_WindowVocabulary::setPointsAgree_data()
{
    QTest::addColumn<QString>("mode"); // the run-mode menu's entry
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sent"); // what the window queues, "" for nothing

    const auto row = [](const char *mode, const char *text, const char *sent) {
        QTest::addRow("%s %s", mode, text) << mode << text << sent;
    };
    row("ml/min", "1", "11:1000");
    row("ml/min", "0.999", "");
    row("ml/min", "100", "11:100000");
    row("ml/min", "100.001", "");
    row("ml/min", "150", "");
    row("ml/min", "12.5", "11:12500");
    row("ml/min", "abc", "");
    row("ml", "0.1", "10:100");
    row("ml", "0.05", "");
    row("ml", "0.5", "10:500");
    row("ml", "999.9", "10:999900");
    row("ml", "1000", "");
    row("ml", "nan", "");
}

void tst_WindowVocabulary::setPointsAgree()
{
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QString, sent);
    WindowRig rig;
    QVERIFY(rig.pickRunMode(mode));
    rig.stack.clear();
    auto *field = rig.find<QLineEdit>("lineEditVolume");
    WindowRig::type(field, text);
    QCOMPARE(rig.queued(), sent);

    // The tool and the bridge check with the key table: the same verdict, the same value.
    const Pump::KeyTable::Setting s = Pump::KeyTable::parse(
        Pump::KeyTable::key(mode == QLatin1String("ml") ? QStringLiteral("volume")
                                                        : QStringLiteral("flow-rate")),
        text);
    QCOMPARE(s.ok(), !sent.isEmpty());
    if (s.ok())
        QCOMPARE(QStringLiteral("%1:%2").arg(int(s.command)).arg(s.value), sent);
}

QTEST_MAIN(tst_WindowVocabulary)
#include "tst_windowvocabulary.moc"
