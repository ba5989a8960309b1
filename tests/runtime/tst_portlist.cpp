#include "PtyPeer.h"
#include "serial/CommDialogue.h"
#include "serial/Communication.h"
#include "serial/PortCatalog.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QSerialPortInfo)

namespace {

// A port as the seam reports it: the shown name and what the link would open.
PortCatalog::Entry listed(const QString &name, const QString &location)
{
    return {name, location, QSerialPortInfo()};
}

QStringList rows(const QListWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

} // namespace

// The port list: sorting, selection by stored name, refresh without side effects, the
// DOSETTA_PORTS paths, and that a choice really opens the link.
class tst_portlist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void listing_data();
    void listing();
    void selectPort_data();
    void selectPort();
    void systemPortReportsItsDescription();
    void currentRowAgainEmitsNothing();
    void keyboardFocusChoosesNoPort();
    void refreshKeepsTheOpenPort();
    void environmentPathsOpenTheLink();

    // Stable names and hot-plug
    void byIdFolderIsListed_data();
    void byIdFolderIsListed();
    void hotPlugIsFollowed();
    void storedPortIsChosenWhenItAppears();

private:
    bool collationDiffers = false;
};

void tst_portlist::initTestCase()
{
    qRegisterMetaType<QSerialPortInfo>("QSerialPortInfo");
    // A locale whose collation differs from plain string order, set before anything collates:
    // en_US puts "ttymxc0" before "ttyUSB0" (case folded first), plain order the other way round.
    // Qt collates with ICU, whose data needs no locale installed on the system.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    collationDiffers =
        QString::localeAwareCompare(QStringLiteral("ttymxc0"), QStringLiteral("ttyUSB0")) < 0;
}

void tst_portlist::cleanup()
{
    PortCatalog::setSource({});
    qunsetenv("DOSETTA_PORTS");
    qunsetenv("DOSETTA_BY_ID_DIR");
}

void tst_portlist::listing_data()
{
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("COM10, COM2, COM1 in plain string order")
        << QStringList{"COM10", "COM2", "COM1"} << QStringList{"COM1", "COM10", "COM2"};
    QTest::newRow("same name twice: both listed")
        << QStringList{"COM2", "COM1", "COM2"} << QStringList{"COM1", "COM2", "COM2"};
    QTest::newRow("paths sort with the names") << QStringList{"ttyUSB0", "/dev/pts/4", "COM3"}
                                               << QStringList{"/dev/pts/4", "COM3", "ttyUSB0"};
    QTest::newRow("nothing reported: empty list") << QStringList{} << QStringList{};
    QTest::newRow("ttyUSB0 before ttymxc0 whatever the locale")
        << QStringList{"ttymxc0", "ttyUSB0", "ttyS1", "ttyS10", "ttyACM0"}
        << QStringList{"ttyACM0", "ttyS1", "ttyS10", "ttyUSB0", "ttymxc0"};
}

void tst_portlist::listing()
{
    QFETCH(QStringList, reported);
    QFETCH(QStringList, shown);
    if (QByteArray(QTest::currentDataTag()).startsWith("ttyUSB0"))
        QVERIFY2(collationDiffers, "this Qt collates ttymxc0 and ttyUSB0 in plain order (no "
                                   "ICU): no locale here orders them differently");

    PortCatalog::setSource([reported] {
        QList<PortCatalog::Entry> entries;
        for (const QString &name : reported)
            entries << listed(name, "/dev/" + name);
        return entries;
    });
    CommDialogue list;
    QCOMPARE(rows(list), shown);
    QCOMPARE(list.currentRow(), -1);
}

void tst_portlist::selectPort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("paths"); // emitted

    QTest::newRow("stored name selects its row") << "COM2" << 2 << QStringList{"/dev/b"};
    QTest::newRow("duplicate: last row chosen, first description opened")
        << "COM1" << 1 << QStringList{"/dev/a"};
    QTest::newRow("unknown name changes nothing") << "COM9" << -1 << QStringList{};
    QTest::newRow("names are case-sensitive") << "com2" << -1 << QStringList{};
    QTest::newRow("empty name changes nothing") << "" << -1 << QStringList{};
}

void tst_portlist::selectPort()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(QStringList, paths);

    PortCatalog::setSource([] {
        return QList<PortCatalog::Entry>{listed("COM1", "/dev/a"), listed("COM2", "/dev/b"),
                                         listed("COM1", "/dev/c")};
    });
    CommDialogue list;
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    QSignalSpy portSpy(&list, &CommDialogue::comPortChange);

    list.selectPort(name);
    QCOMPARE(list.currentRow(), row);
    QStringList emitted;
    for (const auto &args : pathSpy)
        emitted << args.at(0).toString();
    QCOMPARE(emitted, paths);
    QCOMPARE(portSpy.count(), 0);
}

