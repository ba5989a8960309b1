#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "PtyPeer.h"
#include "RecordingCommand.h"
#include "TestFrames.h"
#include "serial/Communication.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <ctime>
#include <memory>
#include <set>

using BusinessLogic::CommandSpezifier;
using BusinessLogic::InvalidReason;
using Reasons = std::vector<BusinessLogic::InvalidReason>;
using Positions = std::vector<int>;
using Tickets = std::vector<BusinessLogic::Ticket>;
Q_DECLARE_METATYPE(Tickets)

namespace {

QString lineText(const std::string &s)
{
    return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}

} // namespace

// The command queue and its traffic-log lines: what runs, in which order, with which value, and
// what the two logged lines and fault lists say about each exchange.
class tst_queuelog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Queue
    void emptyTickEmitsNothing();
    void oneEntryPerTickInOrder_data();
    void oneEntryPerTickInOrder();
    void logFlag_data();
    void logFlag();
    void clearKeepsPendingText();
    void clearFromInsideTheLogging_data();
    void clearFromInsideTheLogging();
    void handTypedTextOnTheWire();
    void operatorLaneGoesFirst_data();
    void operatorLaneGoesFirst();
    void stopsJoinAndPollsKeepTheirTurn_data();
    void stopsJoinAndPollsKeepTheirTurn();
    void removeQueries_data();
    void removeQueries();
    void oneExchangePerTickOnTheRealTimer();

    // Log lines
    void logLines_data();
    void logLines();
    void stampIsUtcWithMilliseconds();
    void faultListsComeBeforeTheirLine();

private:
    RecordingCommand *recorder(const QString &name) { return recorders.at(name).get(); }

    QStringList journal;
    std::unique_ptr<Communication> idleLink;
    std::map<QString, std::unique_ptr<RecordingCommand>> recorders;
};

void tst_queuelog::initTestCase()
{
    // A zone far from UTC, so a stamp taken in local time shows.
    qputenv("TZ", "Asia/Kathmandu");
    tzset();
    BusinessLogic::registerInvalidReasonMetaTypes();
    qRegisterMetaType<std::string *>("std::string*");
    qRegisterMetaType<Tickets>("std::vector<BusinessLogic::Ticket>");
}

void tst_queuelog::init()
{
    journal.clear();
    idleLink = std::make_unique<Communication>();
    recorders.clear();
    recorders["A"] =
        std::make_unique<RecordingCommand>(idleLink.get(), "A", CommandSpezifier::Start, &journal);
    recorders["B"] =
        std::make_unique<RecordingCommand>(idleLink.get(), "B", CommandSpezifier::Stop, &journal);
    recorders["C"] = std::make_unique<RecordingCommand>(idleLink.get(), "C",
                                                        CommandSpezifier::SetFlowRate, &journal);
    recorders["R"] = std::make_unique<RecordingCommand>(idleLink.get(), "R",
                                                        CommandSpezifier::SetVolume, &journal);
    recorders["T"] = std::make_unique<RecordingCommand>(
        idleLink.get(), "T", CommandSpezifier::SetDiscreteCommand, &journal);
}

void tst_queuelog::cleanup()
{
    recorders.clear();
    idleLink.reset();
}

void tst_queuelog::emptyTickEmitsNothing()
{
    BusinessLogic::LoggingCommandStack stack;
    QSignalSpy answers(&stack, &BusinessLogic::CommandStack::sendAnswer);
    QSignalSpy txLines(&stack, &BusinessLogic::CommandStack::sendLastCommand);
    QSignalSpy rxLines(&stack, &BusinessLogic::CommandStack::sendLastAnswer);
    QSignalSpy rxReasons(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidReasons);

    stack.ExecuteCommand();
    stack.ExecuteCommand();

    QCOMPARE(answers.count(), 0);
    QCOMPARE(txLines.count(), 0);
    QCOMPARE(rxLines.count(), 0);
    QCOMPARE(rxReasons.count(), 0);
    QVERIFY(journal.isEmpty());
}

