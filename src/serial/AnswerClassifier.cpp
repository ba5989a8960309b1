#include "serial/AnswerClassifier.h"

#include "BusinessLogic/ControlCharacters.h"
#include "BusinessLogic/LrcChecker.h"

using namespace BusinessLogic::ControlCharacters;

namespace {

bool awaitingFrameBounds(const std::string &buffer, std::size_t &start, std::size_t &end)
{
    start = buffer.find(STX);
    end = buffer.find(ETX);
    return start != std::string::npos && end != std::string::npos && end + 1 == buffer.size();
}

} // namespace

bool AnswerClassifier::awaitsCheckCharacter(const std::string &buffer)
{
    std::size_t s = 0;
    std::size_t e = 0;
    return awaitingFrameBounds(buffer, s, e);
}

bool AnswerClassifier::needsNulCheckCharacter(const std::string &buffer)
{
    std::size_t s = 0;
    std::size_t e = 0;
    if (!awaitingFrameBounds(buffer, s, e))
        return false;
    return BusinessLogic::LrcChecker().lrc(buffer.substr(s, e - s + 1)) == 0;
}

BusinessLogic::AnswerOutcome AnswerClassifier::Result::outcome() const
{
    using BusinessLogic::AnswerOutcome;
    if (noFrame)
        return AnswerOutcome::Silent;
    if (nak)
        return AnswerOutcome::Nak;
    return frameValid ? AnswerOutcome::Answered : AnswerOutcome::InvalidFrame;
}

AnswerClassifier::Result AnswerClassifier::classify(const std::string &buffer,
                                                    const std::string &addressText)
{
    Result r;
    const std::size_t s = buffer.find(STX);
    const std::size_t e = buffer.find(ETX);
    if (s != std::string::npos && e != std::string::npos && s < e) {
        // The frame runs from STX through the byte after ETX, cut at the end of the buffer.
        const std::string frame = buffer.substr(s, e + 2 - s);
        r.frameFound = true;
        r.frameLength = static_cast<int>(frame.size());
        // Without its check character a frame is unchecked, even when its text XORs to zero.
        r.frameValid = e + 1 < buffer.size() && BusinessLogic::LrcChecker().lrc(frame) == 0;
        // A frame whose check character never came loses its last text character here; the
        // failed check marks it in the traffic log.
        r.text = frame.size() >= 3 ? frame.substr(1, frame.size() - 3) : frame.substr(1);
        const std::string confirmation = std::string(1, STX) + addressText + ETX;
        r.addressConfirmed = buffer.find(confirmation) != std::string::npos;
    } else if (!buffer.empty() && buffer.front() == ACK) {
        r.ack = true;
        r.frameValid = true;
    } else if (!buffer.empty() && buffer.front() == NAK) {
        r.nak = true;
        r.frameValid = true;
    } else {
        r.noFrame = true;
    }
    return r;
}
