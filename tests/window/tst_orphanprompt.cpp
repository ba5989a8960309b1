// A run a window of this user left open on the pump, found when the window connects: the operator
// is told what the pump is doing and chooses; the run is then closed in the journal as its owner
// gone, with the pump stopped or left running as chosen.

#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "journal/Journal.h"
#include "journal/JournalReader.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_OrphanPrompt : public QObject
{
    Q_OBJECT

private slots:
    void operatorChooses_data();
    void operatorChooses();
};

void tst_OrphanPrompt::operatorChooses_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("Stop") << true;
    QTest::newRow("Leave it running") << false;
}

void tst_OrphanPrompt::operatorChooses()
{
    QFETCH(bool, stop);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("journal.sqlite"));
    fluxosim::ServerOptions options;
    options.fast = true;
    auto pump = std::make_unique<fluxosim::PumpServer>(options);
    std::string error;
    QVERIFY2(pump->start(&error), error.c_str());
    const QString pumpId = QString::fromStdString(pump->devicePath()) + QStringLiteral(":1");
    pump->command("key start");

    // A window of this user that is gone: a process that has ended.
    QProcess gone;
    gone.start(QStringLiteral("true"), QStringList());
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    const QString runId = JournalEntry::newRunId();
    {
        Journal journal(file);
        JournalEntry start;
        start.timeMs = QDateTime::currentMSecsSinceEpoch() - 60000;
        start.pump = pumpId;
        start.kind = QLatin1String(JournalEntry::Kind::RunStart);
        start.origin = QLatin1String(JournalEntry::Origin::Window);
        start.who = JournalEntry::localUser();
        start.runId = runId;
        start.fields = {{QStringLiteral("program"), QStringLiteral("rinse")},
                        {QStringLiteral("pid"), pid}};
        QVERIFY(journal.append(start));
        QVERIFY(journal.flush(5000));
    }

    Journal journal(file);
    InstanceSettings().setAddress(1);
    WindowRig rig;
    rig.core.attachJournal(&journal);
    rig.link.setCommPortName(QString::fromStdString(pump->devicePath()));
    QVERIFY(rig.link.portOpen);
    rig.window.startUp();
    rig.window.startUpdateTimer();

    QMessageBox *box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = rig.window.findChild<QMessageBox *>()) != nullptr, 15000);
    QVERIFY2(box->text().contains(QLatin1String("\"rinse\"")), qPrintable(box->text()));
    QVERIFY2(box->text().contains(QString::number(pid)), qPrintable(box->text()));
    QVERIFY2(box->text().contains(QLatin1String("running")), qPrintable(box->text()));
    QAbstractButton *choice = nullptr;
    for (QAbstractButton *b : box->buttons()) {
        if (b->text() == (stop ? QLatin1String("Stop") : QLatin1String("Leave it running")))
            choice = b;
    }
    QVERIFY(choice != nullptr);
    const std::size_t before = pump->log().size();
    choice->click();

    const auto stopSent = [&] {
        const std::vector<fluxosim::LogEntry> log = pump->log();
        for (std::size_t i = before; i < log.size(); ++i) {
            if (log[i].verdict.find("KY0") != std::string::npos)
                return true;
        }
        return false;
    };
    const auto closed = [&] {
        journal.flush(1000);
        JournalReader reader(file);
        if (!reader.open())
            return false;
        const QVector<JournalRun> runs = reader.runs(JournalFilter());
        return runs.size() == 1 && !runs.front().open();
    };
    QTRY_VERIFY_WITH_TIMEOUT(closed(), 15000);
    QCOMPARE(stopSent(), stop);
    JournalReader reader(file);
    QVERIFY(reader.open());
    const JournalRun run = reader.runs(JournalFilter()).front();
    QCOMPARE(run.end.runId, runId);
    QCOMPARE(run.end.fields.value(QStringLiteral("cause")).toString(),
             QStringLiteral("owner-gone"));
}

QTEST_MAIN(tst_OrphanPrompt)
#include "tst_orphanprompt.moc"