void tst_portlist::systemPortReportsItsDescription()
{
    const QList<PortCatalog::Entry> system = PortCatalog::systemPorts();
    QVERIFY2(!system.isEmpty(), "this machine reports no serial ports to describe");
    const PortCatalog::Entry port = system.first();
    PortCatalog::setSource([port] { return QList<PortCatalog::Entry>{port, port}; });

    CommDialogue list;
    QSignalSpy portSpy(&list, &CommDialogue::comPortChange);
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    list.selectPort(port.name);
    QCOMPARE(portSpy.count(), 1);
    QCOMPARE(pathSpy.count(), 0);
    const auto info = portSpy.first().at(0).value<QSerialPortInfo>();
    QCOMPARE(info.portName(), port.info.portName());
    QCOMPARE(info.systemLocation(), port.info.systemLocation());
}

void tst_portlist::currentRowAgainEmitsNothing()
{
    PortCatalog::setSource([] {
        return QList<PortCatalog::Entry>{listed("COM1", "/dev/a"), listed("COM2", "/dev/b")};
    });
    CommDialogue list;
    list.resize(200, 120);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);

    auto click = [&](int row) {
        const QRect r = list.visualItemRect(list.item(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    };
    click(0);
    QCOMPARE(pathSpy.count(), 1);
    click(0);
    list.selectPort("COM1");
    QCOMPARE(pathSpy.count(), 1);
    click(1);
    QCOMPARE(pathSpy.count(), 2);
    QCOMPARE(pathSpy.last().at(0).toString(), QString("/dev/b"));
}

void tst_portlist::keyboardFocusChoosesNoPort()
{
    PortCatalog::setSource([] {
        return QList<PortCatalog::Entry>{listed("COM1", "/dev/a"), listed("COM2", "/dev/b")};
    });
    QWidget window;
    QLineEdit before(&window);
    CommDialogue list(&window);
    list.move(0, 40);
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);

    list.setFocus(Qt::TabFocusReason);
    QVERIFY(list.hasFocus());
    QCOMPARE(list.currentRow(), -1);
    list.refreshPorts();
    before.setFocus(Qt::TabFocusReason);
    list.setFocus(Qt::TabFocusReason);
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(pathSpy.count(), 0);
}

void tst_portlist::refreshKeepsTheOpenPort()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    const QString path = peer.slavePath();
    PortCatalog::setSource([path] {
        return QList<PortCatalog::Entry>{listed("COM3", path), listed("COM1", "/dev/a")};
    });
    CommDialogue list;
    Communication link;
    connect(&list, &CommDialogue::comPortPathChange, &link, &Communication::setCommPortName);
    list.selectPort("COM3");
    QVERIFY(link.portOpen);
    const QString openPort = link.portName();
    QVERIFY2(path.endsWith(openPort), qPrintable(openPort));

    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    QSignalSpy portSpy(&list, &CommDialogue::comPortChange);
    list.refreshPorts();
    QCOMPARE(pathSpy.count(), 0);
    QCOMPARE(portSpy.count(), 0);
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(rows(list), (QStringList{"COM1", "COM3"}));
    QVERIFY(link.portOpen);
    QCOMPARE(link.portName(), openPort);
    std::string frame = "\x02"
                        "01?DV\x03";
    QVERIFY(link.sendFrame(frame));
    QVERIFY(peer.waitForFrames(1, 2000));

    // The list still reports choices after a refresh.
    list.selectPort("COM3");
    QCOMPARE(pathSpy.count(), 1);
}

void tst_portlist::environmentPathsOpenTheLink()
{
    PtyPeer first;
    PtyPeer second;
    QVERIFY(first.isOpen() && second.isOpen());
    qputenv("DOSETTA_PORTS", QFile::encodeName(first.slavePath() + "::" + second.slavePath()));

    CommDialogue list; // the real scan: system ports and the listed paths
    const QStringList shown = rows(list);
    QVERIFY2(shown.contains(first.slavePath()), qPrintable(shown.join(',')));
    QVERIFY2(shown.contains(second.slavePath()), qPrintable(shown.join(',')));
    QCOMPARE(shown.count(QString()), 0); // the empty field between the colons is no port

    Communication link;
    connect(&list, &CommDialogue::comPortPathChange, &link, &Communication::setCommPortName);
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    list.selectPort(second.slavePath());
    QCOMPARE(pathSpy.count(), 1);
    QCOMPARE(pathSpy.first().at(0).toString(), second.slavePath());
    QVERIFY(link.portOpen);

    // The link really talks on that device.
    std::string frame = "\x02"
                        "01?DV\x03";
    link.sendFrame(frame);
    QVERIFY(second.waitForFrames(1, 2000));
    QCOMPARE(first.framesReceived(), 0);
}

void tst_portlist::byIdFolderIsListed_data()
{
    // The links udev makes for common adapters, and how each is shown.
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("shown"); // before " (<device>)"

    QTest::newRow("FTDI") << "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
                          << "FTDI FT232R USB UART A50285BI";
    QTest::newRow("second port of a dual adapter") << "usb-FTDI_Dual_RS232-HS-if01-port0"
                                                   << "FTDI Dual RS232-HS";
    QTest::newRow("CDC device without a port number")
        << "usb-Arduino__www.arduino.cc__0043_75735323-if00"
        << "Arduino www.arduino.cc 0043 75735323";
}

