#pragma once

namespace BusinessLogic {

// How one queued execution ended; published with its answer.
enum class AnswerOutcome : int {
    Answered,     // a data frame that passed its check, an ACK, or a command that sends nothing
    Silent,       // nothing usable came back: the text is the command's empty-answer text
    Nak,          // the pump refused: the text is the command's empty-answer text
    InvalidFrame, // a frame whose check character was wrong, missing or late: the text is unchecked
    Cleared,      // the entry was cleared from the queue while it ran: the answer is nobody's
};

} // namespace BusinessLogic
