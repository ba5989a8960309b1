#include "program/ProgramFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A whole file around the given steps.
QByteArray withSteps(const QByteArray &steps)
{
    return R"({"format": "dosetta-program/1", "name": "t", "steps": [)" + steps + "]}";
}

// A file that names its pumps.
QByteArray withPumps(const QByteArray &pumps, const QByteArray &steps)
{
    return R"({"format": "dosetta-program/1", "name": "t", "pumps": [)" + pumps +
           R"(], "steps": [)" + steps + "]}";
}

const QByteArray parallelAB = R"({"parallel": {"A": [{"wait": {"for_s": 1}}],
                                               "B": [{"wait": {"for_s": 1}}]}})";

} // namespace

class ProgramFileTest : public QObject
{
    Q_OBJECT

private slots:
    void invalidFiles_data();
    void invalidFiles();
    void multiPumpFiles_data();
    void multiPumpFiles();
    void exampleReadsAndWritesBack();
    void loadRefuses();
    void shortDoseNotes_data();
    void shortDoseNotes();
    void timedPrimeReadsAndWritesBack();
};

void ProgramFileTest::invalidFiles_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("errors");

    // Values against the pump's limits.
    QTest::newRow("rate above the pump's, in a repeat")
        << withSteps(R"({"repeat": {"count": 2, "steps": [
                          {"dose": {"volume_ml": 1, "rate_ml_min": 150}}]}})")
        << QStringList{"steps[0].repeat.steps[0].dose.rate_ml_min: 150 is above 100.0 ml/min"};
    QTest::newRow("volume finer than a microlitre")
        << withSteps(R"({"dose": {"volume_ml": 1.0005, "rate_ml_min": 10}})")
        << QStringList{"steps[0].dose.volume_ml: 1.0005 is finer than 0.001 ml"};
    QTest::newRow("dose longer than the dispense time")
        << withSteps(R"({"dose": {"volume_ml": 999, "rate_ml_min": 1}})")
        << QStringList{"steps[0].dose: 999 ml at 1 ml/min takes longer than the longest "
                       "dispense time"};
    QTest::newRow("run of a fraction of a second")
        << withSteps(R"({"run": {"rate_ml_min": 10, "for_s": 2.5}})")
        << QStringList{"steps[0].run.for_s: 2.5 is not a whole number of seconds"};
    QTest::newRow("ramp steps under a second")
        << withSteps(R"({"ramp": {"from_ml_min": 5, "to_ml_min": 20, "for_s": 3, "steps": 4}})")
        << QStringList{"steps[0].ramp.for_s: 3 s in 4 steps is under 1 s a step"};
    QTest::newRow("wait of nothing")
        << withSteps(R"({"wait": {"for_s": 0}})")
        << QStringList{"steps[0].wait.for_s: 0 is below 1 s, the shortest wait the pump can time"};
    QTest::newRow("prompt with a line break")
        << withSteps(R"({"prompt": {"text": "Change\nthe bottle"}})")
        << QStringList{"steps[0].prompt.text: holds a control character"};
    QTest::newRow("prompt without text") << withSteps(R"({"prompt": {"text": "  "}})")
                                         << QStringList{"steps[0].prompt.text: is empty"};

    // Types, fields and the shape of the file.
    QTest::newRow("volume as text")
        << withSteps(R"({"dose": {"volume_ml": "5", "rate_ml_min": 10}})")
        << QStringList{R"(steps[0].dose.volume_ml: "5" is not a number)"};
    QTest::newRow("count a fraction")
        << withSteps(R"({"repeat": {"count": 2.5, "steps": [{"wait": {"for_s": 1}}]}})")
        << QStringList{"steps[0].repeat.count: 2.5 is not a whole number"};
    QTest::newRow("field missing") << withSteps(R"({"run": {"rate_ml_min": 10}})")
                                   << QStringList{"steps[0].run.for_s: missing"};
    QTest::newRow("unknown field in a step") << withSteps(R"({"wait": {"for_s": 1, "speed": 2}})")
                                             << QStringList{"steps[0].wait.speed: unknown field"};
    QTest::newRow("mistyped field, top field and step")
        << QByteArray(R"({"format": "dosetta-program/1", "naem": "t", "steps": [
                          {"dose": {"volum_ml": 1, "rate_ml_min": 10}}, {"wiat": {"for_s": 1}}]})")
        << QStringList{"name: missing", "steps[0].dose.volume_ml: missing",
                       R"(steps[0].dose.volum_ml: unknown field (did you mean "volume_ml"?))",
                       R"(steps[1].wiat: unknown step (did you mean "wait"?); a step is one of )"
                       "dose, run, ramp, wait, prime, prompt, repeat",
                       R"(naem: unknown field (did you mean "name"?))"};
    QTest::newRow("unknown field at the top")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "t", "author": "x",
                          "steps": [{"wait": {"for_s": 1}}]})")
        << QStringList{"author: unknown field"};
    QTest::newRow("unknown step")
        << withSteps(R"({"squirt": {"volume_ml": 1}})")
        << QStringList{
               "steps[0].squirt: unknown step; a step is one of dose, run, ramp, wait, prime, "
               "prompt, repeat"};
    QTest::newRow("two steps in one object")
        << withSteps(R"({"wait": {"for_s": 1}, "prompt": {"text": "x"}})")
        << QStringList{"steps[0]: prompt and wait steps in one; a step holds one of dose, run, "
                       "ramp, wait, prime, prompt, repeat"};
    QTest::newRow("other format") << QByteArray(R"({"format": "dosetta-program/2", "name": "t",
                          "steps": [{"wait": {"for_s": 1}}]})")
                                  << QStringList{
                                         R"(format: "dosetta-program/2" is not dosetta-program/1)"};
    QTest::newRow("name empty, steps missing")
        << QByteArray(R"({"format": "dosetta-program/1", "name": ""})")
        << QStringList{"name: is empty", "steps: missing"};

    // Nesting and size.
    QTest::newRow("repeats four deep")
        << withSteps(R"({"repeat": {"count": 2, "steps": [
                          {"repeat": {"count": 2, "steps": [
                            {"repeat": {"count": 2, "steps": [
                              {"repeat": {"count": 2, "steps": [
                                {"wait": {"for_s": 1}}]}}]}}]}}]}})")
        << QStringList{"steps[0].repeat.steps[0].repeat.steps[0].repeat.steps[0].repeat: "
                       "repeats nest more than 3 deep"};
    QTest::newRow("repeat zero times")
        << withSteps(R"({"repeat": {"count": 0, "steps": [{"wait": {"for_s": 1}}]}})")
        << QStringList{"steps[0].repeat.count: 0 is below 1"};
    QTest::newRow("repeat of nothing") << withSteps(R"({"repeat": {"count": 2, "steps": []}})")
                                       << QStringList{"steps[0].repeat.steps: no steps"};
    QTest::newRow("no steps") << withSteps("") << QStringList{"steps: no steps"};
    QTest::newRow("1200 steps once unrolled")
        << withSteps(R"({"repeat": {"count": 30, "steps": [
                          {"repeat": {"count": 40, "steps": [{"wait": {"for_s": 1}}]}}]}})")
        << QStringList{"steps: 1200 steps once unrolled, above 1000"};
    // Ambiguous, and Qt's parser leaks on it: refused before parsing, however the key is spelt.
    QTest::newRow("a key twice, once escaped")
        << withSteps(R"({"dose": {"volume_ml": 1, "rate_ml_min": 10}},
                        {"wait": {"for_s": 1}, "w\u0061it": {"for_s": 2}})")
        << QStringList{"\"wait\" is given twice in one object"};
    QTest::newRow("a key twice in a later step")
        << withSteps(R"({"wait": {"for_s": 1}}, {"wait": {"for_s": 1, "for_s": {"x": 1}}})")
        << QStringList{"\"for_s\" is given twice in one object"};
}

