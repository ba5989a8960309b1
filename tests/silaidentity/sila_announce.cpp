#include "sila/SilaDiscovery.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

// Announces one record through SilaDiscovery and says what happens, one line each:
// "announced NAME" or "problem REASON". A line on standard input announces again with the server
// name it holds; end of input ends the program.
// Usage: sila_announce UUID PORT VERSION NAME DESCRIPTION [CERTIFICATE.pem]
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: sila_announce UUID PORT VERSION NAME DESCRIPTION [CERT]\n");
        return 2;
    }
    SilaDiscovery::Record record;
    record.uuid = args.at(1);
    record.port = quint16(args.at(2).toUInt());
    record.version = args.at(3);
    record.serverName = args.at(4);
    record.description = args.at(5);
    if (args.size() > 6) {
        QFile file(args.at(6));
        if (!file.open(QIODevice::ReadOnly))
            return 2;
        record.caPem = file.readAll();
    }
    SilaDiscovery discovery;
    const auto say = [](const char *what, const QString &text) {
        std::printf("%s %s\n", what, qPrintable(text));
        std::fflush(stdout);
    };
    QObject::connect(&discovery, &SilaDiscovery::announced, &app,
                     [&](const QString &name) { say("announced", name); });
    QObject::connect(&discovery, &SilaDiscovery::problem, &app,
                     [&](const QString &reason) { say("problem", reason); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char line[512];
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) {
            app.quit();
            return;
        }
        record.serverName = QString::fromUtf8(line, int(n)).trimmed();
        discovery.publish(record);
    });
    discovery.publish(record);
    return app.exec();
}
