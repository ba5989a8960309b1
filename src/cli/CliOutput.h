#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Where the tool's words go: results on standard output, as text or as one JSON object per line;
// messages on standard error. Every line is flushed at once, so a pipe sees it while the tool
// still runs.
class CliOutput
{
public:
    explicit CliOutput(bool json);

    bool json() const { return asJson; }
    // One result: the object in JSON mode, else the text (a line break is added when missing;
    // an empty text prints nothing).
    void result(const QJsonObject &object, const QString &text) const;
    // "dosetta-cli: " and the text on standard error.
    void message(const QString &text) const;
    // Each on a line of its own, in order; the failure's "error" is the first, where a fault in
    // a file usually starts.
    void messages(const QStringList &texts) const;
    // In JSON mode, the failure as one object on standard output too: {"ok": false, "error": the
    // last message, "exit": the status}; nothing otherwise.
    void failure(int exitStatus) const;
    // Fields the failure object carries besides those (program check: every error).
    void addToFailure(const QJsonObject &fields) const;
    // A message that says why the command failed (the pump's error flags, its silence, the lost
    // port), with fields for the failure object ("errors"). The failure's "error" leads with it,
    // whatever is said after it: the Stop on the way out must not hide why it was sent.
    void cause(const QString &text, const QJsonObject &fields = QJsonObject()) const;
    // Text on standard error as it stands (progress).
    void progress(const QString &text) const;

    // Text on standard output whatever the mode (help).
    static void text(const QString &text);

    // A write to standard output or error failed because nothing reads the pipe any more (the
    // tool ignores SIGPIPE, so it is not ended by it).
    static bool readerGone();

    // Standard error is a terminal, so progress may redraw a line.
    static bool errorIsTerminal();

private:
    bool asJson;
    mutable QString lastMessage;
    mutable QString causeMessage;
    mutable QJsonObject failureFields;
};
