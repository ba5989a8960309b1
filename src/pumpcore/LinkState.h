#pragma once

#include "BusinessLogic/AnswerOutcome.h"
#include "recorder/ProcessSample.h"

#include <QString>

// The one judgement of the link that every front-end shows: the window's label, the recorder's
// link column, the bridge's state and the command-line tool. It follows the verdicts of the
// exchanges that went on the wire and the port's own state.
class LinkState
{
public:
    enum class Kind {
        Unknown,         // nothing went on the wire yet
        Connected,       // the pump answered the last exchange (a refusal is an answer too)
        Silent,          // nothing usable came back
        UncheckedFrames, // frames came back, but failed their check
        PortClosed,      // no port chosen
        PortProblem,     // the port cannot be used, or the device on it is no pump: see cause
    };

    Kind kind = Kind::Unknown;
    // Why, for the operator: the port's problem, or a line that chatters.
    QString cause;
    bool portOpen = false;

    // The next state after an exchange on the wire ended with that verdict; cleared exchanges
    // tell nothing.
    static LinkState after(BusinessLogic::AnswerOutcome outcome);
    // The port's side, which outranks the verdicts: closed, unusable, or chattering.
    static LinkState port(bool open, const QString &problem, bool chattering,
                          const QString &chatterCause);

    bool connected() const { return kind == Kind::Connected; }
    // The recorder's three words: "connected", "disconnected", "port unavailable".
    ProcessSample::Link sampleLink() const;
    // One word for the tool and the bridge.
    QString text() const;
    // That word and its cause, for an error a client reads: "port problem: /dev/ttyUSB0: in use
    // by dosetta-cli, pid 4711. ...".
    QString described() const;

    bool operator==(const LinkState &o) const
    {
        return kind == o.kind && cause == o.cause && portOpen == o.portOpen;
    }
    bool operator!=(const LinkState &o) const { return !(*this == o); }
};
