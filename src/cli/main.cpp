#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A closed pipe must not end the tool at a write while the pump runs: the write fails
    // instead, and a waiting command stops the pump before it ends.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    const CliArguments args = CliArguments::parse(app.arguments().mid(1));
    const CliOutput output(args.json);
    if (!args.error.isEmpty()) {
        output.message(args.error);
        output.progress(QStringLiteral("Try 'dosetta-cli --help' for more information.\n"));
        output.failure(CliRunner::Usage);
        return CliRunner::Usage;
    }
    if (args.version) {
        CliOutput::text(QStringLiteral("dosetta-cli %1\n").arg(QLatin1String(DOSETTA_VERSION)));
        return CliRunner::Done;
    }
    if (args.help) {
        CliOutput::text(args.command.isEmpty() ? CliArguments::usage()
                                               : CliArguments::commandHelp(args.command));
        return CliRunner::Done;
    }
    return CliRunner(args).run();
}
