#include "service/ServiceConfig.h"

#include "platform/UserFile.h"
#include "serial/PortProblem.h"

#include <QRegularExpression>
#include <QSysInfo>

bool ServiceConfig::read(const QString &path, ServiceConfig *into, QString *error)
{
    // One byte more than allowed tells a file that is too long.
    QByteArray text;
    return UserFile::read(path, MaxBytes + 1, &text, error) && parse(text, path, into, error);
}

bool ServiceConfig::validName(const QString &name)
{
    static const QRegularExpression fit(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return fit.match(name).hasMatch() && name != QLatin1String(".") && name != QLatin1String("..");
}

bool ServiceConfig::parse(const QByteArray &text, const QString &path, ServiceConfig *into,
                          QString *error)
{
    ServiceConfig config;
    config.path = path;
    if (text.size() > MaxBytes) {
        *error = QStringLiteral("%1: longer than %2 bytes: no configuration file of ours")
                     .arg(path)
                     .arg(MaxBytes);
        return false;
    }
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString why;
        if (line.startsWith(QLatin1Char('['))) {
            const QStringList words = line.endsWith(QLatin1Char(']'))
                                          ? line.mid(1, line.size() - 2).simplified().split(' ')
                                          : QStringList();
            if (words.size() != 2 || words.first() != QLatin1String("pump")) {
                why = QStringLiteral("\"%1\" is no section of ours: a pump's is [pump NAME]")
                          .arg(line);
            } else if (!validName(words.last())) {
                why = QStringLiteral("\"%1\" cannot name a pump: letters, digits, '.', '_' and "
                                     "'-', 64 at most")
                          .arg(words.last());
            } else if (config.pumps.size() >= MaxPumps) {
                why = QStringLiteral("more than %1 pumps").arg(MaxPumps);
            } else {
                for (const Section &section : config.pumps) {
                    if (section.name == words.last())
                        why = QStringLiteral("pump %1 has its section at line %2 already")
                                  .arg(section.name)
                                  .arg(section.line);
                }
                if (why.isEmpty())
                    config.pumps.push_back({words.last(), number, {}});
            }
        } else {
            const int equals = line.indexOf(QLatin1Char('='));
            const QString key = line.left(equals).trimmed();
            if (equals < 0 || key.isEmpty()) {
                why = QStringLiteral("not a \"key = value\" line");
            } else {
                const Setting setting{key, line.mid(equals + 1).trimmed(), number};
                if (config.pumps.isEmpty())
                    config.shared.push_back(setting);
                else
                    config.pumps.last().settings.push_back(setting);
            }
        }
        if (!why.isEmpty()) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(why);
            return false;
        }
    }
    *into = config;
    return true;
}