void tst_queuelog::oneEntryPerTickInOrder_data()
{
    // Each push is "X value" (push) or "X=text" (the hand-typed text push).
    QTest::addColumn<QStringList>("pushes");
    QTest::addColumn<QStringList>("executions");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("A(1), B(2), A(3)")
        << QStringList{"A 1", "B 2", "A 3"} << QStringList{"A 1", "B 2", "A 3"}
        << QStringList{"A#1", "B#1", "A#2"};
    QTest::newRow("one object queued thrice keeps each value")
        << QStringList{"A 7", "A -4", "A 0"} << QStringList{"A 7", "A -4", "A 0"}
        << QStringList{"A#1", "A#2", "A#3"};
    QTest::newRow("two hand-typed commands send the second text")
        << QStringList{"T=first", "T=second"} << QStringList{"T second", "T second"}
        << QStringList{"T#1", "T#2"};
    QTest::newRow("hand-typed then value: the value stays its own")
        << QStringList{"T=01KY1", "A 12500"} << QStringList{"T 01KY1", "A 12500"}
        << QStringList{"T#1", "A#1"};
}

void tst_queuelog::oneEntryPerTickInOrder()
{
    QFETCH(QStringList, pushes);
    QFETCH(QStringList, executions);
    QFETCH(QStringList, answers);

    BusinessLogic::CommandStack stack;
    for (const QString &push : pushes) {
        const QString name = push.left(1);
        if (push.at(1) == QLatin1Char('='))
            stack.pushText(recorder(name), push.mid(2).toStdString());
        else
            stack.push(recorder(name), push.mid(2).toInt(), true);
    }
    QSignalSpy answerSpy(&stack, &BusinessLogic::CommandStack::sendAnswer);

    for (int tick = 0; tick < executions.size(); ++tick) {
        stack.ExecuteCommand();
        QCOMPARE(journal.size(), tick + 1);
        QCOMPARE(journal.last(), executions.at(tick));
        QCOMPARE(answerSpy.count(), tick + 1);
        const auto answer = answerSpy.last().at(0).value<Answer>();
        QCOMPARE(QString::fromStdString(answer.text), answers.at(tick));
        QCOMPARE(answer.commandId,
                 BusinessLogic::toInt(recorder(executions.at(tick).left(1))->spezifier()));
        QCOMPARE(stack.queuedCount(), static_cast<int>(executions.size()) - tick - 1);
    }
    stack.ExecuteCommand();
    QCOMPARE(journal.size(), executions.size());
    QCOMPARE(answerSpy.count(), executions.size());
}

void tst_queuelog::logFlag_data()
{
    QTest::addColumn<bool>("logFlag");
    QTest::addColumn<int>("lines");

    QTest::newRow("logged") << true << 1;
    QTest::newRow("not logged, still run and answered") << false << 0;
}

void tst_queuelog::logFlag()
{
    QFETCH(bool, logFlag);
    QFETCH(int, lines);

    BusinessLogic::LoggingCommandStack stack;
    QSignalSpy answers(&stack, &BusinessLogic::CommandStack::sendAnswer);
    QSignalSpy txLines(&stack, &BusinessLogic::CommandStack::sendLastCommand);
    QSignalSpy rxLines(&stack, &BusinessLogic::CommandStack::sendLastAnswer);
    QSignalSpy txReasons(&stack, &BusinessLogic::CommandStack::sendLastCommandInvalidReasons);
    QSignalSpy rxPositions(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidPositions);

    stack.push(recorder("A"), 5, logFlag);
    stack.ExecuteCommand();

    QCOMPARE(journal, QStringList{"A 5"});
    QCOMPARE(answers.count(), 1);
    QCOMPARE(txLines.count(), lines);
    QCOMPARE(rxLines.count(), lines);
    QCOMPARE(txReasons.count(), lines);
    QCOMPARE(rxPositions.count(), lines);
}

void tst_queuelog::clearKeepsPendingText()
{
    BusinessLogic::CommandStack stack;
    stack.pushText(recorder("T"), "kept");
    stack.push(recorder("A"), 1, true);
    stack.clear();
    QCOMPARE(stack.queuedCount(), 0);

    stack.ExecuteCommand();
    QVERIFY(journal.isEmpty());

    // The text slot survives the clear: the next text command sends it.
    stack.push(recorder("T"), 0, true);
    stack.ExecuteCommand();
    QCOMPARE(journal, QStringList{"T kept"});
}