void tst_portlist::byIdFolderIsListed()
{
    QFETCH(QString, link);
    QFETCH(QString, shown);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QTemporaryDir byId;
    const QString stable = byId.filePath(link);
    QVERIFY(QFile::link(peer.slavePath(), stable));
    // Left behind by an adapter that is gone: not listed.
    QVERIFY(QFile::link(byId.filePath("gone"), byId.filePath("usb-Gone_0001-if00-port0")));
    qputenv("DOSETTA_BY_ID_DIR", QFile::encodeName(byId.path()));

    CommDialogue list;
    const QString text = shown + " (" + peer.slavePath().mid(5) + ")";
    QStringList stableRows;
    for (const PortCatalog::Entry &entry : list.ports) {
        if (entry.location.startsWith(byId.path()))
            stableRows << entry.name;
    }
    QCOMPARE(stableRows, QStringList{text});

    // Chosen by its path, and found again by it.
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    list.selectPort(stable);
    QCOMPARE(list.currentItem()->text(), text);
    QCOMPARE(pathSpy.count(), 1);
    QCOMPARE(pathSpy.first().at(0).toString(), stable);
}

void tst_portlist::hotPlugIsFollowed()
{
    // Refreshed once a second while on show: a change is listed within 2 s.
    constexpr int FollowMs = 2000;
    PtyPeer chosen;
    PtyPeer other;
    QVERIFY(chosen.isOpen() && other.isOpen());
    QTemporaryDir byId;
    qputenv("DOSETTA_BY_ID_DIR", QFile::encodeName(byId.path()));
    const QString chosenLink = byId.filePath("usb-Pump_Line_A-if00-port0");
    const QString otherLink = byId.filePath("usb-Spare_B-if00-port0");
    QVERIFY(QFile::link(chosen.slavePath(), chosenLink));

    CommDialogue list;
    Communication link;
    connect(&list, &CommDialogue::comPortPathChange, &link, &Communication::setCommPortName);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.selectPort(chosenLink);
    QVERIFY(link.portOpen);
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    auto listed = [&list](const QString &prefix) {
        for (const QString &row : rows(list))
            if (row.startsWith(prefix))
                return row;
        return QString();
    };
    const QString chosenRow = "Pump Line A (" + chosen.slavePath().mid(5) + ")";

    // Plugged in, then pulled out: the choice and the open link stay as they are.
    QVERIFY(QFile::link(other.slavePath(), otherLink));
    QTRY_VERIFY_WITH_TIMEOUT(!listed("Spare B").isEmpty(), FollowMs);
    QCOMPARE(list.currentItem()->text(), chosenRow);
    QVERIFY(QFile::remove(otherLink));
    QTRY_VERIFY_WITH_TIMEOUT(listed("Spare B").isEmpty(), FollowMs);
    QCOMPARE(list.currentItem()->text(), chosenRow);

    // The chosen adapter pulled out stays listed and chosen; back under another device name,
    // its row follows the new name.
    QVERIFY(QFile::remove(chosenLink));
    QTest::qWait(FollowMs);
    QCOMPARE(list.currentItem()->text(), chosenRow);
    QVERIFY(QFile::link(other.slavePath(), chosenLink));
    const QString movedRow = "Pump Line A (" + other.slavePath().mid(5) + ")";
    QTRY_COMPARE_WITH_TIMEOUT(listed("Pump Line A"), movedRow, FollowMs);
    QCOMPARE(list.currentItem()->text(), movedRow);
    QCOMPARE(pathSpy.count(), 0);
    QVERIFY(link.portOpen);
    QCOMPARE(link.portName(), chosenLink);

    // Not followed while hidden (the tab is not on show); caught up when shown again.
    list.hide();
    QVERIFY(QFile::link(chosen.slavePath(), otherLink));
    QTest::qWait(FollowMs);
    QVERIFY(listed("Spare B").isEmpty());
    list.show();
    QVERIFY(!listed("Spare B").isEmpty());
    QCOMPARE(pathSpy.count(), 0);
}

void tst_portlist::storedPortIsChosenWhenItAppears()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QTemporaryDir byId;
    qputenv("DOSETTA_BY_ID_DIR", QFile::encodeName(byId.path()));
    const QString stable = byId.filePath("usb-Pump_Line_A-if00-port0");

    CommDialogue list;
    Communication link;
    connect(&list, &CommDialogue::comPortPathChange, &link, &Communication::setCommPortName);
    QSignalSpy pathSpy(&list, &CommDialogue::comPortPathChange);
    // At start-up, before the adapter is plugged in; the tab is not on show.
    list.selectPort(stable);
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(list.wantedPort(), stable);

    QVERIFY(QFile::link(peer.slavePath(), stable));
    QTRY_COMPARE_WITH_TIMEOUT(pathSpy.count(), 1, 2000);
    QCOMPARE(pathSpy.first().at(0).toString(), stable);
    QVERIFY(link.portOpen);
    QVERIFY(list.wantedPort().isEmpty());
}

QTEST_MAIN(tst_portlist)
#include "tst_portlist.moc"
