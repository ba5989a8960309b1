#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/CommandStack.h"
#include "GUI/RefreshTimer.h"
#include "ItemSet.h"
#include "RecordingRefresher.h"
#include "pump/AttachTable.h"
#include "serial/Communication.h"

#include <QTimer>
#include <QtTest>

#include <memory>

using GUI::Refresher;
using GUI::RefreshTimer;

// The poller: what each tick queues (command, value, log flag), how the rotations and the status
// groups advance, and how answers find their items.
class tst_refresher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rotations_data();
    void rotations();
    void attachTableLists();
    void attachTableFirstTenTicks();
    void detachAllCalls();
    void detach_data();
    void detach();
    void statusReattachedDuringItsGroups();
    void notifyRouting_data();
    void notifyRouting();
    void answersThroughTheStack();
    void unusableItemsQueueNothing();
    void logFlagSwitch_data();
    void logFlagSwitch();
    void pollingSwitch();
    void slotsByName();

private:
    // Runs one tick and returns what it queued as "id:value" (with a "+" for a logged entry),
    // then empties the stack so the next tick starts clean.
    QStringList tick();
    void attachByName(const QStringList &names, Refresher::RefreshClass refreshClass);
    QStringList names(const std::vector<GUI::OperationItem *> &items);

    std::unique_ptr<Communication> link;
    std::unique_ptr<BusinessLogic::CommandSet> commands;
    std::vector<BusinessLogic::Command *> table;
    std::unique_ptr<BusinessLogic::CommandStack> stack;
    std::unique_ptr<RefreshTimer> refresher;
    std::unique_ptr<ItemSet> items;
};

void tst_refresher::init()
{
    link = std::make_unique<Communication>(); // no port: queries answer their empty texts
    commands = std::make_unique<BusinessLogic::CommandSet>(link.get());
    table = commands->table();
    stack = std::make_unique<BusinessLogic::CommandStack>();
    refresher = std::make_unique<RefreshTimer>(stack.get(), &table);
    items = std::make_unique<ItemSet>();
    RefreshTimer::resetStatusGroup();
}

void tst_refresher::cleanup()
{
    refresher.reset();
    stack.reset();
    items.reset();
    commands.reset();
    link.reset();
}

QStringList tst_refresher::tick()
{
    const int pendingBefore = refresher->pendingCount();
    refresher->execute();
    QStringList queued;
    for (const BusinessLogic::QueueEntry &entry : stack->queuedEntries()) {
        queued << QString::number(BusinessLogic::toInt(entry.command->spezifier())) + ":" +
                      QString::number(entry.value) + (entry.logFlag ? "+" : "");
    }
    // One waiting item per queued query, in the same order and for the same id.
    const std::vector<GUI::OperationItem *> pending = refresher->pending();
    const auto entries = stack->queuedEntries();
    if (static_cast<int>(pending.size()) != pendingBefore + static_cast<int>(entries.size()))
        queued << "pending count mismatch";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        GUI::OperationItem *item = pending[static_cast<std::size_t>(pendingBefore) + i];
        if (item->spezifier() != BusinessLogic::toInt(entries[i].command->spezifier()))
            queued << "pending item mismatch";
    }
    stack->clear();
    return queued;
}

void tst_refresher::attachByName(const QStringList &names, Refresher::RefreshClass refreshClass)
{
    for (const QString &name : names)
        refresher->attach(items->byName(name), refreshClass);
}

QStringList tst_refresher::names(const std::vector<GUI::OperationItem *> &list)
{
    QStringList result;
    for (const GUI::OperationItem *item : list)
        result << items->nameOf(item);
    return result;
}

