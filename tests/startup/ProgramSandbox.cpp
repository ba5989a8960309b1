#include "ProgramSandbox.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSettings>

#ifndef DOSETTA_PROGRAM
#error "DOSETTA_PROGRAM must name the built dosetta"
#endif

namespace {

QString groupKey(int instance, const QString &key)
{
    return QStringLiteral("DOSETTA_INSTANCE_%1/%2").arg(instance).arg(key);
}

} // namespace

ProgramSandbox::ProgramSandbox()
{
    if (!dir.isValid())
        return;
    QDir(dir.path()).mkpath(QStringLiteral("config/Halvo Dorvex"));
    QDir(dir.path()).mkpath(QStringLiteral("run"));
    // The runtime directory must be the user's alone.
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool ProgramSandbox::isValid() const
{
    return dir.isValid() && QDir(runtimeDir()).exists();
}

QString ProgramSandbox::runtimeDir() const
{
    return dir.filePath(QStringLiteral("run"));
}

QString ProgramSandbox::settingsFile() const
{
    return dir.filePath(QStringLiteral("config/Halvo Dorvex/Fluxo Remote Control.conf"));
}

void ProgramSandbox::presetInstance(int instance, const QString &port, int address)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(groupKey(instance, QStringLiteral("Communication/Port)")), port);
    settings.setValue(groupKey(instance, QStringLiteral("Communication/Address")), address);
    settings.sync();
}

QVariant ProgramSandbox::stored(int instance, const QString &key) const
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(groupKey(instance, key));
}

std::unique_ptr<QProcess> ProgramSandbox::startProgram(const QStringList &ports,
                                                       const QStringList &arguments) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    environment.insert(QStringLiteral("DOSETTA_PORTS"), ports.join(QLatin1Char(':')));
    auto program = std::make_unique<QProcess>();
    program->setProcessEnvironment(environment);
    program->setWorkingDirectory(dir.path());
    // Its chatter (platform plugin notes) is not the test's business.
    program->setStandardOutputFile(QProcess::nullDevice());
    program->setStandardErrorFile(QProcess::nullDevice());
    program->start(QStringLiteral(DOSETTA_PROGRAM), arguments);
    program->waitForStarted(5000);
    return program;
}

void ProgramSandbox::stopProgram(QProcess &program)
{
    if (program.state() == QProcess::NotRunning)
        return;
    program.terminate();
    if (!program.waitForFinished(3000)) {
        program.kill();
        program.waitForFinished(1000);
    }
}