void tst_queuelog::clearFromInsideTheLogging_data()
{
    QTest::addColumn<bool>("onReceivedLine");
    QTest::addColumn<bool>("pushAfterClear");
    QTest::addColumn<QStringList>("executions");

    QTest::newRow("clear while the transmitted line is drawn")
        << false << false << QStringList{"A 1"};
    QTest::newRow("clear while the received line is drawn") << true << false << QStringList{"A 1"};
    QTest::newRow("clear and push while the transmitted line is drawn")
        << false << true << QStringList{"A 1", "B 9"};
    QTest::newRow("clear and push while the received line is drawn")
        << true << true << QStringList{"A 1", "B 9"};
}

void tst_queuelog::clearFromInsideTheLogging()
{
    QFETCH(bool, onReceivedLine);
    QFETCH(bool, pushAfterClear);
    QFETCH(QStringList, executions);

    BusinessLogic::LoggingCommandStack stack;
    stack.push(recorder("A"), 1, true);
    stack.push(recorder("A"), 2, true); // cleared away before it runs
    bool cleared = false;
    auto clearOnce = [&] {
        if (cleared)
            return;
        cleared = true;
        stack.clear();
        if (pushAfterClear)
            stack.push(recorder("B"), 9, true);
    };
    if (onReceivedLine)
        connect(&stack, &BusinessLogic::CommandStack::sendLastAnswer, this, clearOnce);
    else
        connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this, clearOnce);
    QSignalSpy answers(&stack, &BusinessLogic::CommandStack::sendAnswer);
    Tickets dropped;
    connect(&stack, &BusinessLogic::CommandStack::entriesCleared, this,
            [&](const Tickets &t) { dropped.insert(dropped.end(), t.begin(), t.end()); });

    stack.ExecuteCommand();
    QVERIFY(cleared);
    QCOMPARE(answers.count(), 1);
    QCOMPARE(stack.queuedCount(), pushAfterClear ? 1 : 0);
    // Both entries were reported cleared, and the answer of the one on the wire is nobody's.
    QCOMPARE(dropped.size(), std::size_t(2));
    QCOMPARE(answers.first().first().value<Answer>().ticket, dropped.front());
    QVERIFY(answers.first().first().value<Answer>().outcome ==
            BusinessLogic::AnswerOutcome::Cleared);

    stack.ExecuteCommand();
    stack.ExecuteCommand();
    QCOMPARE(journal, executions);
    QCOMPARE(answers.count(), executions.size());
    QCOMPARE(stack.queuedCount(), 0);
}

void tst_queuelog::handTypedTextOnTheWire()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Communication link;
    link.setCommPortName(peer.slavePath());
    QVERIFY(link.portOpen);
    link.setAddress(1);
    BusinessLogic::CommandSet commands(&link);
    const auto table = commands.table();
    auto *discrete = table[static_cast<std::size_t>(toInt(CommandSpezifier::SetDiscreteCommand))];
    auto *start = table[static_cast<std::size_t>(toInt(CommandSpezifier::Start))];

    BusinessLogic::CommandStack stack;
    peer.queueReply(TestFrames::frame("1"));
    peer.queueReply(TestFrames::frame("2"));
    peer.queueReply(TestFrames::ack());
    stack.pushText(discrete, "?DV");
    stack.pushText(discrete, "?RV");
    stack.push(start, 0, true);
    stack.ExecuteCommand();
    stack.ExecuteCommand();
    stack.ExecuteCommand();

    QVERIFY(peer.waitForFrames(3, 2000));
    const std::string expected =
        TestFrames::frame("01?RV") + TestFrames::frame("01?RV") + TestFrames::frame("01KY1");
    QCOMPARE(lineText(peer.received()), lineText(expected));
}