void tst_refresher::rotations_data()
{
    QTest::addColumn<QStringList>("everyTick");
    QTest::addColumn<QStringList>("fast");
    QTest::addColumn<QStringList>("slow");
    QTest::addColumn<QStringList>("ticks"); // per tick, the queued "id:value" joined by blanks

    QTest::newRow("no items: nothing queued")
        << QStringList{} << QStringList{} << QStringList{} << QStringList{"", ""};
    QTest::newRow("every-tick items with value 1, in attach order")
        << QStringList{"VolumeActual", "Status", "RunMode"} << QStringList{} << QStringList{}
        << QStringList{"2:1 8:1 1:1", "2:1 8:1 1:1"};
    QTest::newRow("single fast item: queued, then wrap, once per tick")
        << QStringList{} << QStringList{"Autostart"} << QStringList{}
        << QStringList{"37:0", "37:0", "37:0"};
    QTest::newRow("status alone: groups 1,2 / 3,4 / 5,6 / 0,wrap")
        << QStringList{} << QStringList{"Status"} << QStringList{}
        << QStringList{"8:1 8:2", "8:3 8:4", "8:5 8:6", "8:0", "8:1 8:2"};
    QTest::newRow("status holds the fast rotation for seven steps")
        << QStringList{} << QStringList{"Autostart", "Status"} << QStringList{}
        << QStringList{"37:0 8:1", "8:2 8:3", "8:4 8:5", "8:6 8:0", "37:0", "8:1 8:2"};
    QTest::newRow("slow rotation: one step per tick, then a wrap tick")
        << QStringList{} << QStringList{} << QStringList{"AnalogIn", "Language"}
        << QStringList{"22:0", "32:0", "", "22:0"};
    QTest::newRow("slow duplicate is queued twice per cycle")
        << QStringList{} << QStringList{} << QStringList{"Contrast", "AnalogIn", "Contrast"}
        << QStringList{"41:0", "22:0", "41:0", "", "41:0"};
    QTest::newRow("slow items carry the current status group")
        << QStringList{} << QStringList{"Status"} << QStringList{"AnalogIn", "AnalogRange"}
        << QStringList{"8:1 8:2 22:2", "8:3 8:4 24:4", "8:5 8:6", "8:0 22:0"};
}

void tst_refresher::rotations()
{
    QFETCH(QStringList, everyTick);
    QFETCH(QStringList, fast);
    QFETCH(QStringList, slow);
    QFETCH(QStringList, ticks);

    attachByName(everyTick, Refresher::EveryTick);
    attachByName(fast, Refresher::FastRotation);
    attachByName(slow, Refresher::SlowRotation);

    for (int i = 0; i < ticks.size(); ++i)
        QCOMPARE(tick().join(' '), ticks.at(i));
}

void tst_refresher::attachTableLists()
{
    Pump::AttachTable::attachAll(*refresher, items->all());

    QCOMPARE(names(refresher->everyTick()),
             (QStringList{"VolumeActual", "Flowrate", "DispenseTime", "RunMode", "Status",
                          "TimeElapsed", "VolumeTarget"}));
    QCOMPARE(names(refresher->fast()), (QStringList{"Autostart", "ProtocolAnswer", "Status",
                                                    "VolumeBreakTime", "VolumeNumber"}));
    QCOMPARE(
        names(refresher->slow()),
        (QStringList{"AnalogIn", "AnalogRange", "Contrast", "DigitalIn1", "DigitalIn2",
                     "DigitalOut", "FactoryMode", "FactoryPumpModel", "Language",
                     "MaintenancePosition", "ModelVersion", "PumpProfileCharacteristic",
                     "FactoryStrokeVolume", "Address", "CustomCalibrationPercentage", "Contrast"}));
}

void tst_refresher::attachTableFirstTenTicks()
{
    Pump::AttachTable::attachAll(*refresher, items->all());

    // Every tick: actual volume, flow rate, dispense time, run mode, status group 1, elapsed
    // time, volume target, all with the value 1 and unlogged.
    const QString every = "2:1 12:1 14:1 1:1 8:1 3:1 9:1";
    const QStringList expected = {
        every + " 37:0 47:0 22:0", // autostart, protocol answer; analog input
        every + " 8:1 8:2 24:2",   // the status item takes the fast rotation; analog range
        every + " 8:3 8:4 41:4",   // contrast
        every + " 8:5 8:6 26:6",   // digital input 1
        every + " 8:0 18:0 28:0",  // group 0 frees the rotation: break time; digital input 2
        every + " 20:0 30:0",      // cycle number, then the wrap step; digital output
        every + " 37:0 47:0 56:0", // the fast rotation again; factory mode
        every + " 8:1 8:2 61:2",   // pump model
        every + " 8:3 8:4 32:4",   // language
        every + " 8:5 8:6 59:6",   // maintenance position
    };
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(tick().join(' '), expected.at(i));
    // At most ten queries per tick.
    for (const QString &t : expected)
        QVERIFY(t.split(' ').size() <= 10);
}

