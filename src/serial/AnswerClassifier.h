#pragma once

#include "BusinessLogic/AnswerOutcome.h"

#include <string>

// Pure classification of what the link received for one exchange: a data frame, a bare ACK or
// NAK, or nothing usable. No port, no clock: the link feeds it its buffer, tests and fuzzers too.
class AnswerClassifier
{
public:
    struct Result
    {
        std::string text;              // answer text between STX and ETX (empty for ACK/NAK/none)
        bool frameFound = false;       // a frame from the first STX through the byte after ETX
        int frameLength = 0;           // length of that frame (valid when frameFound)
        bool frameValid = false;       // ACK, NAK, or a frame whose check character is right
        bool ack = false;              // first byte was ACK
        bool nak = false;              // first byte was NAK
        bool noFrame = false;          // neither a frame nor ACK/NAK
        bool addressConfirmed = false; // STX, the address text, ETX in sequence somewhere

        // What the receivers may make of it: only a frame that passed its check carries a value.
        BusinessLogic::AnswerOutcome outcome() const;
    };

    // True when the buffer ends on the first ETX of a frame, i.e. its check character is still
    // to come.
    static bool awaitsCheckCharacter(const std::string &buffer);

    // True when the frame awaiting its check character has an STX-to-ETX part that XORs to 0x00:
    // its check character is a NUL byte, which the receive path never delivers.
    static bool needsNulCheckCharacter(const std::string &buffer);

    static Result classify(const std::string &buffer, const std::string &addressText);
};
