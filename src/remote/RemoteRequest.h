#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "remote/MqttClient.h"

#include <QString>

class BridgeOptions;
class TopicNames;

// What a message from the broker asks of the pump: a value for a key of the key table, or a
// run command (a word, or a JSON object: see RemoteCommandObject). Checked here, with the same
// table and limits as the window and the command-line tool, so that nothing refused reaches the
// queue.
class RemoteRequest
{
public:
    enum class Kind { Set, Command, Ignored };

    // Longer payloads are refused unread: no request needs more.
    static constexpr int MaxPayload = 256;
    // Longer correlation data is refused: the result would have to carry it back.
    static constexpr int MaxCorrelation = 64;
    // Characters of a value or key that a result echoes; a longer one is cut and ends in "…".
    static constexpr int MaxEcho = 32;

    Kind kind = Kind::Ignored;
    QString
        key; // the key, or the run command's name (dose and run for a JSON command); cut to MaxEcho
    QString name;  // a set's output name: what state calls the value ("flow_rate_ml_min")
    QString value; // as received, trimmed, cut to MaxEcho
    BusinessLogic::CommandSpezifier command = BusinessLogic::CommandSpezifier::Base;
    int commandValue = 0;
    // What the request needs: control for the run commands, the key's own for a set.
    Pump::KeyTable::Permission permission = Pump::KeyTable::Permission::None;
    // Echoed with the result; empty when it came too long to be echoed.
    QByteArray correlation;
    QString error; // why it is refused; empty when it may go to the pump
    // A JSON dose or run: every step, the first of them in command and commandValue.
    std::vector<Pump::DosingPlan::Step> steps;

    // The options' allowControl and allowConfig say what may be asked. In this order, an
    // oversized payload (unread), correlation data too long to echo, a retained message and a
    // missing permission are refused before the value is checked; no error repeats the value.
    static RemoteRequest read(const TopicNames &topics, const MqttClient::Message &message,
                              const BridgeOptions &options);
    // The run command a word names (start, stop, pause, prime); Base for none.
    static BusinessLogic::CommandSpezifier commandNamed(const QString &word);
    // text itself when it has at most MaxEcho characters, else its start and "…".
    static QString cut(const QString &text);
};