void tst_queuelog::operatorLaneGoesFirst_data()
{
    // "X value" queues in the operator's lane, "X value p" in the poller's, "r" the network's and
    // "g" a program's; the pushes after "|" are given while the first entry is on the wire (its
    // sent line is being drawn), those after "@" when the stack first says a poll is due.
    QTest::addColumn<QStringList>("pushes");
    QTest::addColumn<QStringList>("executions");

    QTest::newRow("operator ahead of polls, each lane in its order")
        << QStringList{"A 1 p", "B 2", "A 3 p", "B 4", "T=typed"}
        << QStringList{"B 2", "B 4", "T typed", "A 1", "A 3"};
    QTest::newRow("given while a poll is on the wire: after it, before the next poll")
        << QStringList{"A 1 p", "A 2 p", "|", "B 9", "B 10"}
        << QStringList{"A 1", "B 9", "B 10", "A 2"};
    QTest::newRow("a program behind the operator and the network, ahead of polls")
        << QStringList{"A 1 p", "C 2 g", "R 3 r", "B 4", "C 5 g"}
        << QStringList{"B 4", "R 3", "C 2", "C 5", "A 1"};
    QTest::newRow("a request handed in as a poll is due goes ahead of that poll")
        << QStringList{"A 1 p", "B 2", "A 3 p", "@", "R 4 r"}
        << QStringList{"B 2", "R 4", "A 1", "A 3"};
}

void tst_queuelog::operatorLaneGoesFirst()
{
    QFETCH(QStringList, pushes);
    QFETCH(QStringList, executions);

    BusinessLogic::LoggingCommandStack stack;
    std::map<QString, BusinessLogic::Ticket> tickets; // by the execution it names
    const auto give = [&](const QString &push) {
        const QStringList f = push.split(QRegularExpression("[ =]"));
        RecordingCommand *command = recorder(f.at(0));
        tickets[f.at(0) + ' ' + f.at(1)] =
            push.at(1) == '=' ? stack.pushText(command, f.at(1).toStdString())
            : f.size() < 3    ? stack.push(command, f.at(1).toInt(), true)
            : f.at(2) == "r"  ? stack.pushRemote(command, f.at(1).toInt(), true)
            : f.at(2) == "g"  ? stack.pushProgram(command, f.at(1).toInt(), true)
                              : stack.pushPoll(command, f.at(1).toInt(), true);
    };
    int split = pushes.indexOf("|");
    int due = pushes.indexOf("@");
    for (const QString &push : pushes.mid(0, std::max(split, due)))
        give(push);
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this, [&] {
        const QStringList later = split < 0 ? QStringList() : pushes.mid(split + 1);
        split = -1;
        for (const QString &push : later)
            give(push);
    });
    connect(&stack, &BusinessLogic::CommandStack::pollDue, this, [&] {
        const QStringList later = due < 0 ? QStringList() : pushes.mid(due + 1);
        due = -1;
        for (const QString &push : later)
            give(push);
    });
    QSignalSpy answers(&stack, &BusinessLogic::CommandStack::sendAnswer);
    for (int tick = 0; tick < executions.size(); ++tick)
        stack.ExecuteCommand();
    QCOMPARE(journal, executions);
    QCOMPARE(stack.queuedCount(), 0);
    for (int i = 0; i < answers.count(); ++i) // each answer names the entry that ran
        QCOMPARE(answers.at(i).first().value<Answer>().ticket, tickets[executions.at(i)]);
}

void tst_queuelog::stopsJoinAndPollsKeepTheirTurn_data()
{
    // "S" is a Stop, "C value p" a poll; "~" waits until the polls queued so far are overdue.
    // While each of the first `flooded` exchanges is on the wire, three more Stops are given.
    QTest::addColumn<QStringList>("pushes");
    QTest::addColumn<int>("flooded");
    QTest::addColumn<QStringList>("executions");
    QTest::addColumn<int>("stopTickets");

    QTest::newRow("Stops given while one waits: one entry, one ticket")
        << QStringList{"C 1 p", "S", "S", "S"} << 0 << QStringList{"B 0", "C 1"} << 1;
    QTest::newRow("Stops given while one is on the wire: one more")
        << QStringList{"S"} << 2 << QStringList{"B 0", "B 0", "B 0"} << 3;
    QTest::newRow("a flood keeps the line from polls not yet overdue")
        << QStringList{"C 1 p", "S"} << 2 << QStringList{"B 0", "B 0", "B 0", "C 1"} << 3;
    QTest::newRow("first Stop at once, then an overdue poll behind each repeated Stop")
        << QStringList{"C 1 p", "C 2 p", "~", "S"} << 3
        << QStringList{"B 0", "C 1", "B 0", "C 2", "B 0"} << 3;
}

