#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/Command.h"
#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"
#include "serial/PortCatalog.h"
#include "ui/mainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <string>
#include <vector>

// The window on the pump core the program gives it, every command object filed through
// addCommand. Nothing runs until the test spins the event loop, so what a widget action queued
// can be read straight after it.
class WindowRig
{
public:
    WindowRig()
    {
        for (BusinessLogic::Command *command : core.table())
            window.addCommand(command);
    }

    template<class W>
    W *find(const char *name) const
    {
        return window.findChild<W *>(QString::fromLatin1(name));
    }

    // What is queued, oldest first, as "id:value" words ("50:3 43:0"); "" when nothing is.
    QString queued() const
    {
        QStringList words;
        for (const BusinessLogic::QueueEntry &entry : stack.queuedEntries()) {
            const int id =
                entry.command != nullptr ? BusinessLogic::toInt(entry.command->spezifier()) : -1;
            words << QStringLiteral("%1:%2").arg(id).arg(entry.value);
        }
        return words.join(QLatin1Char(' '));
    }

    // Every queued entry carries the logging flag: the operator's traffic is always logged.
    bool allQueuedLogged() const
    {
        for (const BusinessLogic::QueueEntry &entry : stack.queuedEntries()) {
            if (!entry.logFlag)
                return false;
        }
        return true;
    }

    // The receive flags as the last exchange would leave them: ACK, NAK, nothing, address; and
    // that exchange's verdict as the stack publishes it, on the kind of exchange each flag stands
    // for: a setting for ACK and NAK, the link check for the address answer, else a poll.
    void setRxState(const char *flags)
    {
        link.rxAck = flags[0] == '1';
        link.rxNak = flags[1] == '1';
        link.rxNoFrame = flags[2] == '1';
        link.rxAddressOnly = flags[3] == '1';
        using O = BusinessLogic::AnswerOutcome;
        using Id = BusinessLogic::CommandSpezifier;
        const O verdict = link.rxNoFrame                                          ? O::Silent
                          : link.rxNak                                            ? O::Nak
                          : link.rxAck || link.rxAddressOnly || link.rxFrameValid ? O::Answered
                                                                                  : O::InvalidFrame;
        const Id exchange = link.rxNoFrame             ? Id::GetActualVolume
                            : link.rxAck || link.rxNak ? Id::SetVolume
                            : link.rxAddressOnly       ? Id::ExecuteCommCheck
                                                       : Id::GetActualVolume;
        emit stack.sendAnswer(Answer{BusinessLogic::toInt(exchange), "", 0, verdict});
    }

    // The pump's verdict on every entry queued now, as if each had been on the wire; the
    // entries stay queued.
    void answerQueued(BusinessLogic::AnswerOutcome verdict)
    {
        for (const BusinessLogic::QueueEntry &entry : stack.queuedEntries())
            emit stack.sendAnswer(Answer{BusinessLogic::toInt(entry.command->spezifier()), "",
                                         entry.ticket, verdict});
    }

    // An answer as the refresher would hand it to the item polled with that query.
    void report(BusinessLogic::CommandSpezifier query, const std::string &text)
    {
        Answer answer{BusinessLogic::toInt(query), text};
        if (GUI::OperationItem *item = window.itemForTests(query))
            item->update(&answer);
    }

    // The operator's choice in a list: the popup makes the entry current, then reports it.
    static void choose(QComboBox *combo, int index)
    {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // Typed into an emptied field and finished with Return.
    // Sets the pump at address 1 on a link of its own, before a window polls it: a window's
    // refresher would take answers to commands it did not queue for answers to its polls.
    // Returns the first setting the pump did not acknowledge, or an empty text.
    static QString preset(const std::string &device, const QStringList &settings)
    {
        Communication link;
        BusinessLogic::CommandSet commands(&link);
        link.setAddress(1);
        link.setCommPortName(QString::fromStdString(device));
        BusinessLogic::Command *typed = commands.table().at(
            BusinessLogic::toInt(BusinessLogic::CommandSpezifier::SetDiscreteCommand));
        for (const QString &setting : settings) {
            typed->setParameter(setting.toStdString());
            typed->execute();
            if (!link.rxAck)
                return setting;
        }
        return QString();
    }

    static void type(QLineEdit *field, const QString &text)
    {
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    // Picks an entry of the run-mode menu; false when the menu has no such entry.
    bool pickRunMode(const QString &entry) const
    {
        auto *button = find<QPushButton>("buttonMode");
        if (button == nullptr || button->menu() == nullptr)
            return false;
        for (QAction *action : button->menu()->actions()) {
            if (action->text() == entry) {
                action->trigger();
                return true;
            }
        }
        return false;
    }

private:
    // The port list holds the listed paths only (DOSETTA_PORTS, where a test puts its
    // pseudo-terminals): asking udev for the system's ports costs every window a scan that
    // no test here looks at.
    static bool listedPortsOnly()
    {
        PortCatalog::setSource(&PortCatalog::environmentPorts);
        return true;
    }
    bool portsListed = listedPortsOnly();

public:
    PumpCore core;
    Communication &link = core.link();
    BusinessLogic::LoggingCommandStack &stack = core.stack();
    std::vector<BusinessLogic::Command *> &table = core.table();
    GUI::RefreshTimer &refresher = core.refresher();
    ProgramRunner runner{core};
    mainForm window{core, runner, qobject_cast<QApplication *>(QCoreApplication::instance())};
};
