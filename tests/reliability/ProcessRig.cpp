#include "ProcessRig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <unistd.h>

ProcessRig::ProcessRig()
    : dir(QDir::temp().filePath(QStringLiteral("dosetta-rig-XXXXXX")))
{
    if (!dir.isValid())
        return;
    // Logs and settings stay for a look after a failure.
    if (qEnvironmentVariableIsSet("DOSETTA_KEEP_RIG")) {
        dir.setAutoRemove(false);
        qInfo("rig kept in %s", qPrintable(dir.path()));
    }
    // Unprivileged copies must reach their settings, locks and the pumps' links in here.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                          QFile::ExeGroup);
    QDir(dir.path()).mkpath("config/Halvo Dorvex");
    for (const char *own : {"run", "cache", "run-nobody", "cache-nobody"}) {
        QDir(dir.path()).mkpath(own);
        QFile::setPermissions(path(own), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (runningAsRoot()) {
        for (const char *own : {"run-nobody", "cache-nobody"}) {
            const QByteArray p = QFile::encodeName(path(own));
            [[maybe_unused]] const int rc = ::chown(p.constData(), NobodyId, NobodyId);
        }
    }
}

ProcessRig::~ProcessRig()
{
    stopAll();
}

bool ProcessRig::runningAsRoot()
{
    return ::geteuid() == 0;
}

QString ProcessRig::settingsFile() const
{
    return path("config/Halvo Dorvex/Fluxo Remote Control.conf");
}

ChildProcess *ProcessRig::startPump(const QString &name, int address, const QStringList &extra)
{
    auto pump = std::make_unique<ChildProcess>();
    const QStringList arguments =
        QStringList{"--address",   QString::number(address), "--baud", "9600", "--log", "--link",
                    linkPath(name)} +
        extra;
    if (!pump->start(QStringLiteral(FLUXO_SIM_PATH), arguments, {}, dir.path(), dir.path(), name))
        return nullptr;
    ChildProcess *started = pump.get();
    pumps[name] = std::move(pump);
    QElapsedTimer clock;
    clock.start();
    while (devicePath(name).isEmpty() && clock.elapsed() < 10000 && started->running())
        QThread::msleep(20);
    return devicePath(name).isEmpty() ? nullptr : started;
}

ChildProcess *ProcessRig::pump(const QString &name) const
{
    const auto found = pumps.find(name);
    return found == pumps.end() ? nullptr : found->second.get();
}

QString ProcessRig::devicePath(const QString &name) const
{
    const ChildProcess *p = pump(name);
    if (p == nullptr)
        return {};
    const QList<QByteArray> lines = p->standardOutput().trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last().trimmed());
}

TrafficLog ProcessRig::pumpLog(const QString &name) const
{
    const ChildProcess *p = pump(name);
    return TrafficLog(TrafficLog::parse(p != nullptr ? p->standardError() : QByteArray()));
}

bool ProcessRig::writeSettings(const std::vector<Preset> &presets)
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text;
    for (const Preset &p : presets) {
        text += "[DOSETTA_INSTANCE_" + QByteArray::number(p.instance) + "]\n";
        if (!p.address.isEmpty())
            text += "Communication\\Address=" + p.address.toUtf8() + "\n";
        // The key ends in a closing parenthesis, which the file format escapes.
        if (!p.port.isEmpty())
            text += "Communication\\Port%29=" + p.port.toUtf8() + "\n";
        text += "\n";
    }
    return file.write(text) == text.size();
}

ChildProcess *ProcessRig::startProgram(const QString &tag, const QStringList &ports,
                                       bool unprivileged, const QStringList &extraEnv)
{
    const bool drop = unprivileged && runningAsRoot();
    QStringList environment{"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + configHome(),
                            "XDG_RUNTIME_DIR=" + path(drop ? "run-nobody" : "run"),
                            "XDG_CACHE_HOME=" + path(drop ? "cache-nobody" : "cache"),
                            "DOSETTA_PORTS=" + ports.join(':')};
    if (drop)
        environment << "HOME=" + path("cache-nobody");
    environment += extraEnv;

    QString program = unprivileged ? unprivilegedProgram() : QStringLiteral(DOSETTA_PATH);
    if (program.isEmpty())
        return nullptr;
    QStringList arguments;
    if (drop) {
        arguments =
            QStringList{"--reuid=" + QString::number(NobodyId),
                        "--regid=" + QString::number(NobodyId), "--clear-groups", "--", program};
        program = QStringLiteral("setpriv");
    }
    auto copy = std::make_unique<ChildProcess>();
    const QString workingDir =
        QFileInfo(unprivileged ? path("bin/dosetta") : QStringLiteral(DOSETTA_PATH)).absolutePath();
    if (!copy->start(program, arguments, environment, workingDir, dir.path(), tag))
        return nullptr;
    ChildProcess *started = copy.get();
    programs[tag] = std::move(copy);
    return started;
}

QString ProcessRig::unprivilegedProgram()
{
    const QString copy = path("bin/dosetta");
    QDir help(path("bin/doc"));
    help.removeRecursively();
    if (!QFileInfo::exists(copy) &&
        (!QDir(dir.path()).mkpath("bin") || !QFile::copy(QStringLiteral(DOSETTA_PATH), copy)))
        return {};
    const QFileDevice::Permissions everyone =
        QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    if (!QFile::setPermissions(copy, everyone | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ExeGroup | QFile::ExeOther))
        return {};
    if (unprivilegedHelp == Help::Absent)
        return copy;
    const QDir built(QFileInfo(QStringLiteral(DOSETTA_PATH)).absoluteDir().filePath("doc"));
    if (!QDir(dir.path()).mkpath("bin/doc"))
        return {};
    for (const QString &name : built.entryList(QDir::Files)) {
        const QString target = help.filePath(name);
        const QFileDevice::Permissions mode =
            unprivilegedHelp == Help::Readable ? everyone : QFileDevice::Permissions();
        if (!QFile::copy(built.filePath(name), target) || !QFile::setPermissions(target, mode))
            return {};
    }
    return copy;
}

ChildProcess *ProcessRig::program(const QString &tag) const
{
    const auto found = programs.find(tag);
    return found == programs.end() ? nullptr : found->second.get();
}

int ProcessRig::instanceHeld(const ChildProcess &process)
{
    static const QRegularExpression lockName(QStringLiteral("/DOSETTA_(\\d+)\\.lock$"));
    for (const QString &file : process.openFiles()) {
        const QRegularExpressionMatch m = lockName.match(file);
        if (m.hasMatch())
            return m.captured(1).toInt();
    }
    return 0;
}

QStringList ProcessRig::terminalsHeld(const ChildProcess &process)
{
    QStringList terminals;
    for (const QString &file : process.openFiles()) {
        if (file.startsWith(QLatin1String("/dev/pts/")) && !terminals.contains(file))
            terminals << file;
    }
    return terminals;
}

void ProcessRig::stopAll()
{
    for (auto &p : programs)
        p.second->signal(SIGTERM);
    for (auto &p : programs)
        p.second->waitForEnd(5000);
    for (auto &p : pumps)
        p.second->signal(SIGTERM);
    for (auto &p : pumps)
        p.second->waitForEnd(5000);
}
