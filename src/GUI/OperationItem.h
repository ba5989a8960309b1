#pragma once

#include "GUI/OperationData.h"

#include <QString>

#include <string>

namespace GUI {

// The program's memory of one pump quantity: the decoded number and text of the last answer to
// its query (or the last value the operator sent). Decoding never fails: whatever bytes arrive,
// the item ends up with some value and text.
class OperationItem : public OperationData
{
public:
    OperationItem() = default;
    OperationItem(int initialValue, QString initialText);

    // Generic decoding: the text as received, its value as a base-10 integer (0 if it is none).
    void update(Answer *answer) override;
    int spezifier() override;

    int value() const { return itemValue; }
    // Virtual so that an item which keeps its text in step with its value does so whichever
    // type it is reached through.
    virtual void setValue(int value);
    QString text() const { return itemText; }
    // True once the item took an answer or a value: the initial value is a placeholder, not
    // something the pump said.
    bool known() const { return heard; }
    // False while the last exchange for this item was not accepted (silent, refused, garbled or
    // cleared): the value is the last one the pump reported, no longer a live reading.
    bool current() const { return fresh; }
    // That exchange failed; parameter is the value its query carried (the status group). The
    // value and text stay as they were.
    virtual void markStale(int parameter);

    // The answer's bytes as text (UTF-8; invalid sequences become replacement characters).
    static QString answerText(const Answer *answer);
    // Whole text read as a base-10 integer, surrounding blanks allowed. Anything else, including
    // a number outside the int range, is no number: *ok false and 0.
    static int readInteger(const QString &text, bool *ok = nullptr);
    // Text read as a decimal number ("12.5", "1e3") and truncated toward zero. Not-a-number,
    // infinities and values outside the int range are no number: *ok false and 0.
    static int readTruncatedDecimal(const QString &text, bool *ok = nullptr);

protected:
    void decodeGeneric(const Answer *answer);
    void decodeTruncatedDecimal(const Answer *answer);

    int itemValue = 0;
    QString itemText;
    bool heard = false;
    bool fresh = true;
};

} // namespace GUI
