// The two traffic views of the communication tab: real exchanges over a pseudo-terminal through
// the logging command stack, and the drawing rules driven line by line.

#include "BusinessLogic/Communicate/SetInvalidLRC.h"
#include "BusinessLogic/GetVolume.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "BusinessLogic/Start.h"
#include "PtyPeer.h"
#include "TestFrames.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"
#include "ui/mainForm.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using BusinessLogic::InvalidReason;
using Reasons = std::vector<InvalidReason>;

namespace {

const int stampLength = 12; // "09:05:07:042"

QTextBlock lastBlock(QTextEdit *view)
{
    return view->document()->lastBlock();
}

// Colour of the character at a position of the last paragraph.
QColor colourAt(QTextEdit *view, int position)
{
    const QTextBlock block = lastBlock(view);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + position + 1);
    return cursor.charFormat().foreground().color();
}

// Width of the escape the log gives the last byte of a frame.
int markWidthOf(char last)
{
    return last >= '0' && last <= 'z' ? 1 : 6;
}

} // namespace

class tst_TrafficView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void exchange_data();
    void exchange();
    void markColour_data();
    void markColour();
    void receivedViewFollowsTheNewestLine();
    void viewFollowsTheNewestLine_data();
    void viewFollowsTheNewestLine();
    void closedPortShowsNoBareStamps();
    void oldestParagraphDropped_data();
    void oldestParagraphDropped();
    void clearAllEmptiesBothViews();
    void lineNoiseIsShownAsText();
    void missingLineIsIgnored();

private:
    QTextEdit *view(const char *name) { return window->findChild<QTextEdit *>(name); }

    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<PtyPeer> windowLine;
    std::unique_ptr<Communication> link;
    std::unique_ptr<PumpCore> core;
    std::unique_ptr<ProgramRunner> runner;
    BusinessLogic::LoggingCommandStack *stack = nullptr;
    std::unique_ptr<mainForm> window;
};

void tst_TrafficView::init()
{
    peer = std::make_unique<PtyPeer>();
    QVERIFY(peer->isOpen());
    link = std::make_unique<Communication>();
    link->setCommPortName(peer->slavePath());
    QVERIFY(link->portOpen);
    // The window draws its core's stack; the commands here run on the test's own link. The
    // core's link is open too (on a line of its own, which nothing polls), as the program's is
    // whenever it exchanges frames.
    core = std::make_unique<PumpCore>(PumpCore::Options{false});
    windowLine = std::make_unique<PtyPeer>();
    QVERIFY(windowLine->isOpen());
    core->link().setCommPortName(windowLine->slavePath());
    QVERIFY(core->link().portOpen);
    stack = &core->stack();
    runner = std::make_unique<ProgramRunner>(*core);
    window = std::make_unique<mainForm>(*core, *runner);
}

void tst_TrafficView::cleanup()
{
    window.reset();
    stack = nullptr;
    runner.reset();
    core.reset();
    link.reset();
    peer.reset();
    windowLine.reset();
}

// ---- whole exchanges

void tst_TrafficView::exchange_data()
{
    QTest::addColumn<bool>("query");
    QTest::addColumn<bool>("invalidLrcMode");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QColor>("txMark");
    QTest::addColumn<QColor>("rxMark");
    QTest::addColumn<int>("rxMarkWidth");

    const QColor green(Qt::darkGreen);
    const QColor red(Qt::red);
    const QByteArray ack = QByteArray::fromStdString(TestFrames::ack());
    const QByteArray nak = QByteArray::fromStdString(TestFrames::nak());
    const std::string data = TestFrames::frame("00012500");

    QTest::newRow("start acknowledged: both checks dark green")
        << false << false << false << ack << green << green << 6;
    QTest::newRow("invalid-LRC test mode: sent check red")
        << false << true << false << ack << red << green << 6;
    QTest::newRow("NAK: received mark magenta")
        << false << false << false << nak << green << QColor(Qt::magenta) << 6;
    QTest::newRow("no answer: the lone blank red")
        << false << false << true << QByteArray() << green << red << 1;
    QTest::newRow("query answered with a valid frame")
        << true << false << false << QByteArray::fromStdString(data) << green << green
        << markWidthOf(data.back());
    QTest::newRow("query answer with a wrong check character")
        << true << false << false << QByteArray::fromStdString(TestFrames::body("00012500") + "?")
        << green << red << 1;
}