void ProgramFileTest::invalidFiles()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, errors);
    const ProgramFile::Checked checked = ProgramFile::read(json);
    QCOMPARE(checked.errors, errors);
    // Nothing to send from a file with errors.
    QVERIFY(checked.program.steps.empty());
}

void ProgramFileTest::multiPumpFiles_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("errors");

    // Good files: each reads, and writes back as it read.
    QTest::newRow("steps naming their pumps, a parallel and a gradient")
        << withPumps(R"("A", "B")", R"({"dose": {"volume_ml": 1, "rate_ml_min": 10}},
                        {"run": {"rate_ml_min": 10, "for_s": 5, "pump": "B"}}, )" +
                                        parallelAB + R"(,
                        {"gradient": {"pumps": ["B", "A"], "total_ml_min": 20, "from_percent": 0,
                                      "to_percent": 100, "for_s": 60, "steps": 6}})")
        << QStringList();
    QTest::newRow("a repeat's pump for the steps within it, a parallel within a repeat")
        << withPumps(R"("A", "B")", R"({"repeat": {"count": 2, "pump": "B", "steps": [
                          {"wait": {"for_s": 1}}, {"wait": {"for_s": 1, "pump": "A"}}, )" +
                                        parallelAB + "]}}")
        << QStringList();
    QTest::newRow("one named pump")
        << withPumps(R"("left")", R"({"wait": {"for_s": 1}})") << QStringList();

    // Pump names.
    QTest::newRow("a step's pump not in the list")
        << withPumps(R"("A", "B")", R"({"wait": {"for_s": 1, "pump": "C"}}, )" + parallelAB)
        << QStringList{R"(steps[0].wait.pump: "C" is not one of the program's pumps (A, B))"};
    QTest::newRow("a pump in a program that names none")
        << withSteps(R"({"wait": {"for_s": 1, "pump": "A"}})")
        << QStringList{R"(steps[0].wait.pump: the program names no pumps ("pumps"))"};
    QTest::newRow("a pump's name that is no text")
        << withPumps(R"("A")", R"({"wait": {"for_s": 1, "pump": 1}})")
        << QStringList{"steps[0].wait.pump: 1 is not a pump's name"};
    QTest::newRow("a name twice, a name with a space, a pump without steps")
        << withPumps(R"("A", "A", "B C", "D")", R"({"wait": {"for_s": 1}})")
        << QStringList{R"(pumps[1]: "A" is named twice)",
                       R"(pumps[2]: "B C" is not a pump name (letters, digits, - and _, up to 32))",
                       R"(pumps[3]: "D" has no step)"};
    QTest::newRow("pumps that are not a list")
        << QByteArray(R"({"format": "dosetta-program/1", "name": "t", "pumps": "A",
                          "steps": [{"wait": {"for_s": 1}}]})")
        << QStringList{R"(pumps: "A" is not a list of pumps' names)"};
    QTest::newRow("nine pumps")
        << withPumps(R"("A", "B", "C", "D", "E", "F", "G", "H", "I")",
                     R"({"parallel": {"A": [{"wait": {"for_s": 1}}], "B": [{"wait": {"for_s": 1}}],
                         "C": [{"wait": {"for_s": 1}}], "D": [{"wait": {"for_s": 1}}],
                         "E": [{"wait": {"for_s": 1}}], "F": [{"wait": {"for_s": 1}}],
                         "G": [{"wait": {"for_s": 1}}], "H": [{"wait": {"for_s": 1}}],
                         "I": [{"wait": {"for_s": 1}}]}})")
        << QStringList{"pumps: 9 pumps, above 8"};

    // Parallel steps.
    QTest::newRow("a branch for a pump not in the list")
        << withPumps(R"("A", "B")", R"({"parallel": {"A": [{"wait": {"for_s": 1}}],
                                                     "C": [{"wait": {"for_s": 1}}]}},
                                        {"wait": {"for_s": 1, "pump": "B"}})")
        << QStringList{R"(steps[0].parallel.C: "C" is not one of the program's pumps (A, B))"};
    QTest::newRow("a step in A's branch naming B")
        << withPumps(R"("A", "B")", R"({"parallel": {"A": [{"wait": {"for_s": 1, "pump": "B"}}],
                                                     "B": [{"wait": {"for_s": 1}}]}})")
        << QStringList{R"(steps[0].parallel.A[0].wait.pump: "B" in A's branch; a branch runs )"
                       R"(on its own pump only)"};
    QTest::newRow("a parallel within a branch, with a repeat between")
        << withPumps(R"("A", "B")", R"({"parallel": {"A": [{"repeat": {"count": 2, "steps": [)" +
                                        parallelAB + R"(]}}], "B": [{"wait": {"for_s": 1}}]}})")
        << QStringList{"steps[0].parallel.A[0].repeat.steps[0].parallel: within A's branch; a "
                       "branch runs on its own pump only"};
    QTest::newRow("a parallel without branches, one with an empty branch")
        << withPumps(R"("A")", R"({"parallel": {}}, {"parallel": {"A": []}})")
        << QStringList{"steps[0].parallel: no branches; a branch is a pump's name with its steps",
                       "steps[1].parallel.A: no steps"};
    QTest::newRow("a parallel in a program that names no pumps")
        << withSteps(parallelAB)
        << QStringList{R"(steps[0].parallel: drives several pumps; the program names none )"
                       R"(("pumps"))"};
    QTest::newRow("an unknown step lists the kinds of several pumps")
        << withPumps(R"("A")", R"({"wait": {"for_s": 1}}, {"squirt": {}})")
        << QStringList{
               "steps[1].squirt: unknown step; a step is one of dose, run, ramp, wait, prime, "
               "prompt, repeat, parallel, gradient"};

    // Gradients.
    QTest::newRow("a gradient over one pump twice, its total above the pumps' maximum")
        << withPumps(R"("A", "B")",
                     R"({"gradient": {"pumps": ["A", "A"], "total_ml_min": 120, "from_percent": 80,
                                      "to_percent": 20, "for_s": 60, "steps": 6}}, )" +
                         parallelAB)
        << QStringList{R"(steps[0].gradient.pumps: "A" twice; a gradient takes two pumps)",
                       "steps[0].gradient.total_ml_min: 120 is above 100.0 ml/min"};
    QTest::newRow("percentages outside 0 to 100, steps under a second")
        << withPumps(R"("A", "B")",
                     R"({"gradient": {"pumps": ["A", "B"], "total_ml_min": 20, "from_percent": -5,
                                      "to_percent": 100.5, "for_s": 5, "steps": 6}})")
        << QStringList{"steps[0].gradient.from_percent: -5 is below 0",
                       "steps[0].gradient.to_percent: 100.5 is above 100",
                       "steps[0].gradient.for_s: 5 s in 6 steps is under 1 s a step"};
    QTest::newRow("a gradient of one pump, a field missing, one unknown")
        << withPumps(R"("A", "B")",
                     R"({"gradient": {"pumps": ["A"], "total_ml_min": 20, "from_percent": 50,
                                      "for_s": 60, "steps": 6, "pump": "B"}}, )" +
                         parallelAB)
        << QStringList{"steps[0].gradient.to_percent: missing",
                       R"(steps[0].gradient.pump: unknown field (did you mean "pumps"?))",
                       "steps[0].gradient.pumps: 1 pump; a gradient takes two"};
    QTest::newRow("a gradient within a branch")
        << withPumps(R"("A", "B")",
                     R"({"parallel": {"A": [{"gradient": {"pumps": ["A", "B"], "total_ml_min": 20,
                          "from_percent": 80, "to_percent": 20, "for_s": 60, "steps": 6}}],
                          "B": [{"wait": {"for_s": 1}}]}})")
        << QStringList{"steps[0].parallel.A[0].gradient: within A's branch; a branch runs on its "
                       "own pump only"};
    // Nesting and size: each branch and each gradient step counts.
    QTest::newRow("branches over 1000 steps once unrolled")
        << withPumps(
               R"("A", "B")",
               R"({"parallel": {"A": [{"repeat": {"count": 600, "steps": [{"wait": {"for_s": 1}}]}}],
                          "B": [{"repeat": {"count": 600, "steps": [{"wait": {"for_s": 1}}]}}]}})")
        << QStringList{"steps: 1200 steps once unrolled, above 1000"};
    QTest::newRow("gradients over 1000 steps once unrolled")
        << withPumps(R"("A", "B")", R"({"repeat": {"count": 6, "steps": [{"gradient": {
                          "pumps": ["A", "B"], "total_ml_min": 20, "from_percent": 80,
                          "to_percent": 20, "for_s": 5000, "steps": 100}}]}})")
        << QStringList{"steps: 1200 steps once unrolled, above 1000"};
}

