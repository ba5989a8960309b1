#include "ui/LinkFeedback.h"

#include "ui/StyleSheets.h"

#include <QCoreApplication>

using BusinessLogic::AnswerOutcome;

namespace {

LinkFeedback::Label connected()
{
    return {QCoreApplication::translate("mainForm", "PUMP CONNECTED"),
            QString::fromLatin1(StyleSheets::linkConnected)};
}

LinkFeedback::Label disconnected(bool portOpen)
{
    return {QCoreApplication::translate("mainForm", "PUMP DISCONNECTED ") +
                (portOpen ? QCoreApplication::translate("mainForm", "(PORT opend)")
                          : QCoreApplication::translate("mainForm", "(PORT unavailable)")),
            QString::fromLatin1(StyleSheets::linkLost)};
}

} // namespace

LinkFeedback::Heard LinkFeedback::heard(AnswerOutcome outcome, bool acknowledged, bool commCheck)
{
    switch (outcome) {
    case AnswerOutcome::Answered:
        if (acknowledged)
            return Heard::Ack;
        return commCheck ? Heard::AddressAnswer : Heard::Nothing;
    case AnswerOutcome::Nak:
        return Heard::Nak;
    case AnswerOutcome::Silent:
        return Heard::Silence;
    case AnswerOutcome::InvalidFrame:   // neither ACK, NAK nor silence
    case AnswerOutcome::Unacknowledged: // taken without a word: the link state says connected
    case AnswerOutcome::Cleared:
        break;
    }
    return Heard::Nothing;
}

LinkFeedback::Result LinkFeedback::update(Heard heard, int fadePercent, const QColor &colour,
                                          bool portOpen, const LinkState &link)
{
    Result r;
    r.colour = colour;
    r.fadePercent = fadePercent > 0 ? fadePercent - 4 : fadePercent;
    switch (heard) {
    case Heard::Ack:
        r.connection = connected();
        r.fadePercent = 100;
        r.colour = StyleSheets::acceptedColour();
        r.transmission = QCoreApplication::translate("mainForm", "COMMAND ACCEPTED");
        r.clearUserAction = true;
        break;
    case Heard::Nak:
        r.connection = connected();
        r.fadePercent = 100;
        r.colour = StyleSheets::refusedColour();
        r.transmission = QCoreApplication::translate("mainForm", "COMMAND NOT ACCEPTED (RANGE)");
        r.clearUserAction = true;
        break;
    case Heard::Silence:
        r.connection = disconnected(portOpen);
        r.transmission = QString();
        r.clearUserAction = true;
        r.linkLost = true;
        break;
    case Heard::AddressAnswer:
        r.connection = connected();
        r.clearUserAction = true;
        break;
    case Heard::Nothing:
        break;
    }
    r.transmissionSheet = StyleSheets::fading(r.colour, r.fadePercent);
    // After a silence the feedback starts again from full strength.
    if (r.linkLost)
        r.fadePercent = 100;

    // A correct data frame also shows the pump is there: after a silence the first answered
    // poll restores the label at once. A chattering device is no pump, whatever its bytes.
    if (heard == Heard::Nothing && link.connected())
        r.connection = connected();
    else if (link.kind == LinkState::Kind::PortProblem && link.portOpen)
        r.connection = disconnected(true);
    return r;
}
