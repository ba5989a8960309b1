#pragma once

class CliArguments;
class CliOutput;
class CliPump;

// watch: polls what the window's recorder records at an interval and prints a sample per poll,
// as a line, a JSON object or a CSV row, and into a CSV file with --csv. It started nothing, so
// an interruption ends it and leaves the pump as it is.
class WatchCommand
{
public:
    WatchCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int exec();

private:
    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