void tst_queuelog::stopsJoinAndPollsKeepTheirTurn()
{
    QFETCH(QStringList, pushes);
    QFETCH(int, flooded);
    QFETCH(QStringList, executions);
    QFETCH(int, stopTickets);

    BusinessLogic::LoggingCommandStack stack;
    std::set<BusinessLogic::Ticket> stops;
    const auto give = [&](const QString &push) {
        if (push == "~")
            QThread::msleep(BusinessLogic::CommandStack::PollOverdueMs + 20);
        else if (push == "S")
            stops.insert(stack.pushStop(recorder("B"), true));
        else
            stack.pushPoll(recorder(push.section(' ', 0, 0)), push.section(' ', 1, 1).toInt(),
                           true);
    };
    for (const QString &push : pushes)
        give(push);
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this, [&] {
        for (int i = 0; flooded > 0 && i < 3; ++i)
            give("S");
        --flooded;
    });
    QSignalSpy answers(&stack, &BusinessLogic::CommandStack::sendAnswer);
    for (int tick = 0; tick < executions.size() + 1; ++tick)
        stack.ExecuteCommand();
    QCOMPARE(journal, executions);
    QCOMPARE(int(stops.size()), stopTickets);
    // Every Stop given is answered: each ticket handed out, once.
    std::multiset<BusinessLogic::Ticket> answered;
    for (const QList<QVariant> &answer : answers) {
        const Answer a = answer.first().value<Answer>();
        if (a.commandId == toInt(CommandSpezifier::Stop))
            answered.insert(a.ticket);
    }
    QCOMPARE(answered, std::multiset<BusinessLogic::Ticket>(stops.begin(), stops.end()));
}

void tst_queuelog::removeQueries_data()
{
    // Entries: lane "o" (operator) or "p" (poller), then "s" (setting) or "q" (query).
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("pollLane");
    QTest::addColumn<QString>("left"); // the entries' indexes, in execution order

    QTest::newRow("operator's lane: queries go, settings stay in order, polls stay")
        << QStringList{"os", "oq", "os", "oq", "pq"} << false << "0 2 4";
    QTest::newRow("poller's lane: polls go, the operator's query stays")
        << QStringList{"pq", "oq", "pq"} << true << "1";
    QTest::newRow("nothing to remove") << QStringList{"os", "ps"} << false << "0 1";
}

void tst_queuelog::removeQueries()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, pollLane);
    QFETCH(QString, left);

    BusinessLogic::CommandSet commands(idleLink.get());
    const auto table = commands.table();
    BusinessLogic::CommandStack stack;
    Tickets queries; // of the lane that is cleaned, in queue order
    for (int i = 0; i < entries.size(); ++i) {
        const bool query = entries[i].at(1) == 'q';
        auto *command = table[std::size_t(
            toInt(query ? CommandSpezifier::ExecuteCommCheck : CommandSpezifier::SetVolume))];
        const bool poll = entries[i].at(0) == 'p';
        const BusinessLogic::Ticket ticket =
            poll ? stack.pushPoll(command, i, true) : stack.push(command, i, true);
        if (query && poll == pollLane)
            queries.push_back(ticket);
    }
    QSignalSpy reported(&stack, &BusinessLogic::CommandStack::entriesCleared);
    stack.removeQueries(pollLane ? BusinessLogic::Lane::Poll : BusinessLogic::Lane::Operator);
    QStringList values;
    for (const BusinessLogic::QueueEntry &entry : stack.queuedEntries())
        values << QString::number(entry.value);
    QCOMPARE(values.join(' '), left);
    // The removed entries are reported, once: they will never be answered.
    QCOMPARE(reported.count(), queries.empty() ? 0 : 1);
    if (!queries.empty())
        QCOMPARE(reported.first().first().value<Tickets>(), queries);
}

void tst_queuelog::oneExchangePerTickOnTheRealTimer()
{
    BusinessLogic::CommandStack stack;
    QTimer *executor = stack.findChild<QTimer *>();
    QVERIFY(executor != nullptr && executor->isActive());
    QString events; // "A" per answer, "T" per tick after the tick's own work
    connect(&stack, &BusinessLogic::CommandStack::sendAnswer, this, [&] { events += 'A'; });
    connect(executor, &QTimer::timeout, this, [&] { events += 'T'; });
    for (int i = 0; i < 20; ++i)
        stack.push(recorder("A"), i, false);
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(journal.size(), 20, 5000);
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(50);
    QVERIFY2(events.startsWith(QString("AT").repeated(20)) && events.count('A') == 20,
             qPrintable(events));
    // 19 intervals of 10 ms; Qt may fire a coarse timer up to 5 % early.
    QVERIFY2(elapsed >= 170, qPrintable(QString::number(elapsed)));
}

