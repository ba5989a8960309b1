// What a recording writes: the CSV rows of samples (literal rows as the oracle), the samples the
// operation items give, the run state, and a file that no locale changes.

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItemDispenseTime.h"
#include "GUI/OperationItemFlowrate.h"
#include "GUI/OperationItemRunMode.h"
#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "GUI/OperationItemVolumeActual.h"
#include "GUI/OperationItemVolumeTarget.h"
#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"
#include "recorder/ProcessSampler.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <map>

using Link = ProcessSample::Link;
using RunState = ProcessSample::RunState;
using Key = RunStateJudge::Key;
using Id = BusinessLogic::CommandSpezifier;
Q_DECLARE_METATYPE(Key)

namespace {

// 2026-12-08T06:04:37.146Z
constexpr qint64 Stamp = 1796709877146;

ProcessSample fullSample()
{
    return {Stamp,
            Link::Connected,
            RunState::Running,
            ProcessSample::Mode::Volume,
            25000,
            12500,
            1234,
            75400,
            90,
            QStringList{"Motor in Motion", "Display ON"},
            QStringList{},
            QString(),
            QString()};
}

// The items the sampler reads, as the window holds them.
struct Items
{
    OperationItemRunMode runMode;
    OperationItemVolumeActual volume;
    OperationItemTimeElapsed time;
    OperationItemStatus status;
    OperationItemVolumeTarget target;
    OperationItemFlowrate flow;
    OperationItemDispenseTime dispense;

    std::vector<GUI::OperationItem *> all()
    {
        return {&runMode, &volume, &time, &status, &target, &flow, &dispense};
    }
    void feed(const QString &idAndText)
    {
        const int id = idAndText.section(QLatin1Char(':'), 0, 0).toInt();
        Answer answer{id, idAndText.section(QLatin1Char(':'), 1).toStdString()};
        for (GUI::OperationItem *item : all()) {
            if (item->spezifier() == id)
                item->update(&answer);
        }
    }
};

BusinessLogic::CommandSpezifier idOf(Key key)
{
    const std::map<Key, Id> ids = {{Key::Start, Id::Start},
                                   {Key::Stop, Id::Stop},
                                   {Key::Pause, Id::Pause},
                                   {Key::Prime, Id::Prime}};
    return ids.at(key);
}

// The row without its two time columns.
QByteArray afterTimes(const QByteArray &row)
{
    return row.mid(row.indexOf(',', row.indexOf(',') + 1) + 1);
}

} // namespace

class tst_ProcessRows : public QObject
{
    Q_OBJECT

private slots:
    void header();
    void rows_data();
    void rows();
    void samplesFromItems_data();
    void samplesFromItems();
    void decimalCommaLocaleChangesNothing();
    void countsReadBeforeAStart_data();
    void countsReadBeforeAStart();
};

void tst_ProcessRows::header()
{
    QCOMPARE(CsvFormat::header(),
             QByteArray("time_utc,elapsed_s,link,run_state,mode,flow_rate_ml_min,volume_target_ml,"
                        "volume_delivered_ml,time_elapsed_s,dispense_time_s,status,errors,"
                        "program,step\r\n"));
}

void tst_ProcessRows::rows_data()
{
    QTest::addColumn<ProcessSample>("sample");
    QTest::addColumn<qint64>("startMs");
    QTest::addColumn<QByteArray>("row");

    ProcessSample unknown;
    unknown.timeMs = Stamp;
    QTest::newRow("nothing known: empty fields, never 0")
        << unknown << Stamp << QByteArray("2026-12-08T06:04:37.146Z,0.000,,unknown,,,,,,,,,,\r\n");
    QTest::newRow("everything known")
        << fullSample() << Stamp - 1234567
        << QByteArray("2026-12-08T06:04:37.146Z,1234.567,connected,running,volume,25.000,12.500,"
                      "1.234,75.40,90,Motor in Motion|Display ON,,,\r\n");

    ProcessSample edge;
    edge = {0,
            Link::PortUnavailable,
            RunState::Priming,
            ProcessSample::Mode::FlowDispense,
            -5,
            0,
            99999999,
            359999990,
            0,
            QStringList{},
            QStringList{"Overpressure", "No encoder signal"},
            QString(),
            QString()};
    QTest::newRow("zeros, a negative, the largest volume, flags in a row")
        << edge << qint64(0)
        << QByteArray("1970-01-01T00:00:00.000Z,0.000,port unavailable,priming,flow-dispense,"
                      "-0.005,0.000,99999.999,359999.99,0,,Overpressure|No encoder signal,,\r\n");
    ProcessSample odd = fullSample();
    odd.status = QStringList{"a,b", "say \"hi\""};
    odd.errors.reset();
    QTest::newRow("a comma or a quote in a field is quoted")
        << odd << Stamp - 5
        << QByteArray("2026-12-08T06:04:37.146Z,0.005,connected,running,volume,25.000,12.500,"
                      "1.234,75.40,90,\"a,b|say \"\"hi\"\"\",,,\r\n");
    ProcessSample stepped = fullSample();
    stepped.program = QStringLiteral("Rinse and dose");
    stepped.step = QStringLiteral("3.1 dose, pass 2/3");
    QTest::newRow("a program's name and step last, the step quoted for its comma")
        << stepped << Stamp
        << QByteArray("2026-12-08T06:04:37.146Z,0.000,connected,running,volume,25.000,12.500,"
                      "1.234,75.40,90,Motor in Motion|Display ON,,Rinse and dose,"
                      "\"3.1 dose, pass 2/3\"\r\n");
}

