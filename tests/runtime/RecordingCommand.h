#pragma once

#include "BusinessLogic/Command.h"

#include <QStringList>

// A command that talks to nobody: it records each parameter it is given and each execution as
// "<name> <parameter>" in a shared journal, so a test can see what the queue ran, in which
// order, with which value. Its answer names the execution.
class RecordingCommand : public BusinessLogic::Command
{
public:
    RecordingCommand(Communication *communication, QString name, BusinessLogic::CommandSpezifier id,
                     QStringList *journal)
        : Command(communication)
        , name(std::move(name))
        , id(id)
        , journal(journal)
    {}

    BusinessLogic::CommandSpezifier spezifier() override { return id; }
    void setParameter(long value) override { parameter = QString::number(value); }
    void setParameter(std::string text) override { parameter = QString::fromStdString(text); }
    void execute() override
    {
        ++executions;
        journal->append(name + QLatin1Char(' ') + parameter);
    }
    std::string answer() override
    {
        return (name + QLatin1Char('#') + QString::number(executions)).toStdString();
    }

private:
    QString name;
    BusinessLogic::CommandSpezifier id;
    QStringList *journal;
    QString parameter;
    int executions = 0;
};
