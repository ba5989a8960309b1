#include "cli/CliRunner.h"

#include "GUI/OperationItem.h"
#include "cli/CalibrateCommand.h"
#include "cli/CliPump.h"
#include "cli/JournalCommand.h"
#include "cli/ProgramCheckCommand.h"
#include "cli/ProgramRunCommand.h"
#include "cli/RunCommands.h"
#include "cli/ServeCommand.h"
#include "cli/SilaCommand.h"
#include "cli/TotalsCommand.h"
#include "cli/WatchCommand.h"
#include "journal/JournalReader.h"
#include "journal/JournalStore.h"
#include "platform/Suggestion.h"
#include "pump/ModelLimits.h"
#include "serial/PortCatalog.h"

#include <QFileInfo>

#include <algorithm>
#include <functional>

using BusinessLogic::AnswerOutcome;
using Pump::KeyTable;

namespace {

QString unknownKey(const QString &name)
{
    // An output name, as a script read it from JSON, leads to its key too.
    QStringList names;
    for (const KeyTable::Key &key : KeyTable::keys())
        names << key.name << key.output;
    QString best = Suggestion::closest(name, names);
    for (const KeyTable::Key &key : KeyTable::keys()) {
        if (key.output == best)
            best = key.name;
    }
    return QStringLiteral("unknown key \"%1\"%2; 'dosetta-cli help keys' lists them")
        .arg(name,
             best.isEmpty() ? QString() : QStringLiteral(" (did you mean \"%1\"?)").arg(best));
}

QString outcomeText(AnswerOutcome outcome)
{
    switch (outcome) {
    case AnswerOutcome::Answered:
        return QStringLiteral("answered");
    case AnswerOutcome::Unacknowledged:
        return QStringLiteral("taken without acknowledgement");
    case AnswerOutcome::Silent:
        return QStringLiteral("no answer");
    case AnswerOutcome::Nak:
        return QStringLiteral("refused (NAK)");
    case AnswerOutcome::InvalidFrame:
        return QStringLiteral("check character wrong");
    case AnswerOutcome::Cleared:
        break;
    }
    return QStringLiteral("cleared");
}

void add(QJsonObject &object, const QJsonObject &fields)
{
    for (auto it = fields.begin(); it != fields.end(); ++it)
        object.insert(it.key(), it.value());
}

} // namespace

CliRunner::CliRunner(const CliArguments &arguments)
    : args(arguments)
    , output(arguments.json)
    , pump(std::make_unique<CliPump>(args, output))
{}

CliRunner::~CliRunner() = default;

int CliRunner::run()
{
    const QString &c = args.command;
    const std::vector<std::pair<QString, std::function<int()>>> commands = {
        {QStringLiteral("ports"),
         [this] {
             return ports();
         }},
        {QStringLiteral("search"),
         [this] {
             return search();
         }},
        {QStringLiteral("status"),
         [this] {
             return status();
         }},
        {QStringLiteral("get"),
         [this] {
             return get();
         }},
        {QStringLiteral("set"),
         [this] {
             return set();
         }},
        {QStringLiteral("start"),
         [&] {
             return action(Id::Start, c);
         }},
        {QStringLiteral("stop"),
         [&] {
             return action(Id::Stop, c);
         }},
        {QStringLiteral("pause"),
         [&] {
             return action(Id::Pause, c);
         }},
        {QStringLiteral("prime"),
         [this] {
             return RunCommands(args, output, *pump).prime();
         }},
        {QStringLiteral("dispense"),
         [this] {
             return RunCommands(args, output, *pump).dispense();
         }},
        {QStringLiteral("run"),
         [this] {
             return RunCommands(args, output, *pump).run();
         }},
        {QStringLiteral("watch"),
         [this] {
             return WatchCommand(args, output, *pump).exec();
         }},
        {QStringLiteral("raw"),
         [this] {
             return raw();
         }},
        {QStringLiteral("serve"),
         [this] {
             return serve();
         }},
        {QStringLiteral("program"),
         [this] {
             return program();
         }},
        {QStringLiteral("calibrate"),
         [this] {
             return CalibrateCommand(args, output, *pump).exec();
         }},
        {QStringLiteral("journal"),
         [this] {
             return JournalCommand(args, output).exec();
         }},
        {QStringLiteral("totals"),
         [this] {
             return TotalsCommand(args, output).totals();
         }},
        {QStringLiteral("service"),
         [this] {
             QString id = args.values.value(QStringLiteral("pump"));
             int exit = Done;
             if (id.isEmpty() && !pump->choose(&exit))
                 return exit;
             if (id.isEmpty())
                 id = QStringLiteral("%1:%2").arg(pump->port()).arg(pump->address());
             return TotalsCommand(args, output).serviceDone(id);
         }},
        {QStringLiteral("sila"),
         [this] {
             return SilaCommand(args, output, *pump).exec();
         }},
    };
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [&c](const auto &command) { return command.first == c; });
    const int code = it != commands.end() ? it->second() : help();
    // A script reading standard output alone learns of a failure too.
    if (code != Done)
        output.failure(code);
    return code;
}

