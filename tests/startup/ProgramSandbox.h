#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// A private place for copies of the program started as processes: a settings directory whose
// groups the test presets and reads back, and the runtime directory in which the copies take
// their instance numbers.
class ProgramSandbox
{
public:
    ProgramSandbox();

    bool isValid() const;
    QString path() const { return dir.path(); }
    QString runtimeDir() const;
    // The file the program reads its settings from under this sandbox's XDG_CONFIG_HOME.
    QString settingsFile() const;

    // The stored port and communication address of one instance.
    void presetInstance(int instance, const QString &port, int address);
    // A key below an instance's group, read back from the file as it is now.
    QVariant stored(int instance, const QString &key) const;

    // The program, headless, started in the sandbox with these ports offered in DOSETTA_PORTS.
    std::unique_ptr<QProcess> startProgram(const QStringList &ports,
                                           const QStringList &arguments = {}) const;
    // SIGTERM, then SIGKILL if it does not end within three seconds.
    static void stopProgram(QProcess &program);

private:
    QTemporaryDir dir;
};
