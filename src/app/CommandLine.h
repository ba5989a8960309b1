#pragma once

#include <QString>
#include <QStringList>

// What the program's command line asks for, read before any window exists, so that --help and
// --version work without a display. Qt's own options (-platform, -style, ...) are let through
// for the application object; the factory access code is accepted as the first argument only.
// --record FILE (or --record=FILE) starts recording into FILE at launch; --lang de|en picks the
// window's language.
class CommandLine
{
public:
    enum class Action { Run, Help, Version, UsageError };

    // arguments: the whole vector, the program's name first.
    static CommandLine parse(const QStringList &arguments);

    Action action() const { return todo; }
    // For a usage error: one line naming the offending argument.
    QString complaint() const { return problem; }
    // The file --record names, as given; empty without the option.
    QString recordFile() const { return record; }
    // "de" or "en" as --lang gave it; empty without the option.
    QString language() const { return lang; }

    static QString helpText();
    static QString versionText();
    // The lines printed after a complaint.
    static QString usageHint();

private:
    Action todo = Action::Run;
    QString problem;
    QString record;
    QString lang;
};
