#pragma once

#include <QFile>
#include <QProcess>

// dosetta-cli started as a user starts it on one pump, its port and address in the environment.
// DOSETTA_CLI_PROGRAM comes from the test that includes this.
inline void startCli(QProcess &cli, const QString &port, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DOSETTA_PORT"), port);
    env.insert(QStringLiteral("DOSETTA_ADDRESS"), QStringLiteral("1"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(DOSETTA_CLI_PROGRAM), arguments);
}

// The path written, or empty when it could not be.
inline QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? path
                                                                                    : QString();
}