int CliRunner::ports()
{
    QHash<QString, QString> byId; // device -> stable link
    for (const PortCatalog::Entry &entry : PortCatalog::byIdPorts())
        byId.insert(PortProblem::devicePath(entry.location), entry.location);
    QList<PortCatalog::Entry> entries = PortCatalog::systemPorts();
    entries += PortCatalog::environmentPorts();
    for (const PortCatalog::Entry &entry : entries) {
        const QString path = entry.info.isNull() ? entry.location : entry.info.systemLocation();
        const QString name = entry.info.isNull() ? entry.name : entry.info.portName();
        const QString stable = byId.value(PortProblem::devicePath(path));
        const QString description = entry.info.isNull() ? QString() : entry.info.description();
        output.result(
            {{QStringLiteral("name"), name},
             {QStringLiteral("path"), path},
             {QStringLiteral("by_id"), stable.isEmpty() ? QJsonValue() : stable},
             {QStringLiteral("description"), description}},
            QStringList{name, path, stable.isEmpty() ? QStringLiteral("-") : stable, description}
                .join(QLatin1Char('\t')));
    }
    return Done;
}

int CliRunner::search()
{
    int exit = Done;
    if (!pump->connect(&exit))
        return exit;
    PumpSession &session = pump->session();
    const int from = args.intValue(QStringLiteral("from"), 0);
    const int to = args.intValue(QStringLiteral("to"), KeyTable::HighestAddress);
    const bool terminal = CliOutput::errorIsTerminal();
    int found = 0;
    for (int a = from; a <= to; ++a) {
        if (terminal)
            output.progress(
                QStringLiteral("\r\x1b[Ksearching address %1 (%2-%3)").arg(a).arg(from).arg(to));
        session.communication().setAddress(a);
        // A silent address is the normal case here: asked once, not again until the time-out.
        const PumpSession::Exchange e = session.ask(Id::ExecuteCommCheck);
        bool ok = false;
        const int n = GUI::OperationItem::readInteger(QString::fromStdString(e.answer), &ok);
        if (e.answered() && ok && n >= 0) {
            ++found;
            if (terminal)
                output.progress(QStringLiteral("\r\x1b[K"));
            output.result({{QStringLiteral("address"), a}}, QString::number(a));
        }
        if (!session.portOpen())
            return pump->silent(QStringLiteral("search"));
    }
    if (terminal)
        output.progress(QStringLiteral("\r\x1b[K"));
    if (found == 0) {
        output.message(QStringLiteral("no pump answered at addresses %1 to %2 on %3")
                           .arg(from)
                           .arg(to)
                           .arg(pump->port()));
        return NoAnswer;
    }
    return Done;
}