void ProgramFileTest::multiPumpFiles()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, errors);
    const ProgramFile::Checked checked = ProgramFile::read(json);
    QCOMPARE(checked.errors, errors);
    if (!errors.isEmpty()) {
        QVERIFY(checked.program.steps.empty());
        return;
    }
    // The same rules in memory, and the file written back reads the same.
    QCOMPARE(ProgramFile::check(checked.program), QStringList());
    const QByteArray written = ProgramFile::write(checked.program);
    const ProgramFile::Checked again = ProgramFile::read(written);
    QCOMPARE(again.errors, QStringList());
    QCOMPARE(again.program.pumps, checked.program.pumps);
    QCOMPARE(ProgramFile::write(again.program), written);
    QVERIFY2(QJsonDocument::fromJson(written).object() == QJsonDocument::fromJson(json).object(),
             written.constData());
}

// The summary's numbers are checked by hand where program check prints them.
void ProgramFileTest::exampleReadsAndWritesBack()
{
    const ProgramFile::Checked example = ProgramFile::load(QStringLiteral(EXAMPLE_PROGRAM));
    QCOMPARE(example.errors, QStringList());
    QCOMPARE(example.program.steps.size(), std::size_t(6));
    const QByteArray written = ProgramFile::write(example.program);
    QVERIFY2(written.contains("\n    "), written.constData()); // indented for people
    const ProgramFile::Checked again = ProgramFile::read(written);
    QCOMPARE(again.errors, QStringList());
    QCOMPARE(ProgramFile::write(again.program), written);
}