void tst_TrafficView::exchange()
{
    QFETCH(bool, query);
    QFETCH(bool, invalidLrcMode);
    QFETCH(bool, silent);
    QFETCH(QByteArray, reply);
    QFETCH(QColor, txMark);
    QFETCH(QColor, rxMark);
    QFETCH(int, rxMarkWidth);

    BusinessLogic::Start start(link.get());
    BusinessLogic::GetVolume getVolume(link.get());
    // The test mode is switched as the operator does it, through its command (not logged).
    BusinessLogic::Communicate::SetInvalidLRC setInvalidLrc(link.get());
    stack->push(&setInvalidLrc, invalidLrcMode ? 1 : 0, false);
    stack->ExecuteCommand();
    peer->queueReply(PtyPeer::Reply{reply.toStdString(), 0, 0, silent});
    stack->push(query ? static_cast<BusinessLogic::Command *>(&getVolume) : &start, 0, true);
    stack->ExecuteCommand();

    QTextEdit *tx = view("textEditTxData");
    QTextEdit *rx = view("textEditRxData");
    QCOMPARE(tx->document()->blockCount(), 1);
    QCOMPARE(rx->document()->blockCount(), 1);
    const QString txLine = lastBlock(tx).text();
    const QString rxLine = lastBlock(rx).text();
    QVERIFY(txLine.contains(query ? "00?DV" : "00KY1"));
    if (silent)
        QCOMPARE(rxLine.size(), stampLength + 1);

    for (QTextEdit *v : {tx, rx}) {
        const QString line = lastBlock(v).text();
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d ").match(line).hasMatch(),
                 qPrintable(line));
        for (int i = 0; i < stampLength; ++i)
            QCOMPARE(colourAt(v, i), QColor(Qt::blue));
    }
    // The sent check character is always escaped or plain; either way the mark covers it.
    const int txMarkWidth = txLine.endsWith('\'') ? 6 : 1;
    for (int i = stampLength; i < txLine.size() - txMarkWidth; ++i)
        QCOMPARE(colourAt(tx, i), QColor(Qt::black));
    for (int i = txLine.size() - txMarkWidth; i < txLine.size(); ++i)
        QCOMPARE(colourAt(tx, i), txMark);
    for (int i = stampLength; i < rxLine.size() - rxMarkWidth; ++i)
        QCOMPARE(colourAt(rx, i), QColor(Qt::black));
    for (int i = rxLine.size() - rxMarkWidth; i < rxLine.size(); ++i)
        QCOMPARE(colourAt(rx, i), rxMark);
}

// ---- drawing rules, one line at a time

void tst_TrafficView::markColour_data()
{
    QTest::addColumn<bool>("received");
    QTest::addColumn<Reasons>("reasons");
    QTest::addColumn<QColor>("colour");

    using BusinessLogic::ACK;
    using BusinessLogic::InvalidLRC;
    using BusinessLogic::NAK;
    QTest::newRow("sent, correct") << false << Reasons{} << QColor(Qt::darkGreen);
    QTest::newRow("sent, wrong check character") << false << Reasons{InvalidLRC} << QColor(Qt::red);
    QTest::newRow("sent, other reason leaves it black")
        << false << Reasons{ACK} << QColor(Qt::black);
    QTest::newRow("received, correct frame") << true << Reasons{} << QColor(Qt::darkGreen);
    QTest::newRow("received, ACK") << true << Reasons{ACK} << QColor(Qt::darkGreen);
    QTest::newRow("received, NAK") << true << Reasons{NAK} << QColor(Qt::magenta);
    QTest::newRow("received, no valid answer") << true << Reasons{InvalidLRC} << QColor(Qt::red);
    QTest::newRow("received, the last reason wins")
        << true << Reasons{NAK, InvalidLRC} << QColor(Qt::red);
}

void tst_TrafficView::markColour()
{
    QFETCH(bool, received);
    QFETCH(Reasons, reasons);
    QFETCH(QColor, colour);

    QTextEdit *v = view(received ? "textEditRxData" : "textEditTxData");
    for (const char *text : {"09:05:07:042 '/002'01KY1'/003''/035'", "09:05:07:043 '/002'07A"}) {
        std::string line = text;
        const std::vector<int> positions(reasons.size(), int(line.size()));
        if (received) {
            window->formatRawDataRxPos(positions);
            window->formatRawDataRxReasons(reasons);
            window->displayRawDataRx(&line);
        } else {
            window->formatRawDataTxPos(positions);
            window->formatRawDataTxReasons(reasons);
            window->displayRawDataTx(&line);
        }
        const int width = line.back() == '\'' ? 6 : 1;
        const int size = int(line.size());
        QCOMPARE(lastBlock(v).text(), QString::fromStdString(line));
        QCOMPARE(colourAt(v, size - width - 1), QColor(Qt::black));
        for (int i = size - width; i < size; ++i)
            QCOMPARE(colourAt(v, i), colour);
    }
    QCOMPARE(v->document()->blockCount(), 2);
}

void tst_TrafficView::receivedViewFollowsTheNewestLine()
{
    QTextEdit *rx = view("textEditRxData");
    std::string line = "09:05:07:042 '/006'";
    window->formatRawDataRxReasons({BusinessLogic::ACK});
    for (int i = 0; i < 3; ++i) {
        rx->moveCursor(QTextCursor::Start);
        window->displayRawDataRx(&line);
        QVERIFY(rx->textCursor().atEnd());
    }
}