int CliRunner::status()
{
    int exit = Done;
    if (!pump->connect(&exit))
        return exit;
    PumpSession &session = pump->session();
    QJsonObject object;
    QStringList lines;
    for (const KeyTable::Key &key : KeyTable::keys()) {
        if (!key.readable())
            continue;
        if (!session.read(key))
            return pump->silent(key.name);
        add(object, KeyTable::fields(key, session.items()));
        lines << QStringLiteral("%1: %2").arg(key.name, KeyTable::text(key, session.items()));
    }
    // The journal's totals beside what the pump said; left out when it cannot be read.
    JournalReader reader(JournalStore::defaultPath());
    const QString id = QStringLiteral("%1:%2").arg(pump->port()).arg(pump->address());
    const QVector<JournalTotals> totals =
        QFileInfo(JournalStore::defaultPath()).isFile() && reader.open() ? reader.totals(id)
                                                                         : QVector<JournalTotals>();
    if (reader.problem().isEmpty() && QFileInfo(JournalStore::defaultPath()).isFile()) {
        JournalTotals t = totals.value(0);
        t.pump = id;
        const JournalTotals::Thresholds limits = TotalsCommand::thresholds(args);
        QJsonObject o = t.toJson(limits);
        object.insert(QStringLiteral("service_due"), o.take(QStringLiteral("service_due")));
        object.insert(QStringLiteral("totals"), o);
        lines << QStringLiteral("total: %1 ml, %2 h")
                     .arg(t.volumeMl, 0, 'f', 3)
                     .arg(t.hours, 0, 'f', 2);
        const QJsonValue due = t.serviceDueValue(limits);
        if (!due.isNull())
            lines << QStringLiteral("service due: %1").arg(due.toBool() ? "yes" : "no");
    }
    output.result(object, lines.join(QLatin1Char('\n')));
    return pump->errorsIn(KeyTable::key(QStringLiteral("errors")));
}

int CliRunner::get()
{
    std::vector<const KeyTable::Key *> keys;
    for (const QString &name : args.arguments) {
        const KeyTable::Key *key = KeyTable::find(name);
        if (key == nullptr || !key->readable()) {
            output.message(key == nullptr
                               ? unknownKey(name)
                               : QStringLiteral("%1 cannot be read from the pump").arg(name));
            return Usage;
        }
        keys.push_back(key);
    }
    int exit = Done;
    if (!pump->connect(&exit))
        return exit;
    PumpSession &session = pump->session();
    QJsonObject object;
    QStringList lines;
    for (const KeyTable::Key *key : keys) {
        if (!session.read(*key))
            return pump->silent(key->name);
        add(object, KeyTable::fields(*key, session.items()));
        const QString text = KeyTable::text(*key, session.items());
        lines << (keys.size() == 1 ? text : QStringLiteral("%1: %2").arg(key->name, text));
    }
    output.result(object, lines.join(QLatin1Char('\n')));
    for (const KeyTable::Key *key : keys) {
        if (pump->errorsIn(*key) != Done)
            return Refused;
    }
    return Done;
}

int CliRunner::set()
{
    const QString &name = args.arguments.at(0);
    const QString &value = args.arguments.at(1);
    const KeyTable::Key *key = KeyTable::find(name);
    if (key == nullptr) {
        output.message(unknownKey(name));
        return Usage;
    }
    KeyTable::Setting setting = KeyTable::parse(*key, value);
    if (!setting.ok()) {
        output.message(setting.error);
        return Usage;
    }
    int exit = Done;
    if (!pump->connect(&exit))
        return exit;
    PumpSession &session = pump->session();
    // What the widest limits let through may still lie beyond the connected pump type's.
    if (Pump::ModelLimits::narrows(*key)) {
        if (!session.read(KeyTable::key(QStringLiteral("model"))))
            return pump->silent(QStringLiteral("model"));
        setting = KeyTable::parse(
            Pump::ModelLimits::of(*key, Pump::ModelLimits::pumpType(session.items().all())), value);
        if (!setting.ok()) {
            output.message(setting.error);
            return Usage;
        }
    }
    if (!pump->send(setting.command, setting.value, QStringLiteral("%1 %2").arg(name, value),
                    &exit))
        return exit;
    if (!key->readable()) {
        output.result({{key->output, KeyTable::json(*key, setting.value)}}, value);
        return Done;
    }
    // The pump answers at its new address from now on.
    if (setting.command == Id::SetPumpAddress)
        session.communication().setAddress(setting.value);
    if (!session.read(*key))
        return pump->silent(name);
    output.result(KeyTable::fields(*key, session.items()), KeyTable::text(*key, session.items()));
    return pump->errorsIn(*key);
}