void ProgramFileTest::loadRefuses()
{
    QTemporaryDir dir;
    const QString big = dir.filePath("big.json");
    QFile file(big);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(withSteps(QByteArray(70000, ' ') + R"({"wait": {"for_s": 1}})"));
    file.close();
    QStringList errors = ProgramFile::load(big).errors;
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].endsWith("bytes, above 65536"), qPrintable(errors[0]));

    errors = ProgramFile::read(R"({"format": "dosetta-program/1", "name": )").errors;
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith("offset 40 (line 1): "), qPrintable(errors[0]));
}

void ProgramFileTest::shortDoseNotes_data()
{
    QTest::addColumn<double>("volumeMl");
    QTest::addColumn<double>("rateMlMin");
    QTest::addColumn<bool>("noted");

    // The pump's dispense time is whole seconds, rounded: under half a second is none, and a dose
    // without a dispense time goes at full flow.
    QTest::newRow("the README's 0.2 ml at 60 ml/min: 0.2 s") << 0.2 << 60.0 << true;
    QTest::newRow("0.416 ml at 50 ml/min: just under 0.5 s") << 0.416 << 50.0 << true;
    QTest::newRow("0.5 ml at 60 ml/min: exactly 0.5 s") << 0.5 << 60.0 << false;
    QTest::newRow("0.417 ml at 50 ml/min: just over 0.5 s") << 0.417 << 50.0 << false;
    QTest::newRow("1 ml at 100 ml/min: 0.6 s") << 1.0 << 100.0 << false;
}

