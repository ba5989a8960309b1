#pragma once

#include <QString>

class CliArguments;
class CliOutput;
class JournalReader;
struct JournalFilter;

// journal: the machine's journal as a table, JSON lines or CSV: its entries, or its runs (each
// start with its end), or the verdict on its hash chain. It only reads the file; no port.
class JournalCommand
{
public:
    // What is shown without --limit: the newest entries or runs.
    static constexpr int DefaultLimit = 50;

    JournalCommand(const CliArguments &arguments, const CliOutput &output);

    int exec();

private:
    int list(JournalReader &reader, const JournalFilter &filter);
    int runs(JournalReader &reader, const JournalFilter &filter);
    int calibrations(JournalReader &reader, JournalFilter filter);
    int verify(JournalReader &reader, const QString &path);
    void leftOut(bool more, const QString &what) const;

    const CliArguments &args;
    const CliOutput &output;
    const bool csv;
};
