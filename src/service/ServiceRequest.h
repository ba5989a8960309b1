#pragma once

#include "program/DosingProgram.h"
#include "remote/MqttClient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

// What a message on the service's own topics asks: a program across its pumps to run (the same
// JSON as a program file, its "pumps" the service's pump names), or the running one stopped or
// continued at a prompt step. Checked here, before anything goes to a pump: the size, the
// correlation data, a retained message, the program whole by the file's rules, the pumps it
// names, and control, which every pump it drives must allow.
class ServiceRequest
{
public:
    enum class Action { Ignored, Run, Stop, Continue };

    // A stop or continue says all it needs in a word; a program may take the file's limit.
    static constexpr int MaxPayload = 256;

    Action action = Action::Ignored;
    QString key;            // "program/run", "program/stop", "program/continue"
    QString value;          // the program's name once it reads; else the start of the payload, cut
    QByteArray correlation; // echoed with the result; empty when too long to echo
    QString error;          // why it is refused; empty when it may go on
    DosingProgram program;  // program/run, once it reads

    // root: "<prefix>/<service>/". control: every pump served, and whether it allows control.
    // running: the pumps of the program that is active, empty when none is.
    static ServiceRequest read(const QString &root, const MqttClient::Message &message,
                               const std::map<QString, bool> &control, const QStringList &running);
};