void tst_refresher::detachAllCalls()
{
    RecordingRefresher recorder;
    Pump::AttachTable::attachAll(recorder, items->all());
    QCOMPARE(recorder.calls.size(), Pump::AttachTable::RowCount);
    const auto attached = recorder.calls;
    recorder.calls.clear();
    Pump::AttachTable::detachAll(recorder, items->all());

    // The attach order, once per row, except that the status item is detached once.
    QStringList expected;
    bool statusSeen = false;
    for (const auto &call : attached) {
        QVERIFY(call.attach);
        if (call.item == &items->status) {
            if (statusSeen)
                continue;
            statusSeen = true;
        }
        expected << items->nameOf(call.item);
    }
    QStringList detached;
    for (const auto &call : recorder.calls) {
        QVERIFY(!call.attach);
        detached << items->nameOf(call.item);
    }
    QCOMPARE(detached, expected);
    QCOMPARE(detached.count("Contrast"), 2);
    QCOMPARE(detached.count("Status"), 1);
    QCOMPARE(detached.size(), 27);

    // And against the real refresher, everything is gone afterwards.
    Pump::AttachTable::attachAll(*refresher, items->all());
    Pump::AttachTable::detachAll(*refresher, items->all());
    QVERIFY(refresher->everyTick().empty());
    QVERIFY(refresher->fast().empty());
    QVERIFY(refresher->slow().empty());
    QCOMPARE(tick().join(' '), QString());
}

void tst_refresher::detach_data()
{
    QTest::addColumn<QStringList>("fast");
    QTest::addColumn<QStringList>("slow");
    QTest::addColumn<int>("ticksBefore");
    QTest::addColumn<QString>("detached");
    QTest::addColumn<QStringList>("fastAfter");
    QTest::addColumn<QStringList>("slowAfter");
    QTest::addColumn<QString>("nextTick");

    QTest::newRow("one call removes both occurrences")
        << QStringList{} << QStringList{"Contrast", "AnalogIn", "Contrast"} << 0 << "Contrast"
        << QStringList{} << QStringList{"AnalogIn"} << "22:0";
    QTest::newRow("detach restarts both rotations")
        << QStringList{"Autostart", "ProtocolAnswer", "VolumeNumber"}
        << QStringList{"AnalogIn", "Language", "DigitalOut"} << 1 << "DigitalOut"
        << QStringList{"Autostart", "ProtocolAnswer", "VolumeNumber"}
        << QStringList{"AnalogIn", "Language"} << "37:0 47:0 22:0";
    QTest::newRow("detaching an item that is not attached still restarts")
        << QStringList{"Autostart", "ProtocolAnswer"} << QStringList{} << 1 << "Language"
        << QStringList{"Autostart", "ProtocolAnswer"} << QStringList{} << "37:0 47:0";
    QTest::newRow("emptied list queues nothing")
        << QStringList{"Autostart"} << QStringList{} << 1 << "Autostart" << QStringList{}
        << QStringList{} << "";
}

void tst_refresher::detach()
{
    QFETCH(QStringList, fast);
    QFETCH(QStringList, slow);
    QFETCH(int, ticksBefore);
    QFETCH(QString, detached);
    QFETCH(QStringList, fastAfter);
    QFETCH(QStringList, slowAfter);
    QFETCH(QString, nextTick);

    attachByName(fast, Refresher::FastRotation);
    attachByName(slow, Refresher::SlowRotation);
    for (int i = 0; i < ticksBefore; ++i)
        tick();
    const int pendingBefore = refresher->pendingCount();

    refresher->detach(items->byName(detached));
    QCOMPARE(names(refresher->fast()), fastAfter);
    QCOMPARE(names(refresher->slow()), slowAfter);
    // Queries already queued stay pending: their answers are still to come.
    QCOMPARE(refresher->pendingCount(), pendingBefore);
    QCOMPARE(tick().join(' '), nextTick);
}

void tst_refresher::statusReattachedDuringItsGroups()
{
    // A pump search detaches everything, possibly while the status item is half-way through its
    // groups, and attaches again when it finds the pump. The rotation must move on afterwards
    // rather than stay on the first item.
    attachByName({"Autostart", "ProtocolAnswer", "Status"}, Refresher::FastRotation);
    QCOMPARE(tick().join(' '), QString("37:0 47:0"));
    QCOMPARE(tick().join(' '), QString("8:1 8:2"));
    refresher->detach(&items->status);
    refresher->attach(&items->status, Refresher::FastRotation);

    QCOMPARE(tick().join(' '), QString("37:2 47:2"));
    QCOMPARE(tick().join(' '), QString("8:3 8:4"));
    QCOMPARE(tick().join(' '), QString("8:5 8:6"));
    QCOMPARE(tick().join(' '), QString("8:0"));
    QCOMPARE(tick().join(' '), QString("37:0 47:0"));
}

