#pragma once

#include "ChildProcess.h"
#include "TrafficLog.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>

// The program and simulated pumps as separate processes, the way a lab runs them: each pump is
// `fluxo-sim --log --link <dir>/<name>` at 9600 baud, each copy of the program starts headless
// with a settings directory, a runtime directory (instance locks) and a port list of its own
// rig, shared by all copies started from the same rig.
class ProcessRig
{
public:
    // Unprivileged copies run as this user and group when the test runs as root: otherwise file
    // permissions would not stop them.
    static constexpr int NobodyId = 65534;

    // The help collection an unprivileged copy finds beside itself.
    enum class Help { Readable, Unreadable, Absent };

    struct Preset
    {
        int instance = 1;
        QString port;
        QString address; // as written in the file; "" leaves the key out
    };

    ProcessRig();
    ~ProcessRig();

    bool isValid() const { return dir.isValid(); }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString configHome() const { return path("config"); }
    QString settingsFile() const;

    // Starts a pump and waits for its device. extra: more options ("--seed", "3").
    ChildProcess *startPump(const QString &name, int address, const QStringList &extra = {});
    ChildProcess *pump(const QString &name) const;
    QString linkPath(const QString &name) const { return path(name + "-link"); }
    // The pump's current device (the last one it printed: it prints a new one after a hang-up).
    QString devicePath(const QString &name) const;
    TrafficLog pumpLog(const QString &name) const;

    // Writes the settings file: one group per preset, as the program itself writes them.
    bool writeSettings(const std::vector<Preset> &presets);

    // Starts a copy of the program. ports: the DOSETTA_PORTS list; unprivileged: as NobodyId
    // when running as root, from a copy in the rig (the build tree may lie in a folder only its
    // owner can enter), with the help collection as setUnprivilegedHelp() chose.
    ChildProcess *startProgram(const QString &tag, const QStringList &ports,
                               bool unprivileged = false, const QStringList &extraEnv = {});
    void setUnprivilegedHelp(Help help) { unprivilegedHelp = help; }
    ChildProcess *program(const QString &tag) const;
    // The instance number whose lock the process holds, or 0.
    static int instanceHeld(const ChildProcess &process);
    // Opened devices under /dev/pts of the process.
    static QStringList terminalsHeld(const ChildProcess &process);

    // Ends every process still running (programs first, with SIGTERM; then the pumps).
    void stopAll();

    static bool runningAsRoot();

private:
    // The program (and its help) where an unprivileged user can run it; empty on failure.
    QString unprivilegedProgram();

    QTemporaryDir dir;
    Help unprivilegedHelp = Help::Readable;
    std::map<QString, std::unique_ptr<ChildProcess>> pumps;
    std::map<QString, std::unique_ptr<ChildProcess>> programs;
};