void tst_TrafficView::viewFollowsTheNewestLine_data()
{
    QTest::addColumn<bool>("received");
    QTest::addColumn<bool>("scrolledBack");
    QTest::newRow("transmitted view at the bottom follows") << false << false;
    QTest::newRow("received view at the bottom follows") << true << false;
    QTest::newRow("transmitted view scrolled back stays") << false << true;
    QTest::newRow("received view scrolled back stays") << true << true;
}

void tst_TrafficView::viewFollowsTheNewestLine()
{
    QFETCH(bool, received);
    QFETCH(bool, scrolledBack);
    QTextEdit *v = view(received ? "textEditRxData" : "textEditTxData");
    const auto show = [&](int i) {
        std::string line = "09:05:07:042 line" + std::to_string(i);
        if (received)
            window->displayRawDataRx(&line);
        else
            window->displayRawDataTx(&line);
    };
    // Lines come in while the operator looks at another tab.
    window->show();
    window->findChild<QPushButton *>("buttonAdvanced")->click();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    for (int i = 1; i <= 60; ++i)
        show(i);
    window->findChild<QTabWidget *>("TabsExtendedSettings")
        ->setCurrentWidget(window->findChild<QWidget *>("TabCommunication"));
    QTRY_VERIFY(v->isVisible());
    QScrollBar *bar = v->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    if (scrolledBack)
        bar->setValue(0);
    for (int i = 61; i <= 80; ++i) {
        show(i);
        QApplication::processEvents();
    }
    if (scrolledBack) {
        QCOMPARE(bar->value(), 0);
        return;
    }
    QCOMPARE(bar->value(), bar->maximum());
    // The newest line lies inside the view.
    QTextCursor newest(v->document()->lastBlock());
    QVERIFY(v->viewport()->rect().contains(v->cursorRect(newest)));
}

void tst_TrafficView::closedPortShowsNoBareStamps()
{
    core->link().setCommPortName(QStringLiteral("/dev/no-such-port"));
    QVERIFY(!core->link().portOpen);
    BusinessLogic::GetVolume getVolume(link.get());
    QTextEdit *rx = view("textEditRxData");
    peer->queueReply(PtyPeer::Reply{std::string(), 0, 0, true});
    stack->push(&getVolume, 0, true);
    stack->ExecuteCommand();
    QVERIFY(rx->document()->isEmpty());
    // What does come back is shown.
    peer->queueReply(PtyPeer::Reply{TestFrames::frame("00012500"), 0, 0, false});
    stack->push(&getVolume, 0, true);
    stack->ExecuteCommand();
    QCOMPARE(rx->document()->blockCount(), 1);
    QVERIFY2(lastBlock(rx).text().contains("00012500"), qPrintable(lastBlock(rx).text()));
}

void tst_TrafficView::oldestParagraphDropped_data()
{
    QTest::addColumn<bool>("received");
    QTest::newRow("transmitted view") << false;
    QTest::newRow("received view") << true;
}

void tst_TrafficView::oldestParagraphDropped()
{
    QFETCH(bool, received);
    QTextEdit *v = view(received ? "textEditRxData" : "textEditTxData");
    for (int i = 1; i <= 501; ++i) {
        std::string line = "09:05:07:042 line" + std::to_string(i);
        if (received)
            window->displayRawDataRx(&line);
        else
            window->displayRawDataTx(&line);
        if (i == 500)
            QCOMPARE(v->document()->firstBlock().text(), QString("09:05:07:042 line1"));
    }
    QCOMPARE(v->document()->blockCount(), 500);
    QCOMPARE(v->document()->firstBlock().text(), QString("09:05:07:042 line2"));
    QCOMPARE(lastBlock(v).text(), QString("09:05:07:042 line501"));
}

void tst_TrafficView::clearAllEmptiesBothViews()
{
    std::string line = "09:05:07:042 '/006'";
    window->displayRawDataTx(&line);
    window->displayRawDataRx(&line);
    window->findChild<QPushButton *>("buttonClearAll")->click();
    QVERIFY(view("textEditTxData")->document()->isEmpty());
    QVERIFY(view("textEditRxData")->document()->isEmpty());
}

void tst_TrafficView::lineNoiseIsShownAsText()
{
    // '<' and '>' lie inside the printable range the log leaves unescaped.
    std::string line = "09:05:07:042 <b>x</b>&amp;";
    window->formatRawDataRxReasons({BusinessLogic::InvalidLRC});
    window->displayRawDataRx(&line);
    QCOMPARE(view("textEditRxData")->toPlainText(), QString::fromStdString(line));
}

void tst_TrafficView::missingLineIsIgnored()
{
    window->displayRawDataTx(nullptr);
    window->displayRawDataRx(nullptr);
    QVERIFY(view("textEditTxData")->document()->isEmpty());
    QVERIFY(view("textEditRxData")->document()->isEmpty());
}

QTEST_MAIN(tst_TrafficView)
#include "tst_trafficview.moc"
