#include "FuzzInput.h"
#include "ReferenceParse.h"
#include "Require.h"

#include "GUI/OperationItemCommCheck.h"
#include "GUI/OperationItemDispenseTime.h"
#include "GUI/OperationItemFlowrate.h"
#include "GUI/OperationItemStatus.h"
#include "GUI/OperationItemTimeElapsed.h"
#include "GUI/OperationItemVolumeActual.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

// Operation-item decodings: whatever bytes the pump sends, each item's value matches the
// reference parse of the answer text and its text is the answer (or the part the item keeps).
//
// Input: answers separated by newlines, fed in order to one item of each kind, so items that
// keep state across answers (the status words) are checked over a sequence.

namespace {

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points
// beyond U+10FFFF.
bool wellFormedUtf8(const std::string &bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
            code = lead & 0x1fu;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            code = lead & 0x0fu;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xc0u) != 0x80u)
                return false;
            code = code << 6 | (c & 0x3fu);
        }
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

bool ascii(const std::string &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7f)
            return false;
    }
    return true;
}

// The received text as every item must see it.
void checkText(const std::string &bytes, const QString &text)
{
    require(text.size() <= static_cast<int>(bytes.size()), "text no longer than the answer");
    if (ascii(bytes))
        require(text.toLatin1() == QByteArray(bytes.data(), static_cast<int>(bytes.size())),
                "ASCII answer: text is the answer byte for byte");
    else if (wellFormedUtf8(bytes)) {
        // QString::fromUtf8 drops a leading byte-order mark; harmless in an answer.
        const std::size_t skip = bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
        require(text.toUtf8() ==
                    QByteArray(bytes.data() + skip, static_cast<int>(bytes.size() - skip)),
                "well-formed UTF-8 answer: text is the answer");
    }
}

int referenceInteger(const QString &text)
{
    return ReferenceParse::integer(text).value_or(0);
}

void checkTruncatedDecimal(const QString &text, int value)
{
    const std::optional<double> d = ReferenceParse::plainDecimal(text);
    if (d) {
        const double t = std::trunc(*d);
        const bool fits = std::isfinite(t) && t >= -2147483648.0 && t <= 2147483647.0;
        require(value == (fits ? static_cast<int>(t) : 0),
                "decimal answer: value is the number truncated toward zero, or 0 beyond int");
    } else if (!ReferenceParse::hasAsciiDigit(text)) {
        require(value == 0, "decimal answer without a digit: value 0");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    OperationItemVolumeActual generic;
    OperationItemFlowrate decimal;
    OperationItemTimeElapsed elapsed;
    OperationItemDispenseTime dispense;
    OperationItemStatus status;
    OperationItemCommCheck check;
    std::array<int, OperationItemStatus::GroupCount> words{};

    // Bounded so a long input is many short answers, not one endless sequence.
    for (int n = 0; n < 16 && !input.atEnd(); ++n) {
        Answer answer{0, input.takeField()};
        const std::string bytes = answer.text;

        generic.update(&answer);
        const QString text = generic.text();
        checkText(bytes, text);
        require(generic.value() == referenceInteger(text),
                "generic item: value is the text as an integer, 0 when it is none");

        decimal.update(&answer);
        require(decimal.text() == text, "decimal item keeps the text");
        checkTruncatedDecimal(text, decimal.value());

        elapsed.update(&answer);
        require(elapsed.text() == text.left(OperationItemTimeElapsed::TextLength),
                "elapsed time keeps the first nine characters");
        require(elapsed.value() == 0, "elapsed time has no value of its own");

        dispense.update(&answer);
        require(dispense.text() == text.left(OperationItemDispenseTime::TextLength),
                "dispense time keeps the first six characters");
        const int seconds = referenceInteger(text.mid(0, 2)) * 3600 +
                            referenceInteger(text.mid(2, 2)) * 60 +
                            referenceInteger(text.mid(4, 2));
        require(dispense.value() == seconds, "dispense time: HHMMSS in seconds, bad pairs 0");
        require(std::abs(dispense.value()) <= 99 * 3600 + 99 * 60 + 99,
                "dispense time bounded by two digits per pair");

        status.update(&answer);
        const int blank = text.lastIndexOf(QLatin1Char(' '));
        const int flags = referenceInteger((blank >= 0 ? text.left(blank) : text).left(3));
        require(status.text() == text && status.value() == flags,
                "status: text kept, value is the first three characters of the flags");
        // The group: one digit after the last blank; anything else names no group.
        const QString tag = blank >= 0 ? text.mid(blank + 1) : QString();
        const int group =
            tag.size() == 1 && tag.at(0).unicode() >= u'0' && tag.at(0).unicode() <= u'9'
                ? tag.at(0).unicode() - u'0'
                : -1;
        if (group >= 0 && group < OperationItemStatus::GroupCount)
            words[static_cast<std::size_t>(group)] = flags;
        for (int g = -2; g < OperationItemStatus::GroupCount + 3; ++g) {
            const bool inRange = g >= 0 && g < OperationItemStatus::GroupCount;
            require(status.statusWord(g) == (inRange ? words[static_cast<std::size_t>(g)] : 0),
                    "status words: each group keeps its last flags, other groups read 0");
        }

        check.update(&answer);
        const std::optional<int> checked = ReferenceParse::integer(text);
        if (checked)
            require(check.value() == *checked && check.text() == text,
                    "communication check: an integer answer is taken as it is");
        else
            require(check.value() == -1 && check.text() == QLatin1String("-1"),
                    "communication check: anything else is -1");
    }
    return 0;
}