bool ServiceConfig::plans(const QString &credentials, const QVector<Setting> &commandLine,
                          QVector<PumpPlan> *into, QString *error) const
{
    const auto where = [this](const Setting &s) {
        return s.line > 0 ? QStringLiteral("%1:%2").arg(path).arg(s.line)
                          : QStringLiteral("--%1").arg(s.key);
    };
    const auto apply = [&](PumpPlan &plan, const QVector<Setting> &settings,
                           bool inSection = false) {
        for (const Setting &s : settings) {
            QString why;
            if (s.key == QLatin1String(ServiceKey)) {
                // The service's own, read by service(); it names no pump.
                if (!inSection)
                    continue;
                why = QStringLiteral("service belongs above the first section: it names the "
                                     "whole service, not one pump");
            } else if (!pumps.isEmpty() && s.line > 0 && s.key == QLatin1String("port") &&
                       plan.name.isEmpty())
                why = QStringLiteral("port belongs in a pump's section: each pump has a line "
                                     "of its own");
            else if (!plan.take(s.key, s.value, path, &why) && why.isEmpty())
                why = QStringLiteral("unknown key \"%1\"").arg(s.key);
            if (!why.isEmpty()) {
                *error = QStringLiteral("%1: %2").arg(where(s), why);
                return false;
            }
        }
        return true;
    };
    const auto finish = [&](PumpPlan &plan) {
        QString why;
        if (!plan.bridge.readCredentials(credentials, &why)) {
            *error = why;
            return false;
        }
        return apply(plan, commandLine);
    };

    QVector<PumpPlan> plans;
    if (pumps.isEmpty()) {
        PumpPlan plan;
        if (!apply(plan, shared) || !finish(plan))
            return false;
        plans.push_back(plan);
        *into = plans;
        return true;
    }
    for (const Section &section : pumps) {
        PumpPlan plan;
        // The shared settings are checked once, without a name, so that a misplaced port is
        // caught; then taken for this pump.
        if (!apply(plan, shared))
            return false;
        plan = PumpPlan();
        plan.name = section.name;
        if (!apply(plan, shared))
            return false;
        plan.sharedSoFar();
        if (!apply(plan, section.settings, true) || !finish(plan))
            return false;
        const QString at = QStringLiteral("%1:%2: pump %3").arg(path).arg(section.line);
        QString problem = plan.port.isEmpty() ? QStringLiteral("no port given") : plan.problem();
        // Two pumps in one service may not share what only one can have.
        const QString device = PortProblem::systemLocation(plan.port);
        const QString id =
            plan.bridge.topicPrefix + QLatin1Char('/') + plan.pumpId(QSysInfo::machineHostName());
        for (const PumpPlan &other : plans) {
            if (!problem.isEmpty())
                break;
            const QString otherDevice = PortProblem::systemLocation(other.port);
            const QString canonical = PortProblem::devicePath(device);
            if (device == otherDevice ||
                (!canonical.isEmpty() && canonical == PortProblem::devicePath(otherDevice)))
                problem = QStringLiteral("its port %1 is pump %2's too: a line serves one pump")
                              .arg(plan.port, other.name);
            else if (plan.mqtt() && other.mqtt() &&
                     id == other.bridge.topicPrefix + QLatin1Char('/') +
                               other.pumpId(QSysInfo::machineHostName()))
                problem = QStringLiteral("its topics %1 are pump %2's too: give it an id of "
                                         "its own")
                              .arg(id, other.name);
            else if (plan.silaOn && other.silaOn && plan.sila.listenPort != 0 &&
                     plan.sila.listenPort == other.sila.listenPort)
                problem = QStringLiteral("its SiLA port %1 is pump %2's too")
                              .arg(plan.sila.listenPort)
                              .arg(other.name);
        }
        if (!problem.isEmpty()) {
            *error = at.arg(section.name) + QStringLiteral(": ") + problem;
            return false;
        }
        plans.push_back(plan);
    }
    *into = plans;
    return true;
}

bool ServiceConfig::service(const QString &credentials, const QVector<Setting> &commandLine,
                            const QString &host, const QVector<PumpPlan> &plans, ServicePlan *into,
                            QString *error) const
{
    ServicePlan side;
    PumpPlan shares;
    int line = 0;
    QVector<Setting> settings;
    for (const Setting &s : shared) {
        if (s.key == QLatin1String(ServiceKey)) {
            side.name = s.value;
            line = s.line;
        } else {
            settings.push_back(s);
        }
    }
    // The settings were checked by plans(): only what they hold is wanted here.
    QString why;
    for (const Setting &s : settings)
        shares.take(s.key, s.value, path, &why);
    if (!shares.bridge.readCredentials(credentials, &why)) {
        *error = why;
        return false;
    }
    for (const Setting &s : commandLine)
        shares.take(s.key, s.value, path, &why);
    const QString at = QStringLiteral("%1:%2: ").arg(path).arg(line);
    if (line > 0 && !validName(side.name)) {
        *error = at + QStringLiteral("\"%1\" cannot name the service: letters, digits, '.', '_' "
                                     "and '-', 64 at most")
                          .arg(side.name);
        return false;
    }
    if (side.name.isEmpty())
        side.name = validName(host) ? host : QStringLiteral("dosetta");
    side.bridge = shares.bridge;
    side.settings = shares.settings;
    side.settings.prepend(QLatin1String(ServiceKey) + QLatin1Char('=') + side.name);
    for (const PumpPlan &plan : plans) {
        if (side.mqtt() && plan.mqtt() && plan.bridge.topicPrefix == side.bridge.topicPrefix &&
            plan.pumpId(host) == side.name) {
            *error = (line > 0 ? at : path + QStringLiteral(": ")) +
                     QStringLiteral("the service's topics %1/%2 are pump %3's too: name the "
                                    "service otherwise (service = NAME)")
                         .arg(side.bridge.topicPrefix, side.name, plan.name);
            return false;
        }
    }
    *into = side;
    return true;
}
