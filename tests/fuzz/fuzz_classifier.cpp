#include "FuzzInput.h"
#include "Require.h"

#include "serial/AnswerClassifier.h"

#include <cstdint>
#include <string>

// Answer classification against a model built from the frame rules: the frame runs from the
// first STX through the byte after the first ETX (cut at the end of the buffer); otherwise a
// leading ACK or NAK counts; anything else is no frame.
//
// Input: one byte whose low two bits give the length of the address text, that text, then the
// received buffer.

namespace {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char Ack = 0x06;
constexpr char Nak = 0x15;

unsigned char xorOf(const std::string &bytes)
{
    unsigned char x = 0;
    for (const char c : bytes)
        x ^= static_cast<unsigned char>(c);
    return x;
}

void checkClassification(const std::string &buffer, const std::string &address)
{
    const AnswerClassifier::Result r = AnswerClassifier::classify(buffer, address);

    require(int(r.frameFound) + int(r.ack) + int(r.nak) + int(r.noFrame) == 1,
            "exactly one of frame, ACK, NAK, no frame");
    require(r.text.size() <= buffer.size(), "text no longer than the buffer");
    require(!r.addressConfirmed || r.frameFound, "address confirmed only with a frame");

    const std::size_t s = buffer.find(Stx);
    const std::size_t e = buffer.find(Etx);
    const bool isFrame = s != std::string::npos && e != std::string::npos && s < e;
    require(r.frameFound == isFrame, "frame found exactly when STX comes before the first ETX");

    if (isFrame) {
        const std::size_t end = std::min(e + 2, buffer.size());
        const std::string frame = buffer.substr(s, end - s);
        require(r.frameLength == static_cast<int>(frame.size()), "frame length STX..ETX+1");
        require(r.frameLength >= 2 && r.frameLength <= static_cast<int>(buffer.size()),
                "frame length within the buffer");
        const bool complete = e + 1 < buffer.size();
        require(r.frameValid == (complete && xorOf(frame) == 0),
                "frame valid exactly when its check character came and its XOR is 0");
        const std::string between = buffer.substr(s + 1, e - s - 1);
        if (complete) {
            require(r.text == between, "complete frame: text is what lies between STX and ETX");
            require(r.text.find(Etx) == std::string::npos, "complete frame: text holds no ETX");
        } else if (!between.empty()) {
            // The missing check character costs the last text character.
            require(r.text == between.substr(0, between.size() - 1),
                    "frame without check character: text loses its last character");
        } else {
            require(r.text == std::string(1, Etx), "bare STX ETX: all but the first byte");
        }
        const std::string confirmation = std::string(1, Stx) + address + Etx;
        require(r.addressConfirmed == (buffer.find(confirmation) != std::string::npos),
                "address confirmed exactly when STX, address, ETX occur in sequence");
    } else {
        require(r.text.empty() && r.frameLength == 0, "no frame: no text, no length");
        require(!r.addressConfirmed, "no frame: no address confirmation");
        const bool ack = !buffer.empty() && buffer.front() == Ack;
        const bool nak = !buffer.empty() && buffer.front() == Nak;
        require(r.ack == ack, "ACK exactly when the first byte is ACK");
        require(r.nak == nak, "NAK exactly when the first byte is NAK");
        require(r.frameValid == (ack || nak), "ACK and NAK are valid, no frame is not");
    }
}

void checkCheckCharacterWait(const std::string &buffer, const std::string &address)
{
    const std::size_t s = buffer.find(Stx);
    const std::size_t e = buffer.find(Etx);
    const bool awaits = s != std::string::npos && e != std::string::npos && e + 1 == buffer.size();
    require(AnswerClassifier::awaitsCheckCharacter(buffer) == awaits,
            "awaits the check character exactly when the first ETX ends the buffer after an STX");

    const bool nul = AnswerClassifier::needsNulCheckCharacter(buffer);
    require(nul == (awaits && xorOf(buffer.substr(s, e - s + 1)) == 0),
            "NUL check character exactly when STX..ETX XORs to 0");
    if (!nul)
        return;
    // The link appends the NUL the port cannot deliver: that must make a valid complete frame.
    const std::string completed = buffer + '\0';
    const AnswerClassifier::Result r = AnswerClassifier::classify(completed, address);
    require(r.frameFound && r.frameValid, "frame completed with NUL is valid");
    require(r.text == buffer.substr(s + 1, e - s - 1), "frame completed with NUL keeps its text");
    require(r.frameLength == static_cast<int>(e - s + 2), "frame completed with NUL: full length");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string address = input.takeBytes(input.takeByte() & 3u);
    const std::string buffer = input.takeRest();
    checkClassification(buffer, address);
    checkCheckCharacterWait(buffer, address);
    return 0;
}