void tst_queuelog::logLines_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("testMode");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("txFrame");
    QTest::addColumn<QString>("rxFrame");
    QTest::addColumn<Reasons>("txReasons");
    QTest::addColumn<Positions>("txPositions");
    QTest::addColumn<Reasons>("rxReasons");

    const int start = toInt(CommandSpezifier::Start);
    const int getVolume = toInt(CommandSpezifier::GetVolume);
    const QString startFrame = "'/002'01KY1'/003''/035'";
    const QString queryFrame = "'/002'01?DV'/003''/045'";

    QTest::newRow("start answered by ACK")
        << start << "" << QByteArray("\x06") << startFrame << "'/006'" << Reasons{} << Positions{}
        << Reasons{BusinessLogic::ACK};
    QTest::newRow("start answered by NAK")
        << start << "" << QByteArray("\x15") << startFrame << "'/021'" << Reasons{} << Positions{}
        << Reasons{BusinessLogic::NAK};
    QTest::newRow("start, silent pump: empty reception")
        << start << "" << QByteArray() << startFrame << "" << Reasons{} << Positions{}
        << Reasons{BusinessLogic::InvalidLRC};
    QTest::newRow("query answered by a correct frame")
        << getVolume << ""
        << QByteArray("\x02"
                      "00012500"
                      "\x03\x07")
        << queryFrame << "'/002'00012500'/003''/007'" << Reasons{} << Positions{} << Reasons{};
    QTest::newRow("query answered with a wrong check character")
        << getVolume << ""
        << QByteArray("\x02"
                      "00012500"
                      "\x03\x08")
        << queryFrame << "'/002'00012500'/003''/008'" << Reasons{} << Positions{}
        << Reasons{BusinessLogic::InvalidLRC};
    QTest::newRow("invalid-LRC test mode marks the sent check character")
        << start << "invalid" << QByteArray("\x06") << "'/002'01KY1'/003'v"
        << "'/006'" << Reasons{BusinessLogic::InvalidLRC} << Positions{8}
        << Reasons{BusinessLogic::ACK};
    QTest::newRow("unused-LRC test mode marks the sent U")
        << start << "unused" << QByteArray("\x06") << "'/002'01KY1'/003'U"
        << "'/006'" << Reasons{BusinessLogic::InvalidLRC} << Positions{8}
        << Reasons{BusinessLogic::ACK};
    QTest::newRow("high bytes after the ACK as unsigned codes")
        << start << "" << QByteArray("\x06\x80\xff\xc8") << startFrame << "'/006''/128''/255''/200'"
        << Reasons{} << Positions{} << Reasons{BusinessLogic::ACK};
    QTest::newRow("0 and z shown, / and { just outside escaped")
        << getVolume << ""
        << QByteArray("\x02"
                      "0 z{/"
                      "\x03"
                      "?")
        << queryFrame << "'/002'0'/032'z'/123''/047''/003'?" << Reasons{} << Positions{}
        << Reasons{};
}