void tst_refresher::notifyRouting_data()
{
    QTest::addColumn<QStringList>("queued"); // every-tick items, queued by one tick
    // "entry id outcome text": entry is the index of the tick's query whose ticket the answer
    // carries, or "op" for a command the refresher did not queue.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("values"); // "item value [stale]" afterwards
    QTest::addColumn<int>("pendingAfter");

    const QStringList both{"VolumeActual", "Flowrate"};
    QTest::newRow("answer with nothing pending changes nothing")
        << QStringList{} << QStringList{"op 2 answered 42"} << QStringList{"VolumeActual 0"} << 0;
    QTest::newRow("answers reach the items whose tickets they carry; the operator's reach none")
        << both
        << QStringList{"op 10 answered ", "1 12 answered 600", "op 2 answered 55", "0 2 answered 7"}
        << QStringList{"VolumeActual 7", "Flowrate 600"} << 0;
    QTest::newRow("a frame that failed its check or an entry cleared changes no value")
        << both << QStringList{"0 2 invalid 42", "1 12 cleared 1250"}
        << QStringList{"VolumeActual 0 stale", "Flowrate 10 stale"} << 0;
    QTest::newRow("silence and NAK change no value: the empty-answer texts are no readings")
        << both << QStringList{"0 2 answered 250", "1 12 answered 600"}
        << QStringList{"VolumeActual 250", "Flowrate 600"} << 0;
    QTest::newRow("silence after a reading keeps the reading, no longer live")
        << both << QStringList{"0 2 silent 30", "1 12 nak 10000"}
        << QStringList{"VolumeActual 0 stale", "Flowrate 10 stale"} << 0;
    QTest::newRow("taken without acknowledgement is a reading")
        << both << QStringList{"0 2 unacknowledged 77"}
        << QStringList{"VolumeActual 77", "Flowrate 10"} << 1;
    QTest::newRow("a ticket answers once; an answer of another id updates nothing")
        << both << QStringList{"0 2 answered 5", "0 2 answered 9", "1 2 answered 3"}
        << QStringList{"VolumeActual 5", "Flowrate 10"} << 0;
}

void tst_refresher::notifyRouting()
{
    QFETCH(QStringList, queued);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, values);
    QFETCH(int, pendingAfter);

    using Outcome = BusinessLogic::AnswerOutcome;
    const QMap<QString, Outcome> outcomes = {
        {"answered", Outcome::Answered}, {"silent", Outcome::Silent},
        {"nak", Outcome::Nak},           {"invalid", Outcome::InvalidFrame},
        {"cleared", Outcome::Cleared},   {"unacknowledged", Outcome::Unacknowledged}};
    attachByName(queued, Refresher::EveryTick);
    refresher->execute();
    const std::vector<BusinessLogic::Ticket> tickets = refresher->pendingTickets();
    QCOMPARE(tickets.size(), std::size_t(queued.size()));
    // A ticket the stack gave to someone else: an operator's command.
    const BusinessLogic::Ticket operatorTicket =
        stack->push(table[std::size_t(toInt(BusinessLogic::CommandSpezifier::Stop))], 0, true);
    for (const QString &a : answers) {
        const QStringList f = a.split(' ');
        const BusinessLogic::Ticket ticket =
            f.at(0) == "op" ? operatorTicket : tickets.at(std::size_t(f.at(0).toInt()));
        QVERIFY(outcomes.contains(f.at(2)));
        refresher->notify(
            Answer{f.at(1).toInt(), f.at(3).toStdString(), ticket, outcomes[f.at(2)]});
    }
    for (const QString &v : values) {
        const QStringList parts = v.split(' ');
        QCOMPARE(items->byName(parts.at(0))->value(), parts.at(1).toInt());
        QCOMPARE(items->byName(parts.at(0))->current(), parts.value(2) != QLatin1String("stale"));
    }
    QCOMPARE(refresher->pendingCount(), pendingAfter);
}

void tst_refresher::answersThroughTheStack()
{
    // With no pump, every query meets silence: its empty-answer text is no reading, so each item
    // that asked keeps its value and knows it is not live.
    Pump::AttachTable::attachAll(*refresher, items->all());
    const int volumeBefore = items->volumeActual.value();
    const QString timeBefore = items->timeElapsed.text();
    refresher->execute();
    const int queued = stack->queuedCount();
    QCOMPARE(queued, 10);
    for (int i = 0; i < queued; ++i)
        stack->ExecuteCommand();
    QCOMPARE(refresher->pendingCount(), 0);
    QCOMPARE(items->volumeActual.value(), volumeBefore);
    QVERIFY(!items->volumeActual.current());
    QCOMPARE(items->flowrate.value(), 10);
    QVERIFY(!items->flowrate.current());
    QCOMPARE(items->timeElapsed.text(), timeBefore);
    QVERIFY(!items->timeElapsed.current());
}

