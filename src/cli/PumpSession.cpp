#include "cli/PumpSession.h"

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/Command.h"
#include "BusinessLogic/ControlCharacters.h"
#include "BusinessLogic/QueryCommand.h"
#include "GUI/OperationItem.h"

#include <QElapsedTimer>
#include <QThread>

using BusinessLogic::AnswerOutcome;

PumpSession::PumpSession(int timeout)
    : table(commandSet.table())
    , timeoutMs(timeout)
{}

bool PumpSession::open(const QString &port, int address)
{
    link.setAddress(address);
    link.setCommPortName(port);
    return link.portOpen;
}

PumpSession::Exchange PumpSession::once(BusinessLogic::Command *command)
{
    command->execute();
    return {command->outcome(), command->answer()};
}

PumpSession::Exchange PumpSession::run(Id id, long value)
{
    BusinessLogic::Command *command = table.at(static_cast<std::size_t>(BusinessLogic::toInt(id)));
    command->setParameter(value);
    const bool onceOnly = id == Id::Pause || id == Id::Prime;
    QElapsedTimer clock;
    clock.start();
    Exchange e = once(command);
    const bool query = dynamic_cast<BusinessLogic::QueryCommand *>(command) != nullptr;
    if (!query && e.outcome == AnswerOutcome::Silent && link.portOpen && protocolAnswerOff())
        return {AnswerOutcome::Answered, e.answer};
    while (!onceOnly && link.portOpen &&
           (e.outcome == AnswerOutcome::Silent || e.outcome == AnswerOutcome::InvalidFrame) &&
           clock.elapsed() < timeoutMs) {
        // A short gap lets a pump that is busy or resynchronising settle.
        QThread::msleep(20);
        e = once(command);
    }
    return e;
}

bool PumpSession::protocolAnswerOff()
{
    if (!answerOff) {
        const Exchange e = ask(Id::GetProtocolAnswer);
        if (!e.answered())
            return false; // the pump is silent altogether: ask again next time
        answerOff = GUI::OperationItem::readInteger(QString::fromStdString(e.answer)) == 0;
    }
    return *answerOff;
}

PumpSession::Exchange PumpSession::ask(Id id, long value)
{
    BusinessLogic::Command *command = table.at(static_cast<std::size_t>(BusinessLogic::toInt(id)));
    command->setParameter(value);
    return once(command);
}

PumpSession::Exchange PumpSession::runText(const std::string &text)
{
    BusinessLogic::Command *command =
        table.at(static_cast<std::size_t>(BusinessLogic::toInt(Id::SetDiscreteCommand)));
    command->setParameter(text);
    return once(command);
}

bool PumpSession::query(Id id, int parameter)
{
    GUI::OperationItem *item = pumpItems->find(id);
    if (item == nullptr)
        return false;
    const Exchange e = run(id, parameter);
    if (!e.answered())
        return false;
    Answer answer{BusinessLogic::toInt(id), e.answer, 0, e.outcome};
    item->update(&answer);
    return true;
}

bool PumpSession::read(const GUI::KeyTable::Key &key)
{
    for (int parameter : key.parameters) {
        if (!query(key.query, parameter))
            return false;
    }
    return true;
}

void PumpSession::forget()
{
    pumpItems = std::make_unique<GUI::PumpItems>();
}

QString PumpSession::lastSent() const
{
    QString frame = QString::fromLatin1(link.lastTransmitted.data(),
                                        static_cast<int>(link.lastTransmitted.size()));
    const int stx = frame.indexOf(QLatin1Char(BusinessLogic::ControlCharacters::STX));
    const int etx = frame.indexOf(QLatin1Char(BusinessLogic::ControlCharacters::ETX));
    if (stx >= 0 && etx > stx)
        return frame.mid(stx + 1, etx - stx - 1);
    return frame;
}
