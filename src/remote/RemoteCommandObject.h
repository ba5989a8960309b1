#pragma once

#include <QByteArray>
#include <QString>

class RemoteRequest;

// A command given as a JSON object on the cmd topic, for clients that send one message per
// action: {"command":"stop"} (start, pause and prime alike), a volume dose
// {"command":"dose","volume":2.5,"rate":10} (rate optional: full flow) and a timed run
// {"command":"run","rate":10,"time":"5m"} (time optional: until stopped). Values are numbers or
// texts and are checked as the command-line tool's dispense and run check them; a field this
// does not know is refused, so that a misspelt "rate" never doses at full flow.
class RemoteCommandObject
{
public:
    // Fills a request for the cmd topic from the object: a plain command as its word would, a
    // dose or run as its steps with the start last. Says why in request.error when it cannot.
    // pumpType: the connected pump's, whose limits a dose's or run's values must keep.
    static void read(const QByteArray &payload, RemoteRequest &request,
                     const QString &pumpType = QString());
};
