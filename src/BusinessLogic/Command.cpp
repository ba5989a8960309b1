#include "BusinessLogic/Command.h"

#include "BusinessLogic/ControlCharacters.h"
#include "platform/TickClock.h"
#include "serial/Communication.h"

namespace BusinessLogic {

Command::Command(Communication *communication)
    : QObject(nullptr)
    , communication(communication)
{}

std::string Command::answer()
{
    return communication->lastAnswer;
}

std::string Command::rawAnswer()
{
    return communication->lastRawReceived;
}

std::string Command::rawCommand()
{
    return communication->lastTransmitted;
}

CommandSpezifier Command::spezifier()
{
    return CommandSpezifier::Base;
}

void Command::execute() {}

void Command::setParameter(long) {}

void Command::setParameter(std::string) {}

AnswerOutcome Command::outcome() const
{
    return communication != nullptr ? communication->rxOutcome : AnswerOutcome::Silent;
}

std::vector<int> Command::invalidCommandPositions() const
{
    if (communication->txCheckCorrect)
        return {};
    return {communication->txFrameLength};
}

std::vector<InvalidReason> Command::invalidCommandReasons() const
{
    if (communication->txCheckCorrect)
        return {};
    return {InvalidLRC};
}

std::vector<int> Command::invalidAnswerPositions() const
{
    std::vector<int> positions;
    if (communication->rxAck)
        positions.push_back(0);
    if (communication->rxNak)
        positions.push_back(0);
    if (!communication->rxFrameValid)
        positions.push_back(communication->rxFrameLength);
    return positions;
}

std::vector<InvalidReason> Command::invalidAnswerReasons() const
{
    std::vector<InvalidReason> reasons;
    if (communication->rxAck)
        reasons.push_back(ACK);
    if (communication->rxNak)
        reasons.push_back(NAK);
    if (!communication->rxFrameValid)
        reasons.push_back(InvalidLRC);
    return reasons;
}

std::string Command::valueField(long value, int width)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

void Command::exchange(const std::string &body, Awaits awaits, const std::string &emptyAnswerText)
{
    using namespace ControlCharacters;
    std::string frame;
    frame.reserve(body.size() + 8);
    frame.push_back(STX);
    frame += communication->addressText();
    frame += body;
    frame.push_back(ETX);
    communication->sendFrame(frame);
    if (awaits == Awaits::Acknowledge) {
        while (!communication->waitForAcknowledge())
            TickClock::sleep(1);
    } else {
        while (!communication->waitForEndOfText())
            TickClock::sleep(1);
    }
    const bool empty = communication->takeAnswer().empty();
    if (empty)
        communication->lastAnswer = emptyAnswerText;
    // A pump whose protocol answer is off acknowledges nothing: silence on an open port is the
    // only sign it took the command. Judged here, where the exchange knows what it waited for.
    if (awaits == Awaits::Acknowledge && communication->rxOutcome == AnswerOutcome::Silent &&
        !communication->protocolAnswer && communication->portOpen)
        communication->rxOutcome = AnswerOutcome::Unacknowledged;
}

} // namespace BusinessLogic