void tst_queuelog::logLines()
{
    QFETCH(int, command);
    QFETCH(QString, testMode);
    QFETCH(QByteArray, reply);
    QFETCH(QString, txFrame);
    QFETCH(QString, rxFrame);
    QFETCH(Reasons, txReasons);
    QFETCH(Positions, txPositions);
    QFETCH(Reasons, rxReasons);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    Communication link;
    link.setCommPortName(peer.slavePath());
    QVERIFY(link.portOpen);
    link.setAddress(1);
    BusinessLogic::CommandSet commands(&link);
    const auto table = commands.table();

    BusinessLogic::LoggingCommandStack stack;
    // The test modes are switched by their own (local, unlogged) commands, as the window does.
    if (!testMode.isEmpty()) {
        const auto mode = testMode == "invalid" ? CommandSpezifier::SetInvalidLRC
                                                : CommandSpezifier::SetUnusedLRC;
        stack.push(table[static_cast<std::size_t>(toInt(mode))], 1, false);
        stack.ExecuteCommand();
    }
    QString txLine;
    QString rxLine;
    Reasons gotTxReasons;
    Positions gotTxPositions;
    Reasons gotRxReasons;
    Positions gotRxPositions;
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this,
            [&](std::string *line) { txLine = lineText(*line); });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswer, this,
            [&](std::string *line) { rxLine = lineText(*line); });
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommandInvalidReasons, this,
            [&](Reasons r) { gotTxReasons = std::move(r); });
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommandInvalidPositions, this,
            [&](Positions p) { gotTxPositions = std::move(p); });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidReasons, this,
            [&](Reasons r) { gotRxReasons = std::move(r); });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidPositions, this,
            [&](Positions p) { gotRxPositions = std::move(p); });

    if (reply.isEmpty())
        peer.queueReply(PtyPeer::Reply{{}, 0, 0, true});
    else
        peer.queueReply(reply.toStdString());
    stack.push(table[static_cast<std::size_t>(command)], 0, true);
    stack.ExecuteCommand();

    // "hh:mm:ss:mmm " and the escaped frame.
    QCOMPARE(txLine.mid(13), txFrame);
    QCOMPARE(rxLine.mid(13), rxFrame);
    QCOMPARE(txLine.at(12), QLatin1Char(' '));
    QCOMPARE(rxLine.at(12), QLatin1Char(' '));
    QCOMPARE(stack.txStampLength(), 12);
    QCOMPARE(stack.rxStampLength(), 12);
    QCOMPARE(gotTxReasons, txReasons);
    QCOMPARE(gotTxPositions, txPositions);
    QCOMPARE(gotRxReasons, rxReasons);
    // One position per reason; ACK and NAK are marked at 0.
    QCOMPARE(gotRxPositions.size(), gotRxReasons.size());
    for (std::size_t i = 0; i < gotRxReasons.size(); ++i) {
        if (gotRxReasons[i] != BusinessLogic::InvalidLRC)
            QCOMPARE(gotRxPositions[i], 0);
    }
}

void tst_queuelog::stampIsUtcWithMilliseconds()
{
    BusinessLogic::LoggingCommandStack stack;
    QString txLine;
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this,
            [&](std::string *line) { txLine = lineText(*line); });
    stack.push(recorder("A"), 1, true);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    stack.ExecuteCommand();

    const QRegularExpression stamp("^(\\d\\d):(\\d\\d):(\\d\\d):(\\d\\d\\d) $");
    const auto match = stamp.match(txLine.left(13));
    QVERIFY2(match.hasMatch(), qPrintable(txLine));
    const int ms = ((match.captured(1).toInt() * 60 + match.captured(2).toInt()) * 60 +
                    match.captured(3).toInt()) *
                       1000 +
                   match.captured(4).toInt();
    // Distance on the 24-hour circle, so a run across midnight still passes.
    const int day = 24 * 3600 * 1000;
    const int diff = std::abs(ms - before.time().msecsSinceStartOfDay());
    QVERIFY2(std::min(diff, day - diff) < 5000, qPrintable(txLine));
}

void tst_queuelog::faultListsComeBeforeTheirLine()
{
    BusinessLogic::LoggingCommandStack stack;
    QStringList order;
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommandInvalidPositions, this,
            [&] { order << "tx positions"; });
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommandInvalidReasons, this,
            [&] { order << "tx reasons"; });
    connect(&stack, &BusinessLogic::CommandStack::sendLastCommand, this,
            [&] { order << "tx line"; });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidPositions, this,
            [&] { order << "rx positions"; });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswerInvalidReasons, this,
            [&] { order << "rx reasons"; });
    connect(&stack, &BusinessLogic::CommandStack::sendLastAnswer, this,
            [&] { order << "rx line"; });
    connect(&stack, &BusinessLogic::CommandStack::sendAnswer, this, [&] { order << "answer"; });

    stack.push(recorder("B"), 0, true);
    stack.ExecuteCommand();

    QCOMPARE(order, (QStringList{"tx positions", "tx reasons", "tx line", "rx positions",
                                 "rx reasons", "rx line", "answer"}));
}

QTEST_GUILESS_MAIN(tst_queuelog)
#include "tst_queuelog.moc"
