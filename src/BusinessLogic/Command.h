#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/InvalidReason.h"

#include <QObject>

#include <string>
#include <vector>

class Communication;

namespace BusinessLogic {

// One pump command. The object is created once and reused for every exchange of its kind: the
// command stack gives it a parameter and calls execute(); the answer itself lives in the shared
// link until the next exchange.
class Command : public QObject
{
    Q_OBJECT

public:
    explicit Command(Communication *communication);

    virtual std::string answer();
    virtual std::string rawAnswer();
    virtual std::string rawCommand();
    virtual CommandSpezifier spezifier();
    virtual void execute();
    virtual void setParameter(long value);
    virtual void setParameter(std::string text);
    // How the last execution ended, as the link classified its answer.
    virtual AnswerOutcome outcome() const;

    // Fault lists for the traffic log: positions and reasons of the transmitted frame and of the
    // received answer. An empty pair means a correct frame.
    std::vector<int> invalidCommandPositions() const;
    std::vector<InvalidReason> invalidCommandReasons() const;
    std::vector<int> invalidAnswerPositions() const;
    std::vector<InvalidReason> invalidAnswerReasons() const;

    // The value in decimal, right-aligned in a field of the given width, filled with "0" on the
    // left (also in front of a minus sign); wider values are written in full.
    static std::string valueField(long value, int width);

protected:
    enum class Awaits { Acknowledge, EndOfText };

    // One exchange: STX, address, body, ETX and check character out; wait; take the answer; an
    // empty answer is replaced by emptyAnswerText.
    void exchange(const std::string &body, Awaits awaits, const std::string &emptyAnswerText);

    Communication *communication;
};

} // namespace BusinessLogic
