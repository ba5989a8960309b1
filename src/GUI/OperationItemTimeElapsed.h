#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Elapsed dispense time. The pump sends HHMMSS and then fractions of the second; the item keeps
// the first nine characters as text (hours, minutes, seconds, up to three fraction digits) and
// the display reads only that text.
class OperationItemTimeElapsed : public GUI::OperationItem
{
public:
    static constexpr int TextLength = 9;

    // The pump's elapsed-time text (HHMMSS and hundredths; missing pairs count 0) in ms.
    static qint64 milliseconds(const QString &text);

    void update(Answer *answer) override;
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetTimeActual);
    }
};
