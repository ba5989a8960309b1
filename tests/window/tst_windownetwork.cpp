// The window's Network group against a real broker (mosquitto on a free local port, watched with
// mosquitto_sub and sent to with mosquitto_pub) and the simulated pump: what it publishes, the
// remote requests it refuses or carries out, the NET and REMOTE marks, the settings it keeps.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"
#include "ui/NetworkGroup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

using Id = BusinessLogic::CommandSpezifier;
constexpr int SettleMs = 10000;
const QString root = QStringLiteral("dosetta/bench-7/");
const QString publishing = QStringLiteral("Publishing as dosetta/bench-7");

// A port nobody listens on now; the broker takes it a moment later.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t size = sizeof a;
    const bool ok = ::bind(s, reinterpret_cast<sockaddr *>(&a), size) == 0 &&
                    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size) == 0;
    ::close(s);
    return ok ? ntohs(a.sin_port) : 0;
}

} // namespace

class tst_WindowNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void publishesWhenConnected();
    void remoteRequests_data();
    void remoteRequests();
    void stopGoesFirst_data();
    void stopGoesFirst();
    void pollingGoesOnUnderRemoteRequests();
    void settingsKeptPerInstance();

private:
    void startWindow();
    QStringList client(const QString &topic) const
    {
        return {"-h", "127.0.0.1", "-p", QString::number(port), "-V", "mqttv5", "-t", root + topic};
    }
    bool publish(const QString &topic, const QString &payload, const QString &correlation = {});
    // Payloads received on the pump's topic, oldest first.
    QStringList payloads(const QString &topic) const;
    QJsonObject lastJson(const QString &topic) const
    {
        const QStringList all = payloads(topic);
        return QJsonDocument::fromJson(all.value(all.size() - 1).toUtf8()).object();
    }
    template<class W>
    W *find(const char *name) const
    {
        return rig->find<W>(name);
    }
    QString state() const { return find<QLabel>("labelNetworkState")->text(); }
    bool shown(const char *mark) const { return find<QLabel>(mark)->isVisibleTo(&rig->window); }
    static QVariant stored(const QString &key)
    {
        InstanceSettings instance;
        return instance.settings().value(instance.key(key));
    }

    QTemporaryDir dir;
    int port = 0;
    QProcess broker;
    QProcess subscriber;
    QStringList lines;
    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig; // let go of the line before the pump hangs up
};