void ProgramFileTest::shortDoseNotes()
{
    QFETCH(double, volumeMl);
    QFETCH(double, rateMlMin);
    QFETCH(bool, noted);
    // Within a repeat, so that the note's path names the step where the file has it.
    const QByteArray json =
        withSteps(QStringLiteral(R"({"repeat": {"count": 2, "steps": [{"wait": {"for_s": 1}},)"
                                 R"({"dose": {"volume_ml": %1, "rate_ml_min": %2}}]}})")
                      .arg(volumeMl)
                      .arg(rateMlMin)
                      .toUtf8());
    const ProgramFile::Checked checked = ProgramFile::read(json);
    QCOMPARE(checked.errors, QStringList()); // a note is no error
    QCOMPARE(checked.notes.size(), noted ? 1 : 0);
    if (noted)
        QVERIFY2(checked.notes[0].startsWith("steps[0].repeat.steps[1].dose: ") &&
                     checked.notes[0].endsWith("full flow"),
                 qPrintable(checked.notes[0]));
    // The editor's program, built in memory, is noted alike.
    QCOMPARE(ProgramFile::notes(checked.program), checked.notes);
}

void ProgramFileTest::timedPrimeReadsAndWritesBack()
{
    const ProgramFile::Checked checked =
        ProgramFile::read(withSteps(R"({"prime": {"for_s": 12}})"));
    QCOMPARE(checked.errors, QStringList());
    const ProgramStep again =
        ProgramFile::read(ProgramFile::write(checked.program)).program.steps.at(0);
    QVERIFY(again.kind == ProgramStep::Kind::Prime && again.forS == 12.0);
    // The tool's prime until stopped is no file's step.
    DosingProgram untilStopped{QStringLiteral("t"), {ProgramStep::prime()}};
    QCOMPARE(ProgramFile::check(untilStopped),
             QStringList{"steps[0].prime.for_s: 0 is below 1 s, the shortest prime a program "
                         "times"});
}

QTEST_GUILESS_MAIN(ProgramFileTest)
#include "tst_programfile.moc"
