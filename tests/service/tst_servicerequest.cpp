// What the service's own topics take: each request as a row, with the refusal it must get or
// the action it asks for, before anything reaches a pump.
#include "service/ServiceRequest.h"

#include <QtTest>

namespace {

using Action = ServiceRequest::Action;

QByteArray program(const QByteArray &pumps, const QByteArray &steps)
{
    return R"({"format": "dosetta-program/1", "name": "mix", "pumps": )" + pumps +
           R"(, "steps": )" + steps + "}";
}

const QByteArray TwoPumps = program(R"(["A", "B"])", R"([{"parallel": {
    "A": [{"dose": {"volume_ml": 1, "rate_ml_min": 10}}],
    "B": [{"dose": {"volume_ml": 2, "rate_ml_min": 10}}]}}])");

} // namespace

class TestServiceRequest : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("retained");
        QTest::addColumn<QByteArray>("correlation");
        QTest::addColumn<bool>("running"); // a program on A and B is active
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("error"); // a part of it; empty: taken
        const QByteArray c = "c1";

        QTest::newRow("a program on two served pumps")
            << "lab/bench/program/run" << TwoPumps << false << c << false << int(Action::Run)
            << QString();
        QTest::newRow("a pump not served")
            << "lab/bench/program/run" << QByteArray(TwoPumps).replace("\"B\"", "\"C\"") << false
            << c << false << int(Action::Run)
            << "the program's pump \"C\" is not served here; the service serves A, B, D";
        QTest::newRow("a pump that does not allow control")
            << "lab/bench/program/run" << QByteArray(TwoPumps).replace("\"B\"", "\"D\"") << false
            << c << false << int(Action::Run) << "control not allowed: pump D does not allow it";
        QTest::newRow("a program for one pump")
            << "lab/bench/program/run"
            << QByteArray(R"({"format": "dosetta-program/1", "name": "one", "steps":
                             [{"dose": {"volume_ml": 1, "rate_ml_min": 10}}]})")
            << false << c << false << int(Action::Run) << "the program names no pumps";
        QTest::newRow("a program with an error")
            << "lab/bench/program/run" << QByteArray(TwoPumps).replace("10}", "1000}") << false << c
            << false << int(Action::Run)
            << "the program has 2 errors: steps[0].parallel.A[0].dose.rate_ml_min";
        QTest::newRow("no JSON") << "lab/bench/program/run" << QByteArray("mix") << false << c
                                 << false << int(Action::Run) << "the program has 1 error";
        QTest::newRow("a retained request")
            << "lab/bench/program/run" << TwoPumps << true << c << false << int(Action::Run)
            << "retained requests are ignored";
        QTest::newRow("correlation data too long")
            << "lab/bench/program/run" << TwoPumps << false << QByteArray(65, 'x') << false
            << int(Action::Run) << "correlation data longer than 64 bytes";
        QTest::newRow("a program over the file's limit")
            << "lab/bench/program/run" << QByteArray(64 * 1024 + 1, ' ') << false << c << false
            << int(Action::Run) << "request longer than 65536 bytes";

        QTest::newRow("stop while a program runs")
            << "lab/bench/program/stop" << QByteArray() << false << c << true << int(Action::Stop)
            << QString();
        QTest::newRow("stop with nothing running")
            << "lab/bench/program/stop" << QByteArray() << false << c << false << int(Action::Stop)
            << "no program runs";
        QTest::newRow("a long stop")
            << "lab/bench/program/stop" << QByteArray(257, 'x') << false << c << true
            << int(Action::Stop) << "request longer than 256 bytes";
        QTest::newRow("continue while a program runs")
            << "lab/bench/program/continue" << QByteArray() << false << c << true
            << int(Action::Continue) << QString();
        QTest::newRow("a pump's own topic") << "lab/A/program/run" << TwoPumps << false << c
                                            << false << int(Action::Ignored) << QString();
        QTest::newRow("pause is no topic of the service")
            << "lab/bench/program/pause" << QByteArray() << false << c << true
            << int(Action::Ignored) << QString();
    }
    void read()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, retained);
        QFETCH(QByteArray, correlation);
        QFETCH(bool, running);
        QFETCH(QString, error);
        MqttClient::Message message{topic, payload, correlation, retained};
        const std::map<QString, bool> control{{"A", true}, {"B", true}, {"D", false}};
        const ServiceRequest r =
            ServiceRequest::read(QStringLiteral("lab/bench/"), message, control,
                                 running ? QStringList{"A", "B"} : QStringList());
        QTEST(int(r.action), "action");
        if (error.isEmpty())
            QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        else
            QVERIFY2(r.error.contains(error), qPrintable(r.error));
        // Only a request taken carries a program, and then the one sent.
        if (r.action == Action::Run && r.error.isEmpty())
            QCOMPARE(r.program.pumps, (QStringList{"A", "B"}));
        // What cannot be echoed whole is not echoed at all.
        if (r.action != Action::Ignored)
            QCOMPARE(r.correlation, correlation.size() <= 64 ? correlation : QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestServiceRequest)
#include "tst_servicerequest.moc"
