#include "cli/PumpSession.h"

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/Command.h"
#include "BusinessLogic/ControlCharacters.h"
#include "BusinessLogic/QueryCommand.h"
#include "GUI/OperationItem.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

using BusinessLogic::AnswerOutcome;

namespace {

// Far beyond any exchange the link allows; only a fault could reach it.
constexpr int ExchangeBoundMs = 3000;

} // namespace

PumpSession::PumpSession(int timeout)
    : timeoutMs(timeout)
{}

bool PumpSession::open(const QString &port, int address)
{
    pump.link().setAddress(address);
    pump.link().setCommPortName(port);
    return pump.link().portOpen;
}

PumpSession::Exchange PumpSession::once(Id id, long value, const std::string *text)
{
    BusinessLogic::Command *command = pump.command(id);
    if (command == nullptr)
        return {};
    BusinessLogic::Ticket ticket = 0;
    if (text != nullptr)
        ticket = pump.stack().pushText(command, *text);
    else
        ticket = pump.submit(BusinessLogic::Lane::Operator, id, static_cast<int>(value), false);
    Exchange e;
    e.outcome = AnswerOutcome::Cleared;
    QEventLoop loop;
    const auto answered =
        QObject::connect(&pump, &PumpCore::answered, &loop, [&](const Answer &answer) {
            if (answer.ticket != ticket)
                return;
            e.outcome = answer.outcome;
            e.answer = answer.text;
            loop.quit();
        });
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(ExchangeBoundMs);
    // The queue's next tick, not ten milliseconds later.
    QTimer::singleShot(0, &pump.stack(), &BusinessLogic::CommandStack::ExecuteCommand);
    // Signals are taken by the caller's own loop once this exchange is over, never in between.
    loop.exec(QEventLoop::ExcludeSocketNotifiers);
    QObject::disconnect(answered);
    return e;
}

PumpSession::Exchange PumpSession::run(Id id, long value)
{
    BusinessLogic::Command *command = pump.command(id);
    if (command == nullptr)
        return {};
    const bool onceOnly = id == Id::Pause || id == Id::Prime;
    QElapsedTimer clock;
    clock.start();
    Exchange e = once(id, value);
    const bool query = dynamic_cast<BusinessLogic::QueryCommand *>(command) != nullptr;
    if (!query && e.outcome == AnswerOutcome::Silent && pump.link().portOpen &&
        protocolAnswerOff()) {
        // From now on the link judges silence itself, as it does after the window set it.
        pump.link().protocolAnswer = false;
        return {AnswerOutcome::Unacknowledged, e.answer};
    }
    while (!onceOnly && pump.link().portOpen &&
           (e.outcome == AnswerOutcome::Silent || e.outcome == AnswerOutcome::InvalidFrame) &&
           clock.elapsed() < timeoutMs) {
        // A short gap lets a pump that is busy or resynchronising settle.
        QThread::msleep(20);
        e = once(id, value);
    }
    return e;
}

bool PumpSession::protocolAnswerOff()
{
    if (!answerOff) {
        const Exchange e = ask(Id::GetProtocolAnswer);
        if (e.outcome != AnswerOutcome::Answered)
            return false; // the pump is silent altogether: ask again next time
        answerOff = GUI::OperationItem::readInteger(QString::fromStdString(e.answer)) == 0;
    }
    return *answerOff;
}

PumpSession::Exchange PumpSession::ask(Id id, long value)
{
    return once(id, value);
}

PumpSession::Exchange PumpSession::runText(const std::string &text)
{
    return once(Id::SetDiscreteCommand, 0, &text);
}

bool PumpSession::query(Id id, int parameter)
{
    GUI::OperationItem *item = pump.items().find(id);
    if (item == nullptr)
        return false;
    const Exchange e = run(id, parameter);
    if (e.outcome != AnswerOutcome::Answered) {
        item->markStale(parameter);
        return false;
    }
    Answer answer{BusinessLogic::toInt(id), e.answer, 0, e.outcome};
    item->update(&answer);
    return true;
}

bool PumpSession::read(const Pump::KeyTable::Key &key)
{
    for (int parameter : key.parameters) {
        if (!query(key.query, parameter))
            return false;
    }
    return true;
}

void PumpSession::forget()
{
    pump.items().markAllStale();
}

QString PumpSession::lastSent() const
{
    const std::string &sent = pump.link().lastTransmitted;
    QString frame = QString::fromLatin1(sent.data(), static_cast<int>(sent.size()));
    const int stx = frame.indexOf(QLatin1Char(BusinessLogic::ControlCharacters::STX));
    const int etx = frame.indexOf(QLatin1Char(BusinessLogic::ControlCharacters::ETX));
    if (stx >= 0 && etx > stx)
        return frame.mid(stx + 1, etx - stx - 1);
    return frame;
}
