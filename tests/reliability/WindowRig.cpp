#include "WindowRig.h"

#include "BusinessLogic/CommandSpezifier.h"
#include "platform/InstanceSettings.h"
#include "pumpcore/PumpCore.h"
#include "ui/mainForm.h"

#include <QDir>
#include <QLabel>
#include <QSettings>

WindowRig::WindowRig(fluxosim::ServerOptions pumpOptions)
    : dir(QDir::temp().filePath(QStringLiteral("dosetta-window-XXXXXX")))
    , options(std::move(pumpOptions))
{
    options.linkPath = dir.filePath(QStringLiteral("pump")).toStdString();
}

WindowRig::~WindowRig()
{
    // The program's order in reverse: window, core; then the pump.
    stallProbe.reset();
    form.reset();
    core.reset();
    if (server)
        server->stop();
}

bool WindowRig::start(QString *error)
{
    if (!dir.isValid()) {
        *error = QStringLiteral("no temporary directory");
        return false;
    }
    server = std::make_unique<fluxosim::PumpServer>(options);
    server->setListener([this](const fluxosim::LogEntry &entry) {
        std::string command;
        {
            std::lock_guard<std::mutex> lock(logMutex);
            entries.push_back(entry);
            if (trigger && trigger(entry)) {
                trigger = nullptr;
                command = triggered;
            }
        }
        // Outside the lock: the command logs an entry of its own, which comes back here.
        if (!command.empty())
            server->command(command);
    });
    std::string why;
    if (!server->start(&why)) {
        *error = QString::fromStdString(why);
        return false;
    }

    // This copy's port and address, as the operator left them; the port joins the list.
    const QString port = QString::fromStdString(options.linkPath);
    qputenv("DOSETTA_PORTS", QFile::encodeName(port));
    InstanceSettings::setApplicationNames();
    {
        QSettings settings;
        const QString group = InstanceSettings::groupPrefix() +
                              QString::number(InstanceSettings::instanceNumber()) + '/';
        settings.setValue(group + InstanceSettings::portKey(), port);
        settings.setValue(group + InstanceSettings::addressKey(), options.pump.address);
    }

    core = std::make_unique<PumpCore>();
    runner = std::make_unique<ProgramRunner>(*core);
    form = std::make_unique<mainForm>(*core, *runner);
    for (BusinessLogic::Command *command : core->table())
        form->addCommand(command);
    form->startUp();
    form->startUpdateTimer();

    label = form->findChild<QLabel *>(QStringLiteral("labelConnectionState"));
    if (label == nullptr) {
        *error = QStringLiteral("no labelConnectionState");
        return false;
    }
    stallProbe = std::make_unique<StallProbe>();
    stallProbe->setWatcher([this] { watchLinkState(); });
    return true;
}

BusinessLogic::Command *WindowRig::command(BusinessLogic::CommandSpezifier id) const
{
    return core->command(id);
}

std::int64_t WindowRig::fault(const std::string &command)
{
    const std::int64_t at = now();
    server->command(command);
    return at;
}

void WindowRig::faultWhen(std::function<bool(const fluxosim::LogEntry &)> when, std::string command)
{
    std::lock_guard<std::mutex> lock(logMutex);
    trigger = std::move(when);
    triggered = std::move(command);
}

void WindowRig::watchLinkState()
{
    const QString text = label->text();
    const QString tip = label->toolTip();
    if (states.empty() || states.back().text != text || states.back().toolTip != tip)
        states.push_back({now(), text, tip});
}

std::vector<fluxosim::LogEntry> WindowRig::takeLog()
{
    std::lock_guard<std::mutex> lock(logMutex);
    std::vector<fluxosim::LogEntry> taken;
    taken.swap(entries);
    return taken;
}

std::vector<fluxosim::LogEntry> WindowRig::logSoFar() const
{
    std::lock_guard<std::mutex> lock(logMutex);
    return entries;
}
