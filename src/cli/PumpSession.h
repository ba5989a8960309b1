#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "pump/KeyTable.h"
#include "pump/PumpItems.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The pump as the command-line tool reaches it: the pump core without polling, one exchange at a
// time and in order through the core's arbiter (the tool's own steps in the operator's lane, Stop
// in the Stop lane). Nothing goes out but what the caller runs.
class PumpSession
{
public:
    using Id = BusinessLogic::CommandSpezifier;

    struct Exchange
    {
        BusinessLogic::AnswerOutcome outcome = BusinessLogic::AnswerOutcome::Silent;
        std::string answer;
        // The pump took it (or answered the query).
        bool answered() const { return BusinessLogic::accepted(outcome); }
    };

    // timeoutMs: how long a command is tried again while the pump stays silent.
    explicit PumpSession(int timeoutMs);

    // Opens the port exclusively, as the window does; false when it cannot, see problem().
    bool open(const QString &port, int address);
    PortProblem problem() const { return pump.link().portProblem; }
    bool portOpen() const { return pump.link().portOpen; }

    // One command. A silent or garbled exchange is tried again until the time-out; pause and prime
    // are sent once, since a lost acknowledgement may hide that the pump took them. A pump whose
    // protocol answer is off acknowledges nothing: a setting or action it does not refuse
    // counts as taken without acknowledgement, as in the window.
    Exchange run(Id command, long value = 0);
    // One command sent once, however it ends.
    Exchange ask(Id command, long value = 0);
    // A typed command, sent once, as the window's Command field sends it.
    Exchange runText(const std::string &text);
    // One query; its item takes the answer. False when it stayed unanswered.
    bool query(Id query, int parameter = 0);
    // The queries of a key. False when one stayed unanswered.
    bool read(const Pump::KeyTable::Key &key);
    // Drops every value heard so far, so that a value the pump stops reporting reads unknown.
    void forget();

    Pump::PumpItems &items() { return pump.items(); }
    Communication &communication() { return pump.link(); }
    PumpCore &core() { return pump; }
    // The frame that went out last, without STX, ETX and check character ("01RV00012500").
    QString lastSent() const;

private:
    // Queues one command with the core and waits for its verdict (bounded by the link's waits).
    Exchange once(Id command, long value, const std::string *text = nullptr);
    // Asked once, at the first setting or action that met silence.
    bool protocolAnswerOff();

    PumpCore pump{PumpCore::Options{false}};
    int timeoutMs;
    std::optional<bool> answerOff;
};
