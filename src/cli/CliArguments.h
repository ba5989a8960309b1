#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The command line of dosetta-cli: global options, one command, its options and arguments.
// Pure: it checks the form and the option values that are not pump values; the key table checks
// those.
class CliArguments
{
public:
    static constexpr int DefaultTimeoutMs = 1000;

    QString port;     // empty: from the environment or the window's settings
    int address = -1; // -1: from the environment or the window's settings
    bool json = false;
    int timeoutMs = DefaultTimeoutMs;
    bool help = false;    // --help: of the tool, or of the command when one is given
    bool version = false; // --version
    QString command;
    QStringList arguments;          // the command's own arguments, in order
    QHash<QString, QString> values; // the command's options with a value, by long name: the last
    QHash<QString, QStringList>
        lists;           // every value each was given, in order (--pump A=.. --pump B=..)
    QSet<QString> flags; // the command's options without a value
    QString error;       // why the line cannot run; nothing is sent then

    static CliArguments parse(const QStringList &arguments);

    // The synopsis with the commands, for --help and after a usage error.
    static QString usage();
    // One command's synopsis and options; empty for an unknown command.
    static QString commandHelp(const QString &command);
    static QStringList commands();
    // "0-98": the addresses a pump answers to, as every text gives them.
    static QString addressRange();

    // Integer option values, already checked by parse().
    int intValue(const QString &option, int fallback) const;
    // A permission given as --FLAG or --no-FLAG sets into; neither leaves it as the file had it.
    void permission(const QString &flag, bool &into) const;
};