void tst_WindowNetwork::initTestCase()
{
    // The broker lives in sbin, which an ordinary user's path may lack.
    QString mosquitto = QStandardPaths::findExecutable("mosquitto");
    if (mosquitto.isEmpty())
        mosquitto = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/local/sbin"});
    QVERIFY2(!mosquitto.isEmpty() && !QStandardPaths::findExecutable("mosquitto_sub").isEmpty(),
             "mosquitto and mosquitto-clients are needed (scripts/deps.sh installs them)");
    port = freePort();
    QFile config(dir.filePath("mosquitto.conf"));
    QVERIFY(port > 0 && config.open(QIODevice::WriteOnly));
    config.write(QByteArray("listener ") + QByteArray::number(port) +
                 " 127.0.0.1\nallow_anonymous true\n");
    config.close();
    broker.start(mosquitto, {"-c", config.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(publish("probe", "up"), 5000);

    connect(&subscriber, &QProcess::readyReadStandardOutput, this, [this] {
        while (subscriber.canReadLine())
            lines << QString::fromUtf8(subscriber.readLine()).trimmed();
    });
    subscriber.start("mosquitto_sub", client("#") + QStringList{"-F", "%t|%p"});
    // Subscribed once a message of our own comes back.
    QTRY_VERIFY_WITH_TIMEOUT(publish("probe", "here") && payloads("probe").contains("here"), 5000);

    fluxosim::ServerOptions options;
    options.fast = true;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    QVERIFY(pump->start());
    InstanceSettings instance; // the settings folder outlives a run
    instance.setAddress(1);
    instance.settings().remove(instance.key("Network"));
}

void tst_WindowNetwork::cleanupTestCase()
{
    rig.reset();
    pump.reset();
    for (QProcess *process : {&subscriber, &broker}) {
        process->terminate();
        process->waitForFinished(3000);
    }
}

void tst_WindowNetwork::startWindow()
{
    rig = std::make_unique<WindowRig>();
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
}

bool tst_WindowNetwork::publish(const QString &topic, const QString &payload,
                                const QString &correlation)
{
    QStringList arguments = client(topic) + QStringList{"-m", payload};
    if (!correlation.isEmpty())
        arguments += QStringList{"-D", "publish", "correlation-data", correlation};
    QProcess process;
    process.start("mosquitto_pub", arguments);
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

QStringList tst_WindowNetwork::payloads(const QString &topic) const
{
    QStringList found;
    const QString prefix = root + topic + QLatin1Char('|');
    for (const QString &line : lines) {
        if (line.startsWith(prefix))
            found << line.mid(prefix.size());
    }
    return found;
}

void tst_WindowNetwork::publishesWhenConnected()
{
    startWindow();
    QTRY_COMPARE_WITH_TIMEOUT(find<QLabel>("labelConnectionState")->text(),
                              QStringLiteral("PUMP CONNECTED"), SettleMs);
    QCOMPARE(state(), QStringLiteral("Not connected"));
    QVERIFY(!shown("labelNetMark"));
    QVERIFY(!find<QCheckBox>("checkboAllowControl")->isChecked());

    WindowRig::type(find<QLineEdit>("lineEditBroker"),
                    QStringLiteral("mqtt://127.0.0.1:%1").arg(port));
    WindowRig::type(find<QLineEdit>("lineEditPumpId"), "bench-7");
    auto *button = find<QAbstractButton>("buttonNetworkConnect");
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Disconnect"));
    QTRY_COMPARE_WITH_TIMEOUT(state(), publishing, SettleMs);
    QVERIFY(shown("labelNetMark") && !shown("labelRemoteMark"));
    QTRY_COMPARE_WITH_TIMEOUT(payloads("availability"), QStringList{"online"}, SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(lastJson("info").value("port").toString(),
                              QString::fromStdString(pump->devicePath()), SettleMs);
    // The state carries the set-point the window shows.
    QTRY_COMPARE_WITH_TIMEOUT(lastJson("state").value("flow_rate_ml_min").toDouble(-1),
                              find<QLineEdit>("lineEditVolume")->text().toDouble(), SettleMs);
}

void tst_WindowNetwork::remoteRequests_data()
{
    QTest::addColumn<bool>("allow");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("error"); // part of it; empty: taken
    QTest::addColumn<QString>("frame"); // what reaches the pump; empty: nothing

    const auto row = [](const char *name, bool allow, const char *topic, const char *payload,
                        const char *error, const char *frame) {
        QTest::newRow(name) << allow << QString(topic) << QString(payload) << QString(error)
                            << QString(frame);
    };
    const char refused[] = "control not allowed";
    row("not allowed: flow rate", false, "set/flow-rate", "12.5", refused, "");
    row("not allowed: start", false, "cmd", "start", refused, "");
    row("allowed: flow rate", true, "set/flow-rate", "12.5", "", "01RV00012500");
    row("allowed: beyond the limit", true, "set/flow-rate", "150", "outside", "");
    row("allowed: unknown command", true, "cmd", "jump", "unknown", "");
    row("allowed: start", true, "cmd", "start", "", "01KY1");
    row("allowed: stop", true, "cmd", "stop", "", "01KY0");
    row("not allowed again", false, "set/flow-rate", "20", refused, "");
}

void tst_WindowNetwork::remoteRequests()
{
    QFETCH(bool, allow);
    QFETCH(QString, topic);
    QFETCH(QString, payload);
    QFETCH(QString, error);
    QFETCH(QString, frame);
    QVERIFY(rig);
    QTRY_VERIFY_WITH_TIMEOUT(shown("labelNetMark"), SettleMs);
    // The box takes effect at once, on the connection that stands.
    if (find<QCheckBox>("checkboAllowControl")->isChecked() != allow)
        find<QCheckBox>("checkboAllowControl")->click();
    QCOMPARE(shown("labelRemoteMark"), allow);
    auto *log = find<QTextEdit>("textEditTxData");
    log->clear();
    pump->clearLog();

    const QString correlation = QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(publish(topic, payload, correlation));
    const auto result = [&] {
        for (const QString &p : payloads("result")) {
            const QJsonObject o = QJsonDocument::fromJson(p.toUtf8()).object();
            if (o.value("correlation").toString() == correlation)
                return o;
        }
        return QJsonObject();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!result().isEmpty(), SettleMs);
    QCOMPARE(result().value("ok").toBool(), error.isEmpty());
    QVERIFY2(result().value("error").toString().contains(error),
             qPrintable(payloads("result").last()));

    // Refused requests never reach the queue; taken ones are sent once and logged like the
    // operator's own commands. A query queued behind the request in the same lane comes back
    // only after everything the request queued has been on the wire.
    bool markerBack = false;
    const BusinessLogic::Ticket marker =
        rig->core.submit(BusinessLogic::Lane::Remote, Id::GetDisplayContrast, 0, false);
    QVERIFY(marker != 0);
    const QMetaObject::Connection watch =
        connect(&rig->core, &PumpCore::answered, this,
                [&](const Answer &answer) { markerBack = markerBack || answer.ticket == marker; });
    QTRY_VERIFY_WITH_TIMEOUT(markerBack, SettleMs);
    disconnect(watch);
    QStringList settings; // frames that are not queries
    for (const fluxosim::LogEntry &e : pump->log()) {
        if (e.kind == fluxosim::LogEntry::Kind::Received && e.bytes.size() > 4 && e.bytes[3] != '?')
            settings << QString::fromStdString(e.bytes.substr(1, e.bytes.find('\x03') - 1));
    }
    QCOMPARE(settings, frame.isEmpty() ? QStringList() : QStringList{frame});
    QVERIFY2(log->toPlainText().contains(frame), qPrintable(log->toPlainText()));
}

// Stop from the window or the network goes next on the wire, ahead of every remote request
// queued, and is never answered "busy".
void tst_WindowNetwork::stopGoesFirst_data()
{
    QTest::addColumn<bool>("remote");
    QTest::newRow("the window's Stop") << false;
    QTest::newRow("a remote cmd stop") << true;
}

void tst_WindowNetwork::stopGoesFirst()
{
    QFETCH(bool, remote);
    QVERIFY(rig);
    QTRY_VERIFY_WITH_TIMEOUT(shown("labelNetMark"), SettleMs);
    if (!find<QCheckBox>("checkboAllowControl")->isChecked())
        find<QCheckBox>("checkboAllowControl")->click();
    // A burst from the network: more than the bridge lets wait, the rest answered "busy".
    QProcess burst;
    burst.start("mosquitto_pub", client("set/flow-rate") + QStringList{"-l"});
    QVERIFY(burst.waitForStarted());
    for (int i = 0; i < 40; ++i)
        burst.write(QByteArray::number(40 + i % 2) + '\n');
    burst.closeWriteChannel();
    QVERIFY(burst.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(rig->stack.queuedCount(BusinessLogic::Lane::Remote) >= 10, SettleMs);
    // And more behind it than the pump could answer before the stop comes.
    for (int i = 0; i < 300; ++i)
        rig->core.submit(BusinessLogic::Lane::Remote, Id::SetDisplayContrast, 40 + i % 2);
    pump->clearLog();
    if (remote)
        QVERIFY(publish("cmd", "stop", "stop-behind-burst"));
    else
        find<QAbstractButton>("buttonStop")->click();
    const auto received = [this] {
        QStringList frames;
        for (const fluxosim::LogEntry &e : pump->log()) {
            if (e.kind == fluxosim::LogEntry::Kind::Received && e.bytes.size() > 4)
                frames << QString::fromStdString(e.bytes.substr(1, e.bytes.find('\x03') - 1));
        }
        return frames;
    };
    QTRY_VERIFY_WITH_TIMEOUT(received().contains("01KY0"), SettleMs);
    QVERIFY2(rig->stack.queuedCount(BusinessLogic::Lane::Remote) > 100,
             "the stop waited for the remote requests");
    if (!remote) {
        // Nothing was on the wire when the button was clicked: the stop is the very next frame.
        QCOMPARE(received().first(), QStringLiteral("01KY0"));
    } else {
        // Only what was in flight while the broker delivered it went first.
        QVERIFY2(received().indexOf("01KY0") <= 20, qPrintable(received().join(' ')));
        QTRY_VERIFY_WITH_TIMEOUT(
            [this] {
                for (const QString &p : payloads("result")) {
                    const QJsonObject o = QJsonDocument::fromJson(p.toUtf8()).object();
                    if (o.value("correlation").toString() == "stop-behind-burst")
                        return o.value("ok").toBool();
                }
                return false;
            }(),
            SettleMs);
    }
    rig->stack.removeLane(BusinessLogic::Lane::Remote);
}

// A steady stream of remote requests leaves the polls their turns: what the window shows of a
// run keeps moving.
void tst_WindowNetwork::pollingGoesOnUnderRemoteRequests()
{
    QVERIFY(rig);
    find<QAbstractButton>("buttonStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(find<QLabel>("labelTimeActualSec")->text().toInt() >= 1, SettleMs);
    QTimer stream;
    connect(&stream, &QTimer::timeout, this, [this] {
        while (rig->stack.queuedCount(BusinessLogic::Lane::Remote) < 20)
            rig->core.submit(BusinessLogic::Lane::Remote, Id::SetDisplayContrast, 40);
    });
    stream.start(5);
    // Two refresh ticks and a little more between looks: every look must find news.
    QStringList volumes;
    QStringList seconds;
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(1500);
        volumes << find<QLabel>("labelVolumeActual")->text();
        seconds << find<QLabel>("labelTimeActualSec")->text();
        QVERIFY(rig->stack.queuedCount(BusinessLogic::Lane::Remote) > 0);
    }
    stream.stop();
    rig->stack.removeLane(BusinessLogic::Lane::Remote);
    find<QAbstractButton>("buttonStop")->click();
    for (int i = 1; i < 5; ++i) {
        QVERIFY2(volumes[i] != volumes[i - 1], qPrintable(volumes.join(' ')));
        QVERIFY2(seconds[i] != seconds[i - 1], qPrintable(seconds.join(' ')));
    }
}

void tst_WindowNetwork::settingsKeptPerInstance()
{
    QVERIFY(rig);
    if (!find<QCheckBox>("checkboAllowControl")->isChecked())
        find<QCheckBox>("checkboAllowControl")->click();
    QCOMPARE(stored(NetworkGroup::brokerKey()).toString(),
             QStringLiteral("mqtt://127.0.0.1:%1").arg(port));
    QCOMPARE(stored(NetworkGroup::pumpIdKey()).toString(), QStringLiteral("bench-7"));
    QVERIFY(stored(NetworkGroup::allowControlKey()).toBool());
    QVERIFY(stored(NetworkGroup::connectedKey()).toBool());
    // Under the instance's group only, where another copy does not find them.
    QVERIFY(!QSettings().contains(NetworkGroup::brokerKey()));

    // Closed while connected: the broker hears "offline", and the next start connects again.
    rig.reset();
    QTRY_COMPARE_WITH_TIMEOUT(payloads("availability").last(), QStringLiteral("offline"), SettleMs);
    startWindow();
    QVERIFY(find<QCheckBox>("checkboAllowControl")->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(state(), publishing, SettleMs);
    QVERIFY(shown("labelNetMark") && shown("labelRemoteMark"));
    QTRY_COMPARE_WITH_TIMEOUT(payloads("availability").last(), QStringLiteral("online"), SettleMs);

    // Disconnected: gone from the broker, and not connected at the next start.
    find<QAbstractButton>("buttonNetworkConnect")->click();
    QCOMPARE(state(), QStringLiteral("Not connected"));
    QVERIFY(!shown("labelNetMark") && !shown("labelRemoteMark"));
    QTRY_COMPARE_WITH_TIMEOUT(payloads("availability").last(), QStringLiteral("offline"), SettleMs);
    rig.reset();
    startWindow();
    QTest::qWait(1000);
    QCOMPARE(state(), QStringLiteral("Not connected"));
}

QTEST_MAIN(tst_WindowNetwork)
#include "tst_windownetwork.moc"