void tst_ProcessRows::rows()
{
    QFETCH(ProcessSample, sample);
    QFETCH(qint64, startMs);
    QFETCH(QByteArray, row);
    QCOMPARE(CsvFormat::row(sample, startMs), row);
}

void tst_ProcessRows::samplesFromItems_data()
{
    QTest::addColumn<QStringList>("answers"); // "id:text", as the refresher hands them over
    QTest::addColumn<Key>("key");             // the run key the pump accepted last
    QTest::addColumn<QByteArray>("row");      // the row after its time columns

    const auto id = [](Id i) {
        return QString::number(BusinessLogic::toInt(i)) + ':';
    };
    const QString runMode = id(Id::GetRunMode), volume = id(Id::GetActualVolume),
                  time = id(Id::GetTimeActual), status = id(Id::GetPumpStatus),
                  target = id(Id::GetVolume), flow = id(Id::GetFlowRate),
                  dispense = id(Id::GetDispenseTime);

    QTest::newRow("no answer yet: the placeholders (flow 10) are not written")
        << QStringList{} << Key::None << QByteArray("connected,unknown,,,,,,,,,,\r\n");
    QTest::newRow("running in flow mode")
        << QStringList{runMode + "0",      volume + "00001234", time + "00013045",
                       status + "001 1",   target + "00012500", flow + "00025000",
                       dispense + "000130"}
        << Key::Start
        << QByteArray("connected,running,flow,25.000,12.500,1.234,90.45,90,"
                      "Motor in Motion|Display ON,,,\r\n");
    QTest::newRow("moving after Prime: priming")
        << QStringList{status + "001 1"} << Key::Prime
        << QByteArray("connected,priming,,,,,,,Motor in Motion|Display ON,,,\r\n");
    QTest::newRow("standing after Pause: paused")
        << QStringList{status + "000 1"} << Key::Pause
        << QByteArray("connected,paused,,,,,,,Display ON,,,\r\n");
    QTest::newRow("standing after Start: the run ended, stopped")
        << QStringList{status + "000 1"} << Key::Start
        << QByteArray("connected,stopped,,,,,,,Display ON,,,\r\n");
    QTest::newRow("status without group 1: run state unknown")
        << QStringList{status + "009 2", status + "001 3"} << Key::Start
        << QByteArray("connected,unknown,,,,,,,Motor adjusted|Motor at dead center|"
                      "Run mode active,,,\r\n");
    QTest::newRow("inverted flags: display off, master stop released")
        << QStringList{status + "004 1", status + "008 4"} << Key::None
        << QByteArray("connected,stopped,,,,,,,,,,\r\n");
    QTest::newRow("errors known and set, bit by bit")
        << QStringList{status + "249 6"} << Key::None
        << QByteArray("connected,unknown,,,,,,,,Overpressure|Signal 4-20mA too low|"
                      "Power supply failure|Motor not adjusted|Maximum temperature exceeded|"
                      "No encoder signal,,\r\n");
}

