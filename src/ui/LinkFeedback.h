#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "pumpcore/LinkState.h"

#include <QColor>
#include <QString>

#include <optional>

// What the link label and the fading command feedback show after an update, worked out from
// what the last exchange on the wire came to, the port and the link state. No widgets: the
// window applies the result.
class LinkFeedback
{
public:
    // The last exchange on the wire as the feedback tells it apart.
    enum class Heard {
        Nothing,       // a query's data frame, a garbled frame, or nothing on the wire yet
        Ack,           // a setting or action the pump acknowledged
        Nak,           // the pump refused
        Silence,       // nothing usable came back
        AddressAnswer, // the link check's answer: the pump at this address is there
    };

    struct Label
    {
        QString text;
        QString sheet;
    };

    struct Result
    {
        std::optional<Label> connection;     // the link label; nothing leaves it as it is
        std::optional<QString> transmission; // the feedback text; nothing leaves it as it is
        QString transmissionSheet;           // the feedback's fading colour
        bool clearUserAction = false;
        bool linkLost = false; // poll slowly and check the link again
        int fadePercent = 0;   // the opacity the next update starts from
        QColor colour;         // the feedback's colour from now on
    };

    // acknowledged: the command was a setting or action, answered by ACK rather than a data
    // frame; commCheck: it was the link check. A cleared exchange tells nothing: not asked.
    static Heard heard(BusinessLogic::AnswerOutcome outcome, bool acknowledged, bool commCheck);

    static Result update(Heard heard, int fadePercent, const QColor &colour, bool portOpen,
                         const LinkState &link);
};
