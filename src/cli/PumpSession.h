#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "BusinessLogic/CommandSet.h"
#include "GUI/KeyTable.h"
#include "GUI/PumpItems.h"
#include "serial/Communication.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The pump as the command-line tool reaches it: the window's link, command objects and items,
// one exchange at a time and in order, without a queue or a poller. Nothing goes out but what the
// caller runs.
class PumpSession
{
public:
    using Id = BusinessLogic::CommandSpezifier;

    struct Exchange
    {
        BusinessLogic::AnswerOutcome outcome = BusinessLogic::AnswerOutcome::Silent;
        std::string answer;
        bool answered() const { return outcome == BusinessLogic::AnswerOutcome::Answered; }
    };

    // timeoutMs: how long a command is tried again while the pump stays silent.
    explicit PumpSession(int timeoutMs);

    // Opens the port exclusively, as the window does; false when it cannot, see problem().
    bool open(const QString &port, int address);
    PortProblem problem() const { return link.portProblem; }
    bool portOpen() const { return link.portOpen; }

    // One command. A silent or garbled exchange is tried again until the time-out; pause and prime
    // are sent once, since a lost acknowledgement may hide that the pump took them. A pump whose
    // protocol answer is off acknowledges nothing: a setting or action it does not refuse
    // counts as taken, as in the window.
    Exchange run(Id command, long value = 0);
    // One command sent once, however it ends.
    Exchange ask(Id command, long value = 0);
    // A typed command, sent once, as the window's Command field sends it.
    Exchange runText(const std::string &text);
    // One query; its item takes the answer. False when it stayed unanswered.
    bool query(Id query, int parameter = 0);
    // The queries of a key. False when one stayed unanswered.
    bool read(const GUI::KeyTable::Key &key);
    // Drops every value heard so far, so that a value the pump stops reporting reads unknown.
    void forget();

    GUI::PumpItems &items() { return *pumpItems; }
    Communication &communication() { return link; }
    // The frame that went out last, without STX, ETX and check character ("01RV00012500").
    QString lastSent() const;

private:
    Exchange once(BusinessLogic::Command *command);
    // Asked once, at the first setting or action that met silence.
    bool protocolAnswerOff();

    Communication link;
    BusinessLogic::CommandSet commandSet{&link};
    std::vector<BusinessLogic::Command *> table;
    std::unique_ptr<GUI::PumpItems> pumpItems = std::make_unique<GUI::PumpItems>();
    int timeoutMs;
    std::optional<bool> answerOff;
};