int CliRunner::action(Id command, const QString &name)
{
    int exit = Done;
    if (!pump->connect(&exit) || !pump->send(command, 0, name, &exit))
        return exit;
    output.result(
        {{QStringLiteral("command"), name}, {QStringLiteral("result"), QStringLiteral("accepted")}},
        QString());
    return Done;
}

int CliRunner::raw()
{
    int exit = Done;
    if (!pump->connect(&exit))
        return exit;
    PumpSession &session = pump->session();
    const PumpSession::Exchange e = session.runText(args.arguments.at(0).toStdString());
    // Silence and a refusal carry the command's own placeholder text, not the pump's.
    const QString answer = e.outcome == AnswerOutcome::Silent || e.outcome == AnswerOutcome::Nak
                               ? QString()
                               : QString::fromStdString(e.answer);
    output.result({{QStringLiteral("sent"), session.lastSent()},
                   {QStringLiteral("answer"), answer},
                   {QStringLiteral("check"), outcomeText(e.outcome)}},
                  QStringLiteral("%1\t%2").arg(answer, outcomeText(e.outcome)));
    switch (e.outcome) {
    case AnswerOutcome::Answered:
    case AnswerOutcome::Unacknowledged:
        return Done;
    case AnswerOutcome::Silent:
        return pump->silent(args.arguments.at(0));
    case AnswerOutcome::Nak:
        output.message(QStringLiteral("the pump refused %1").arg(args.arguments.at(0)));
        return Refused;
    default:
        output.message(
            QStringLiteral("the answer to %1 failed its check").arg(args.arguments.at(0)));
        return Refused;
    }
}

QString CliRunner::keysHelp()
{
    static const char *const groups[] = {"values", "settings", "identity and state"};
    // Columns of fixed width: the bash completion reads the first and the third.
    const auto row = [](const QString &input, const QString &output, const QString &range) {
        QString line = QStringLiteral("  %1 %2 %3\n").arg(input, -20).arg(output, -22).arg(range);
        while (line.endsWith(QLatin1String(" \n")))
            line.remove(line.size() - 2, 1);
        return line;
    };
    QString text =
        QStringLiteral("KEY is what get, set and the bridge's set/KEY take; OUTPUT names "
                       "the value in\nevery JSON output (get, status, watch, set, run, "
                       "dispense, the bridge's state).\n\"remote\" names what the bridge's "
                       "set/KEY needs: control (serve --allow-control)\nor config "
                       "(--allow-config).\n\n") +
        row(QStringLiteral("KEY"), QStringLiteral("OUTPUT"), QStringLiteral("RANGE AND UNIT"));
    int group = -1;
    for (const KeyTable::Key &key : KeyTable::keys()) {
        if (static_cast<int>(key.group) != group) {
            group = static_cast<int>(key.group);
            text += QStringLiteral("\n%1:\n").arg(QLatin1String(groups[group]));
        }
        QString access = key.readable() && key.settable() ? QStringLiteral("get, set")
                         : key.readable()                 ? QStringLiteral("get")
                                                          : QStringLiteral("set");
        if (key.permission != KeyTable::Permission::None)
            access += QStringLiteral("; remote: ") + KeyTable::permissionName(key.permission);
        QString range = KeyTable::range(key);
        if (range.isEmpty() && !key.unit.isEmpty())
            range = key.unit;
        text += row(key.name, key.output, range) +
                QStringLiteral("  %1 %2 (%3)\n").arg(QString(), -20).arg(key.help, access);
        const QString narrower = Pump::ModelLimits::notes(key);
        if (!narrower.isEmpty())
            text += QStringLiteral("  %1 on a %2\n").arg(QString(), -20).arg(narrower);
    }
    return text;
}

int CliRunner::serve()
{
    return ServeCommand(args, output, *pump).exec();
}

int CliRunner::program()
{
    // The action was checked with the command line.
    if (args.arguments.first() == QLatin1String("run"))
        return ProgramRunCommand(args, output, *pump).exec();
    return ProgramCheckCommand(args, output).exec();
}

int CliRunner::help()
{
    const QString topic = args.arguments.value(0);
    if (topic == QLatin1String("keys"))
        CliOutput::text(keysHelp());
    else if (!topic.isEmpty())
        CliOutput::text(CliArguments::commandHelp(topic));
    else
        CliOutput::text(CliArguments::usage());
    return Done;
}
