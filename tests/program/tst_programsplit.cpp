// A program over several pumps split into one program per pump: each pump's own steps in time
// order, and a hold (with the stages it waits for, at its position once unrolled) wherever its
// turn depends on another pump.

#include "program/ProgramFile.h"
#include "program/ProgramSplit.h"

#include <QtTest>

namespace {

QByteArray program(const QByteArray &steps)
{
    return R"({"format": "dosetta-program/1", "name": "t", "pumps": ["A", "B"], "steps": [)" +
           steps + "]}";
}

// "wait 1, hold2@3": a step by its kind and main value, a hold by the stages it waits for and
// its position.
QString plan(const ProgramSplit::Part &part)
{
    QStringList out;
    std::size_t hold = 0;
    for (const ProgramStep &s : part.program.steps) {
        if (s.kind == ProgramStep::Kind::Prompt) {
            const ProgramSplit::Hold h = part.holds.at(hold++);
            out << QStringLiteral("hold%1@%2").arg(h.after).arg(h.position);
            continue;
        }
        const double value = s.kind == ProgramStep::Kind::Dose     ? s.volumeMl
                             : s.kind == ProgramStep::Kind::Run    ? s.rateMlMin
                             : s.kind == ProgramStep::Kind::Repeat ? s.count
                                                                   : s.forS;
        out << ProgramStep::kindName(s.kind) + QLatin1Char(' ') + QString::number(value);
    }
    return out.join(QStringLiteral(", "));
}

} // namespace

class ProgramSplitTest : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void ProgramSplitTest::split_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");

    QTest::newRow("one pump after the other, the first pump by default")
        << program(R"({"wait": {"for_s": 1}}, {"wait": {"for_s": 2, "pump": "B"}},
                      {"wait": {"for_s": 3}})")
        << "wait 1, hold2@2, wait 3"
        << "hold1@1, wait 2, hold3@3";
    QTest::newRow("steps in a row on one pump go on; after a parallel everyone waits")
        << program(R"({"dose": {"volume_ml": 1, "rate_ml_min": 10}}, {"wait": {"for_s": 2}},
                      {"parallel": {"A": [{"wait": {"for_s": 5}}], "B": [{"wait": {"for_s": 6}}]}},
                      {"dose": {"volume_ml": 1, "rate_ml_min": 10, "pump": "B"}})")
        << "dose 1, wait 2, wait 5, hold3@4"
        << "hold1@1, wait 6, hold2@3, dose 1";
    QTest::newRow("a repeat on one pump stays whole, one over two runs pass by pass")
        << program(R"({"repeat": {"count": 3, "pump": "B", "steps": [{"wait": {"for_s": 1}}]}},
                      {"repeat": {"count": 2, "steps": [{"wait": {"for_s": 1}},
                                                        {"wait": {"for_s": 2, "pump": "B"}}]}})")
        << "hold1@1, wait 1, hold3@3, wait 1, hold5@5"
        << "repeat 3, hold2@4, wait 2, hold4@6, wait 2";
    QTest::newRow("a gradient's shares, the first pump named second; both stay to the end")
        << program(R"({"gradient": {"pumps": ["B", "A"], "total_ml_min": 10, "from_percent": 95,
                                    "to_percent": 5, "for_s": 4, "steps": 2}})")
        << "wait 2, run 9.5, hold1@3"
        << "run 9.5, wait 2, hold1@3";
}

void ProgramSplitTest::split()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, a);
    QFETCH(QString, b);
    const ProgramFile::Checked checked = ProgramFile::read(json);
    QCOMPARE(checked.errors, QStringList());
    const ProgramSplit split = ProgramSplit::of(checked.program);
    QCOMPARE(split.parts.size(), std::size_t(2));
    QCOMPARE(plan(*split.part(QStringLiteral("A"))), a);
    QCOMPARE(plan(*split.part(QStringLiteral("B"))), b);
    // What each pump's runner is given names no pumps: one pump's runner takes it.
    for (const ProgramSplit::Part &part : split.parts)
        QVERIFY(part.program.pumps.isEmpty() && part.program.steps.front().pump.isEmpty());
}

QTEST_GUILESS_MAIN(ProgramSplitTest)
#include "tst_programsplit.moc"
