#pragma once

namespace BusinessLogic {

// The verdict on one queued execution, decided where its answer is judged and published with it.
// Every receiver (items, feedback, recorder, bridge, tool) reads this and nothing else.
enum class AnswerOutcome : int {
    Answered,     // accepted: a data frame that passed its check, an ACK, or a local command
    Silent,       // nothing usable came back: the text is the command's empty-answer text
    Nak,          // the pump refused: the text is the command's empty-answer text
    InvalidFrame, // a frame whose check character was wrong, missing or late: the text is unchecked
    Cleared,      // the entry was cleared from the queue before or while it ran: nobody's answer
    Unacknowledged, // accepted without acknowledgement: a setting or action met silence while the
                    // pump's protocol answer is off, on an open port
};

// The pump took the command (or answered the query).
constexpr bool accepted(AnswerOutcome outcome)
{
    return outcome == AnswerOutcome::Answered || outcome == AnswerOutcome::Unacknowledged;
}

} // namespace BusinessLogic
