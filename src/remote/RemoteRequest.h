#pragma once

#include "program/DosingProgram.h"
#include "program/ProgramFile.h"
#include "pump/DosingPlan.h"
#include "pump/KeyTable.h"
#include "remote/MqttClient.h"

#include <QString>

class BridgeOptions;
class TopicNames;

// What a message from the broker asks of the pump: a value for a key of the key table, a run
// command (a word, or a JSON object: see RemoteCommandObject), or a dosing program to run or to
// hold, continue or stop. Checked here, with the same table and limits as the window and the
// command-line tool, so that nothing refused reaches the queue or the program runner.
class RemoteRequest
{
public:
    using Id = Pump::KeyTable::Id;
    enum class Kind { Set, Command, Program, Ignored };
    // What a request asks of the program runner.
    enum class ProgramAction { None, Run, Pause, Continue, Stop };

    // A word the cmd topic takes: a pump command or one for the program runner, and what it
    // needs.
    struct Word
    {
        const char *name;
        Id command; // Base for a program's
        ProgramAction program;
        Pump::KeyTable::Permission permission;
    };

    // Longer payloads are refused unread: no request needs more. A program file is the one
    // exception: it may take up to the file's own limit.
    static constexpr int MaxPayload = 256;
    static constexpr int MaxProgramPayload = ProgramFile::MaxBytes;
    // A program's errors that a result names; the rest are counted.
    static constexpr int MaxProgramErrors = 3;
    // Longer correlation data is refused: the result would have to carry it back.
    static constexpr int MaxCorrelation = 64;
    // Characters of a value or key that a result echoes; a longer one is cut and ends in "…".
    static constexpr int MaxEcho = 32;

    Kind kind = Kind::Ignored;
    QString
        key; // the key, or the run command's name (dose and run for a JSON command); cut to MaxEcho
    QString name;  // a set's output name: what state calls the value ("flow_rate_ml_min")
    QString value; // as received, trimmed, cut to MaxEcho
    Id command = Id::Base;
    int commandValue = 0;
    // What the request needs: control for the run commands, the key's own for a set.
    Pump::KeyTable::Permission permission = Pump::KeyTable::Permission::None;
    // Echoed with the result; empty when it came too long to be echoed.
    QByteArray correlation;
    QString error; // why it is refused; empty when it may go to the pump
    // A JSON dose or run: every step, the first of them in command and commandValue; program
    // holds it as the one step the program runner runs.
    std::vector<Pump::DosingPlan::Step> steps;
    ProgramAction programAction = ProgramAction::None;
    // program/run: the program, checked whole by the file's rules; key is "program/run" and
    // value the program's name once it reads.
    DosingProgram program;

    // The options' allowControl and allowConfig say what may be asked. In this order, an
    // oversized payload (unread), correlation data too long to echo, a retained message and a
    // missing permission are refused before the value is checked; no error repeats the value.
    // pumpType: the connected pump's ("FLUXO 02"), whose limits a set's value must keep; empty
    // while unknown, for the widest.
    static RemoteRequest read(const TopicNames &topics, const MqttClient::Message &message,
                              const BridgeOptions &options, const QString &pumpType = QString());
    // Every word of the cmd topic, in the order help texts give them.
    static const std::vector<Word> &words();
    // The word of the cmd topic; null for none.
    static const Word *commandNamed(const QString &word);
    // "start, stop, ... or program-stop": the words, for an error.
    static QString wordList();
    // text itself when it has at most `most` characters, else its start and "…".
    static QString cut(const QString &text, int most = MaxEcho);
    // A program's errors for a result: the first MaxProgramErrors, each cut, and a count.
    static QString programErrors(const QStringList &errors);
    // The word's command, program action and permission.
    void take(const Word &word);
};