void tst_refresher::unusableItemsQueueNothing()
{
    // An id without a command would never be answered and would shift every later answer.
    table[static_cast<std::size_t>(
        BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetFlowRate))] = nullptr;
    GUI::OperationItem base; // id 65: outside the table
    refresher->attach(&base, Refresher::EveryTick);
    attachByName({"Flowrate", "RunMode"}, Refresher::EveryTick);
    refresher->attach(nullptr, Refresher::EveryTick);
    refresher->attach(&items->language, static_cast<Refresher::RefreshClass>(7));

    QCOMPARE(tick().join(' '), QString("1:1"));
    // The tick's one query went with the stack's clear, and the refresher forgot it.
    QCOMPARE(refresher->pendingCount(), 0);
    QCOMPARE(names(refresher->everyTick()).size(), 3); // base, flow rate, run mode
    QVERIFY(refresher->fast().empty());
    QVERIFY(refresher->slow().empty());
}

void tst_refresher::logFlagSwitch_data()
{
    QTest::addColumn<QList<bool>>("notDisplayed"); // calls of displayProtocolAnswer
    QTest::addColumn<QString>("queued");

    QTest::newRow("initially unlogged") << QList<bool>{} << "2:1";
    QTest::newRow("display box unticked: logged") << QList<bool>{false} << "2:1+";
    QTest::newRow("ticked again: unlogged") << QList<bool>{false, true} << "2:1";
}

void tst_refresher::logFlagSwitch()
{
    QFETCH(QList<bool>, notDisplayed);
    QFETCH(QString, queued);

    attachByName({"VolumeActual"}, Refresher::EveryTick);
    for (bool b : notDisplayed)
        refresher->displayProtocolAnswer(b);
    QCOMPARE(tick().join(' '), queued);
}

void tst_refresher::pollingSwitch()
{
    // Real timer ticks, counted by what they queue; the stack's executor is held so the entries
    // stay to be counted.
    QTimer *executor = stack->findChild<QTimer *>();
    QVERIFY(executor != nullptr);
    executor->stop();
    QTimer *timer = refresher->findChild<QTimer *>();
    QVERIFY(timer != nullptr);
    QCOMPARE(timer->interval(), 700);
    attachByName({"VolumeActual"}, Refresher::EveryTick);
    QSignalSpy ticks(timer, &QTimer::timeout);

    QVERIFY(ticks.wait(3000));
    QCOMPARE(stack->queuedCount(), 1);

    refresher->noCyclicDataUpdate(true);
    QVERIFY(!refresher->polling());
    QVERIFY(ticks.wait(3000));
    QCOMPARE(stack->queuedCount(), 1);
    // Answers to what was queued before still arrive.
    refresher->notify(Answer{2, "00042", stack->queuedEntries().front().ticket});
    QCOMPARE(items->volumeActual.value(), 42);

    // Switched on twice: still one query per tick.
    refresher->noCyclicDataUpdate(false);
    refresher->noCyclicDataUpdate(false);
    QVERIFY(refresher->polling());
    stack->clear();
    QVERIFY(ticks.wait(3000));
    QCOMPARE(stack->queuedCount(), 1);
}

void tst_refresher::slotsByName()
{
    // The window connects the check boxes by name; the names and parameters are its interface.
    const QMetaObject *meta = refresher->metaObject();
    const QList<QPair<QByteArray, QByteArray>> slotNames = {
        {"notify(Answer)", "data"},
        {"displayProtocolAnswer(bool)", "notDisplayed"},
        {"noCyclicDataUpdate(bool)", "noUpdate"},
    };
    for (const auto &slot : slotNames) {
        const int index = meta->indexOfSlot(slot.first);
        QVERIFY2(index >= 0, slot.first.constData());
        QCOMPARE(meta->method(index).parameterNames(), QList<QByteArray>{slot.second});
    }

    attachByName({"VolumeActual"}, Refresher::EveryTick);
    QVERIFY(
        QMetaObject::invokeMethod(refresher.get(), "displayProtocolAnswer", Q_ARG(bool, false)));
    refresher->execute();
    QCOMPARE(stack->queuedCount(), 1);
    QVERIFY(stack->queuedEntries().front().logFlag);
    const Answer answer{2, "17", stack->queuedEntries().front().ticket};
    QVERIFY(QMetaObject::invokeMethod(refresher.get(), "notify", Q_ARG(Answer, answer)));
    QCOMPARE(items->volumeActual.value(), 17);
    QVERIFY(QMetaObject::invokeMethod(refresher.get(), "noCyclicDataUpdate", Q_ARG(bool, true)));
    QVERIFY(!refresher->polling());
}

QTEST_GUILESS_MAIN(tst_refresher)
#include "tst_refresher.moc"
