// A program's progress by time: each step weighs its expected time.

#include "program/ProgramFile.h"
#include "program/ProgramPlan.h"
#include "program/ProgramProgress.h"

#include <QtTest>

class ProgramProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void byTime_data();
    void byTime();
};

void ProgramProgressTest::byTime_data()
{
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("stepProgress");
    QTest::addColumn<double>("progress");

    // A 1 s dose (1 ml at 60 ml/min) before a 99 s run: half of the steps, 1 % of the time.
    const QByteArray doseThenRun = R"({"dose": {"volume_ml": 1, "rate_ml_min": 60}},
                                      {"run": {"rate_ml_min": 10, "for_s": 99}})";
    QTest::newRow("the dose done") << doseThenRun << 1 << 1.0 << 0.01;
    QTest::newRow("the run half done") << doseThenRun << 2 << 0.5 << 0.505;
    QTest::newRow("past the last step") << doseThenRun << 3 << 0.0 << 1.0;

    // A prompt weighs nothing: the bar stands while it waits. A repeat counts every pass.
    const QByteArray withPrompt = R"({"wait": {"for_s": 10}}, {"prompt": {"text": "go on"}},
        {"repeat": {"count": 3, "steps": [{"prime": {"for_s": 10}}]}})";
    QTest::newRow("at the prompt") << withPrompt << 2 << 0.5 << 0.25;
    QTest::newRow("the second prime's end") << withPrompt << 4 << 1.0 << 0.75;

    // Nothing timed at all: by steps, each the same.
    const QByteArray promptsOnly = R"({"prompt": {"text": "a"}}, {"prompt": {"text": "b"}})";
    QTest::newRow("prompts only, the first done") << promptsOnly << 1 << 1.0 << 0.5;
}

void ProgramProgressTest::byTime()
{
    QFETCH(QByteArray, steps);
    QFETCH(int, position);
    QFETCH(double, stepProgress);
    QFETCH(double, progress);
    const ProgramFile::Checked checked = ProgramFile::read(
        R"({"format": "dosetta-program/1", "name": "t", "steps": [)" + steps + "]}");
    QCOMPARE(checked.errors, QStringList());
    const ProgramProgress byTime(ProgramPlan::unroll(checked.program));
    QVERIFY2(qAbs(byTime.at(position, stepProgress) - progress) < 1e-9,
             qPrintable(QString::number(byTime.at(position, stepProgress))));
}

QTEST_GUILESS_MAIN(ProgramProgressTest)
#include "tst_programprogress.moc"
