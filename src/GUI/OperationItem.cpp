#include "GUI/OperationItem.h"

#include "BusinessLogic/CommandSpezifier.h"

#include <QtGlobal>

#include <climits>
#include <cmath>

namespace GUI {

OperationItem::OperationItem(int initialValue, QString initialText)
    : itemValue(initialValue)
    , itemText(std::move(initialText))
{}

void OperationItem::update(Answer *answer)
{
    decodeGeneric(answer);
}

int OperationItem::spezifier()
{
    return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::Base);
}

void OperationItem::setValue(int value)
{
    itemValue = value;
    heard = true;
    fresh = true;
}

void OperationItem::markStale(int)
{
    fresh = false;
}

QString OperationItem::answerText(const Answer *answer)
{
    if (answer == nullptr)
        return {};
    // Answers are a few bytes; a longer buffer is line noise and is cut, not trusted.
    const int size = static_cast<int>(qMin<std::size_t>(answer->text.size(), INT_MAX / 4));
    return QString::fromUtf8(answer->text.data(), size);
}

int OperationItem::readInteger(const QString &text, bool *ok)
{
    bool valid = false;
    const int value = text.toInt(&valid, 10);
    if (ok != nullptr)
        *ok = valid;
    return valid ? value : 0;
}

int OperationItem::readTruncatedDecimal(const QString &text, bool *ok)
{
    bool valid = false;
    const double number = std::trunc(text.toDouble(&valid));
    // Both bounds are exactly representable; anything outside them would make the conversion
    // undefined.
    valid = valid && std::isfinite(number) && number >= static_cast<double>(INT_MIN) &&
            number <= static_cast<double>(INT_MAX);
    if (ok != nullptr)
        *ok = valid;
    return valid ? static_cast<int>(number) : 0;
}

void OperationItem::decodeGeneric(const Answer *answer)
{
    itemText = answerText(answer);
    itemValue = readInteger(itemText);
    heard = true;
    fresh = true;
}

void OperationItem::decodeTruncatedDecimal(const Answer *answer)
{
    itemText = answerText(answer);
    itemValue = readTruncatedDecimal(itemText);
    heard = true;
    fresh = true;
}

} // namespace GUI
