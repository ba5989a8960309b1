#include "app/CommandLine.h"
#include "app/ProgramGraph.h"
#include "platform/TerminationSignals.h"
#include "ui/WindowLanguage.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>

namespace {

// Answers --help, --version and a wrong option without a display; -1 means: run the window
// (recording into *recordFile from the start when it is not empty).
int answerCommandLine(int argc, char *argv[], QString *recordFile, QString *language)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action()) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(CommandLine::helpText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(qPrintable(CommandLine::versionText()), stdout);
        return 0;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "dosetta: %s\n%s", qPrintable(line.complaint()),
                     qPrintable(CommandLine::usageHint()));
        return 2;
    case CommandLine::Action::Run:
        break;
    }
    *recordFile = line.recordFile();
    *language = line.language();
    return -1;
}

} // namespace

// Builds the object graph (ProgramGraph: the pump core, then the window), runs the event loop,
// and tears everything down in reverse.
int main(int argc, char *argv[])
{
    QString recordFile;
    QString language;
    const int answered = answerCommandLine(argc, argv, &recordFile, &language);
    if (answered >= 0)
        return answered;
    Q_INIT_RESOURCE(dosetta);
    // The look comes from the program's own style sheets, not from the desktop.
    QGuiApplication::setDesktopSettingsAware(false);
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        // Before the window exists: its texts and number formats are made in this language.
        const WindowLanguage windowLanguage(WindowLanguage::choose(language));
        // SIGTERM and Ctrl-C end the event loop like closing the window does.
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::received, &application,
                         &QApplication::quit);
        ProgramGraph program(application, recordFile);
        exitCode = QApplication::exec();
    }
    Q_CLEANUP_RESOURCE(dosetta);
    return exitCode;
}