void tst_ProcessRows::samplesFromItems()
{
    QFETCH(QStringList, answers);
    QFETCH(Key, key);
    QFETCH(QByteArray, row);

    Items items;
    ProcessSampler sampler(
        items.all(), [] { return Link::Connected; }, [] { return Stamp; });
    // A refused Stop after the accepted key must not count, nor an unrelated command.
    if (key != Key::None)
        sampler.commandDone(BusinessLogic::toInt(idOf(key)), true);
    sampler.commandDone(BusinessLogic::toInt(Id::Stop), false);
    sampler.commandDone(BusinessLogic::toInt(Id::SetVolume), true);
    // The answers of the polls after the key, as the core hands them to both.
    for (const QString &answer : answers) {
        items.feed(answer);
        sampler.commandDone(answer.section(QLatin1Char(':'), 0, 0).toInt(), true);
    }

    QSignalSpy spy(&sampler, &ProcessSampler::sampled);
    sampler.sample(); // the first sample after a key shows the key itself
    sampler.sample();
    QCOMPARE(spy.count(), 2);
    const auto sample = spy.at(1).at(0).value<ProcessSample>();
    QCOMPARE(sample.timeMs, Stamp);
    QCOMPARE(afterTimes(CsvFormat::row(sample, Stamp)), row);
}

// The same samples written with the C locale and with a German one (decimal comma) give the same
// bytes. (The program run under a German locale is checked where it records from the start.)
void tst_ProcessRows::decimalCommaLocaleChangesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto record = [&dir](const QString &name) {
        CsvRecorder recorder;
        if (!recorder.start(dir.filePath(name)))
            return QByteArray();
        ProcessSample s = fullSample();
        for (int i = 0; i < 50; ++i) {
            s.timeMs += 700;
            *s.volumeDelivered += 417;
            *s.flowRate += 1250;
            recorder.write(s);
        }
        recorder.stop();
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    const QByteArray plain = record(QStringLiteral("c.csv"));
    QVERIFY(plain.contains(",26.250,12.500,1.651,"));

    const QLocale saved;
    const QByteArray savedC = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // The C library's own locale too, where this machine has one.
    const bool cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const QByteArray german = record(QStringLiteral("de.csv"));
    QLocale::setDefault(saved);
    std::setlocale(LC_ALL, savedC.constData());
    if (!cLocale)
        qInfo("no de_DE.UTF-8 on this machine: only Qt's default locale was German");

    QCOMPARE(QLocale(QLocale::German).decimalPoint(), QChar(','));
    QCOMPARE(plain.count('\n'), 51);
    QCOMPARE(german, plain);
}

void tst_ProcessRows::countsReadBeforeAStart_data()
{
    // "id:text" is an answer; "+Start" a key the pump took, "-Start" one it refused.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QByteArray>("counts"); // volume delivered and time elapsed, as in a row

    const auto id = [](Id i) {
        return QString::number(BusinessLogic::toInt(i)) + ':';
    };
    const QString volume = id(Id::GetActualVolume) + "00091392";
    const QString time = id(Id::GetTimeActual) + "00013045";
    const QString newVolume = id(Id::GetActualVolume) + "00000159";
    QTest::newRow("read, no start") << QStringList{volume, time} << QByteArray("91.392,90.45");
    QTest::newRow("read before a start: the last run's")
        << QStringList{volume, time, "+Start"} << QByteArray(",");
    QTest::newRow("read before a prime") << QStringList{volume, time, "+Prime"} << QByteArray(",");
    QTest::newRow("volume read again, time not yet")
        << QStringList{volume, time, "+Start", newVolume} << QByteArray("0.159,");
    QTest::newRow("a refused start changes nothing")
        << QStringList{volume, time, "-Start"} << QByteArray("91.392,90.45");
    QTest::newRow("a pause goes on counting")
        << QStringList{volume, time, "+Pause"} << QByteArray("91.392,90.45");
}

void tst_ProcessRows::countsReadBeforeAStart()
{
    QFETCH(QStringList, events);
    QFETCH(QByteArray, counts);
    Items items;
    ProcessSampler sampler(
        items.all(), [] { return Link::Connected; }, [] { return Stamp; });
    const std::map<QString, Id> keys = {
        {"Start", Id::Start}, {"Prime", Id::Prime}, {"Pause", Id::Pause}};
    for (const QString &e : events) {
        if (e.startsWith('+') || e.startsWith('-')) {
            sampler.commandDone(BusinessLogic::toInt(keys.at(e.mid(1))), e.startsWith('+'));
            continue;
        }
        items.feed(e);
        sampler.commandDone(e.section(QLatin1Char(':'), 0, 0).toInt(), true);
    }
    // Volume delivered and time elapsed: the columns after the flow rate and the dose.
    const QList<QByteArray> columns = afterTimes(CsvFormat::row(sampler.take(), Stamp)).split(',');
    QCOMPARE(columns.at(5) + ',' + columns.at(6), counts);
}

QTEST_GUILESS_MAIN(tst_ProcessRows)
#include "tst_processrows.moc"
