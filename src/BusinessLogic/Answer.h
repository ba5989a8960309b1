#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "BusinessLogic/Ticket.h"

#include <QMetaType>

#include <string>

// What the command stack publishes after every execution: the command's id, its answer text, the
// ticket of the queue entry that ran and how the exchange ended.
struct Answer
{
    int commandId = 0;
    std::string text;
    BusinessLogic::Ticket ticket = 0;
    BusinessLogic::AnswerOutcome outcome = BusinessLogic::AnswerOutcome::Answered;

    // The text may be shown: it passed its check, or it is the command's own text for silence or
    // NAK. A frame that failed its check, or an answer cleared away, changes nothing.
    bool checked() const
    {
        return outcome != BusinessLogic::AnswerOutcome::InvalidFrame &&
               outcome != BusinessLogic::AnswerOutcome::Cleared;
    }
    // The pump took it: the only answers whose text is a value the pump reported.
    bool accepted() const { return BusinessLogic::accepted(outcome); }
};

Q_DECLARE_METATYPE(Answer)
