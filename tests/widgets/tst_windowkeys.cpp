#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "ui/mainForm.h"

#include <QLineEdit>
#include <QtTest>

// Keys that a plain dialog would turn into closing the window.
class tst_windowkeys : public QObject
{
    Q_OBJECT

private slots:
    void escapeKeepsTheWindowOpen_data();
    void escapeKeepsTheWindowOpen();
};

void tst_windowkeys::escapeKeepsTheWindowOpen_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("in the set-point field") << "lineEditVolume";
    QTest::newRow("in the hand-typed command") << "lineEditDiscreteCommand";
    QTest::newRow("on the window") << QString();
}

void tst_windowkeys::escapeKeepsTheWindowOpen()
{
    QFETCH(QString, focus);
    PumpCore core{PumpCore::Options{false}};
    ProgramRunner runner{core};
    mainForm window(core, runner);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *target = &window;
    if (!focus.isEmpty()) {
        target = window.findChild<QLineEdit *>(focus);
        QVERIFY(target != nullptr);
        target->setFocus();
    }
    QSignalSpy rejected(&window, &QDialog::rejected);
    QTest::keyClick(target, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 0);
    QVERIFY(window.isVisible());
}

QTEST_MAIN(tst_windowkeys)
#include "tst_windowkeys.moc"
