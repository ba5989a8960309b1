#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "pump/DosingPlan.h"

#include <QString>

class TopicNames;

// What a message from the broker asks of the pump: a value for a key of the key table, or a
// run command (a word, or a JSON object: see RemoteCommandObject). Checked here, with the same
// table and limits as the window and the command-line tool, so that nothing refused reaches the
// queue.
class RemoteRequest
{
public:
    enum class Kind { Set, Command, Ignored };

    Kind kind = Kind::Ignored;
    QString key;   // the key, or the run command's name (dose and run for a JSON command)
    QString name;  // a set's output name: what state calls the value ("flow_rate_ml_min")
    QString value; // as received, trimmed
    BusinessLogic::CommandSpezifier command = BusinessLogic::CommandSpezifier::Base;
    int commandValue = 0;
    QString error; // why it is refused; empty when it may go to the pump
    // A JSON dose or run: every step, the first of them in command and commandValue.
    std::vector<Pump::DosingPlan::Step> steps;

    // allowControl false refuses every set and command with "control not allowed".
    static RemoteRequest read(const TopicNames &topics, const QString &topic,
                              const QByteArray &payload, bool allowControl);
};
