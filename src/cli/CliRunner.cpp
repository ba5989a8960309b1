#include "cli/CliRunner.h"

#include "cli/Suggestion.h"

#include "GUI/OperationItem.h"
#include "GUI/OperationItemStatus.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunLoop.h"
#include "platform/InstanceSettings.h"
#include "platform/TerminationSignals.h"
#include "pump/DurationText.h"
#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"
#include "recorder/ProcessSampler.h"
#include "recorder/SampleJson.h"
#include "remote/BridgeOptions.h"
#include "remote/BridgeSession.h"
#include "remote/HeadlessPump.h"
#include "remote/PumpBridge.h"
#include "serial/PortCatalog.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QSettings>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <functional>

using BusinessLogic::AnswerOutcome;
using Pump::KeyTable;

namespace {

// The window's stored choice for its first copy.
QVariant storedValue(const QString &key)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             InstanceSettings::organizationName(),
                             InstanceSettings::applicationName());
    return settings.value(InstanceSettings::groupPrefix() + QLatin1Char('1') + QLatin1Char('/') +
                          key);
}

QString unknownKey(const QString &name)
{
    QStringList names;
    for (const KeyTable::Key &key : KeyTable::keys())
        names << key.name;
    return QStringLiteral("unknown key \"%1\"%2; 'dosetta-cli help keys' lists them")
        .arg(name, Suggestion::hint(name, names));
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

QJsonObject keyObject(const KeyTable::Key &key, const Pump::PumpItems &items)
{
    return {{key.name, KeyTable::json(key, items)}};
}

} // namespace

CliRunner::CliRunner(const CliArguments &arguments)
    : args(arguments)
    , output(arguments.json)
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
         [&] {
             return action(Id::Prime, c);
         }},
        {QStringLiteral("dispense"),
         [this] {
             return dispense();
         }},
        {QStringLiteral("run"),
         [this] {
             return runFlow();
         }},
        {QStringLiteral("watch"),
         [this] {
             return watch();
         }},
        {QStringLiteral("raw"),
         [this] {
             return raw();
         }},
        {QStringLiteral("serve"),
         [this] {
             return serve();
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

bool CliRunner::findLine(int *exit, const QString &configPort, int configAddress)
{
    portName = args.port;
    if (portName.isEmpty())
        portName = configPort;
    if (portName.isEmpty())
        portName = qEnvironmentVariable("DOSETTA_PORT");
    if (portName.isEmpty())
        portName = storedValue(InstanceSettings::portKey()).toString();
    if (portName.isEmpty()) {
        output.message(QStringLiteral("no port given: use --port PORT or set DOSETTA_PORT "
                                      "('dosetta-cli ports' lists them)"));
        *exit = Usage;
        return false;
    }
    address = args.address >= 0 ? args.address : configAddress;
    if (address < 0 && qEnvironmentVariableIsSet("DOSETTA_ADDRESS")) {
        bool ok = false;
        address = qEnvironmentVariable("DOSETTA_ADDRESS").toInt(&ok, 10);
        if (!ok || address < 0 || address > InstanceSettings::HighestAddress) {
            output.message(QStringLiteral("DOSETTA_ADDRESS must be 0 to 99, not \"%1\"")
                               .arg(qEnvironmentVariable("DOSETTA_ADDRESS")));
            *exit = Usage;
            return false;
        }
    }
    if (address < 0) {
        bool ok = false;
        address = storedValue(InstanceSettings::addressKey()).toInt(&ok);
        if (!ok || address < 0 || address > InstanceSettings::HighestAddress)
            address = InstanceSettings::DefaultAddress;
    }
    return true;
}

bool CliRunner::connectPump(int *exit)
{
    if (!findLine(exit))
        return false;
    session = std::make_unique<PumpSession>(args.timeoutMs);
    if (!session->open(portName, address)) {
        const QString why = session->problem().text();
        output.message(why.isEmpty() ? QStringLiteral("%1 cannot be opened").arg(portName) : why);
        *exit = NoAnswer;
        return false;
    }
    return true;
}

int CliRunner::silent(const QString &what)
{
    if (session && !session->portOpen()) {
        output.message(
            QStringLiteral("%1: the port was lost. %2").arg(what, session->problem().text()));
    } else {
        output.message(QStringLiteral("%1: no answer from the pump at address %2 on %3 within "
                                      "%4 ms; check the cable, the pump's power and its address "
                                      "('dosetta-cli search')")
                           .arg(what)
                           .arg(address)
                           .arg(portName)
                           .arg(args.timeoutMs));
    }
    return NoAnswer;
}

std::optional<QStringList> CliRunner::errorFlags()
{
    const KeyTable::Key &errors = KeyTable::key(QStringLiteral("errors"));
    if (!session->read(errors))
        return std::nullopt;
    return KeyTable::json(errors, session->items()).toVariant().toStringList();
}

int CliRunner::errorsIn(const KeyTable::Key &key)
{
    if (key.name != QLatin1String("errors"))
        return Done;
    const QStringList errors = KeyTable::json(key, session->items()).toVariant().toStringList();
    if (errors.isEmpty())
        return Done;
    output.message(QStringLiteral("the pump reports: %1").arg(errors.join(QLatin1String(", "))));
    return Refused;
}

int CliRunner::refused(const QString &what)
{
    const std::optional<QStringList> errors = errorFlags();
    if (errors && !errors->isEmpty())
        output.message(QStringLiteral("the pump refused %1; it reports: %2")
                           .arg(what, errors->join(QLatin1String(", "))));
    else
        output.message(QStringLiteral("the pump refused %1").arg(what));
    return Refused;
}

bool CliRunner::send(Id command, long value, const QString &what, int *exit)
{
    const PumpSession::Exchange e = session->run(command, value);
    if (e.answered())
        return true;
    *exit = e.outcome == AnswerOutcome::Nak ? refused(what) : silent(what);
    return false;
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
    if (!connectPump(&exit))
        return exit;
    const int from = args.intValue(QStringLiteral("from"), 0);
    const int to = args.intValue(QStringLiteral("to"), InstanceSettings::HighestAddress);
    const bool terminal = CliOutput::errorIsTerminal();
    int found = 0;
    for (int a = from; a <= to; ++a) {
        if (terminal)
            output.progress(
                QStringLiteral("\r\x1b[Ksearching address %1 (%2-%3)").arg(a).arg(from).arg(to));
        session->communication().setAddress(a);
        // A silent address is the normal case here: asked once, not again until the time-out.
        const PumpSession::Exchange e = session->ask(Id::ExecuteCommCheck);
        bool ok = false;
        const int n = GUI::OperationItem::readInteger(QString::fromStdString(e.answer), &ok);
        if (e.answered() && ok && n >= 0) {
            ++found;
            if (terminal)
                output.progress(QStringLiteral("\r\x1b[K"));
            output.result({{QStringLiteral("address"), a}}, QString::number(a));
        }
        if (!session->portOpen())
            return silent(QStringLiteral("search"));
    }
    if (terminal)
        output.progress(QStringLiteral("\r\x1b[K"));
    if (found == 0) {
        output.message(QStringLiteral("no pump answered at addresses %1 to %2 on %3")
                           .arg(from)
                           .arg(to)
                           .arg(portName));
        return NoAnswer;
    }
    return Done;
}

int CliRunner::status()
{
    int exit = Done;
    if (!connectPump(&exit))
        return exit;
    QJsonObject object;
    QStringList lines;
    for (const KeyTable::Key &key : KeyTable::keys()) {
        if (!key.readable())
            continue;
        if (!session->read(key))
            return silent(key.name);
        object.insert(key.name, KeyTable::json(key, session->items()));
        lines << QStringLiteral("%1: %2").arg(key.name, KeyTable::text(key, session->items()));
    }
    output.result(object, lines.join(QLatin1Char('\n')));
    return errorsIn(KeyTable::key(QStringLiteral("errors")));
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
    if (!connectPump(&exit))
        return exit;
    QJsonObject object;
    QStringList lines;
    for (const KeyTable::Key *key : keys) {
        if (!session->read(*key))
            return silent(key->name);
        object.insert(key->name, KeyTable::json(*key, session->items()));
        const QString text = KeyTable::text(*key, session->items());
        lines << (keys.size() == 1 ? text : QStringLiteral("%1: %2").arg(key->name, text));
    }
    output.result(object, lines.join(QLatin1Char('\n')));
    for (const KeyTable::Key *key : keys) {
        if (errorsIn(*key) != Done)
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
    const KeyTable::Setting setting = KeyTable::parse(*key, value);
    if (!setting.ok()) {
        output.message(setting.error);
        return Usage;
    }
    int exit = Done;
    if (!connectPump(&exit) ||
        !send(setting.command, setting.value, QStringLiteral("%1 %2").arg(name, value), &exit))
        return exit;
    if (!key->readable()) {
        output.result({{name, value}}, value);
        return Done;
    }
    // The pump answers at its new address from now on.
    if (setting.command == Id::SetPumpAddress)
        session->communication().setAddress(setting.value);
    if (!session->read(*key))
        return silent(name);
    output.result(keyObject(*key, session->items()), KeyTable::text(*key, session->items()));
    return errorsIn(*key);
}

int CliRunner::action(Id command, const QString &name)
{
    int exit = Done;
    if (!connectPump(&exit) || !send(command, 0, name, &exit))
        return exit;
    output.result(
        {{QStringLiteral("command"), name}, {QStringLiteral("result"), QStringLiteral("accepted")}},
        QString());
    return Done;
}

std::optional<KeyTable::Setting> CliRunner::optionValue(const char *option, const char *key) const
{
    if (!args.values.contains(QLatin1String(option)))
        return std::nullopt;
    return KeyTable::parse(KeyTable::key(QLatin1String(key)),
                           args.values.value(QLatin1String(option)));
}

int CliRunner::startRun(const std::vector<Step> &steps, double targetVolume, int targetSeconds)
{
    int exit = Done;
    if (!connectPump(&exit))
        return exit;
    // Signals are caught from before the start on: a Ctrl-C in between still stops the pump. It
    // is looked at after each step, since a step blocks.
    RunLoop loop;
    for (const Step &step : steps) {
        if (!send(step.command, step.value, QLatin1String(step.what), &exit)) {
            // A start that met silence may still have been taken.
            return step.command == Id::Start && exit == NoAnswer ? stopRun(exit) : exit;
        }
        if (const std::optional<int> interrupted = loop.interruption())
            return stopRun(*interrupted);
    }
    if (!args.flags.contains(QStringLiteral("wait"))) {
        output.result({{QStringLiteral("command"), args.command},
                       {QStringLiteral("result"), QStringLiteral("started")}},
                      QString());
        return Done;
    }
    const int status = waitForRun(loop, args.command, targetVolume, targetSeconds);
    return status == Done ? Done : stopRun(status);
}

int CliRunner::stopRun(int status)
{
    // A lost port is tried again for as long as a silent pump is: an adapter that is back, or a
    // stable link that leads to the new device, still takes the Stop.
    QElapsedTimer clock;
    clock.start();
    while (!session->portOpen() && !session->communication().reopen() &&
           clock.elapsed() < args.timeoutMs)
        QThread::msleep(100);
    const QString why = status == RunLoop::ReaderGone ? QStringLiteral("output closed: ")
                        : status > 128                ? QStringLiteral("interrupted: ")
                                                      : QString();
    if (!session->portOpen())
        output.message(QStringLiteral("%1Stop could not be sent (%2); check the pump")
                           .arg(why, session->problem().text()));
    else if (session->run(Id::Stop).answered())
        output.message(QStringLiteral("%1the pump was stopped").arg(why));
    else
        output.message(
            QStringLiteral("%1Stop was sent, but the pump did not confirm it; check the pump")
                .arg(why));
    return status;
}

int CliRunner::dispense()
{
    const std::optional<KeyTable::Setting> volume = optionValue("volume", "volume");
    const std::optional<KeyTable::Setting> rate = optionValue("rate", "flow-rate");
    for (const auto &setting : {volume, rate}) {
        if (setting && !setting->ok()) {
            output.message(setting->error);
            return Usage;
        }
    }
    // In volume mode the pump spreads a dose over its dispense time; with none it doses at full
    // flow. The time is always set, so that no dose is stretched over one left on the pump: the
    // whole seconds the volume takes at the rate given (under half a second is full flow), else
    // 0 for full flow.
    const KeyTable::Setting time = KeyTable::parse(
        KeyTable::key(QStringLiteral("dispense-time")),
        QString::number(rate ? std::llround(volume->value * 60.0 / rate->value) : 0));
    if (!time.ok()) {
        output.message(QStringLiteral("dispense: %1 ml at %2 ml/min takes longer than the "
                                      "longest dispense time")
                           .arg(args.values.value(QStringLiteral("volume")),
                                args.values.value(QStringLiteral("rate"))));
        return Usage;
    }
    std::vector<Step> steps{{Id::SetDispenseModeVolume, 0, "the volume mode"},
                            {volume->command, volume->value, "the volume"}};
    if (rate)
        steps.push_back({rate->command, rate->value, "the flow rate"});
    steps.push_back({time.command, time.value, "the dispense time"});
    steps.push_back({Id::Start, 0, "start"});
    return startRun(steps, volume->value / 1000.0, 0);
}

int CliRunner::runFlow()
{
    const std::optional<KeyTable::Setting> rate = optionValue("rate", "flow-rate");
    // Without --for the run has no end of its own: a dispense time left on the pump would give
    // it one, so 0 is sent.
    const std::optional<KeyTable::Setting> time =
        KeyTable::parse(KeyTable::key(QStringLiteral("dispense-time")),
                        args.values.value(QStringLiteral("for"), QStringLiteral("0")));
    for (const auto &setting : {rate, time}) {
        if (setting && !setting->ok()) {
            output.message(setting->error);
            return Usage;
        }
    }
    const std::vector<Step> steps{{Id::SetRunMode, 0, "the flow mode"},
                                  {rate->command, rate->value, "the flow rate"},
                                  {time->command, time->value, "the dispense time"},
                                  {Id::Start, 0, "start"}};
    const int seconds =
        Pump::DurationText::seconds(args.values.value(QStringLiteral("for"))).value_or(0);
    return startRun(steps, 0, seconds);
}

int CliRunner::waitForRun(RunLoop &loop, const QString &command, double targetVolume,
                          int targetSeconds)
{
    ProgressDisplay progress(output, CliOutput::errorIsTerminal());
    const KeyTable::Key &delivered = KeyTable::key(QStringLiteral("volume-delivered"));
    const KeyTable::Key &elapsed = KeyTable::key(QStringLiteral("time-elapsed"));
    bool seenMoving = false;
    std::optional<qint64> lastElapsedMs;
    int standingTicks = 0;
    const int intervalMs = 200;
    // A pump that has not moved or counted time for this long did not start.
    const int startTicks = 5000 / intervalMs;
    const int status = loop.exec(intervalMs, [&]() -> std::optional<int> {
        auto *flags = static_cast<OperationItemStatus *>(session->items().find(Id::GetPumpStatus));
        if (!session->query(Id::GetPumpStatus, 1) || !session->read(delivered) ||
            !session->read(elapsed)) {
            progress.finish();
            return silent(command);
        }
        const int word = flags->statusWord(1);
        if (word & 2) {
            progress.finish();
            const std::optional<QStringList> errors = errorFlags();
            output.message(QStringLiteral("the pump stopped with an error: %1")
                               .arg(errors && !errors->isEmpty() ? errors->join(QLatin1String(", "))
                                                                 : QStringLiteral("pump error")));
            return Refused;
        }
        const bool moving = (word & 1) != 0;
        const qint64 ms =
            ProcessSampler::elapsedMs(session->items().find(Id::GetTimeActual)->text());
        const double volume = session->items().find(Id::GetActualVolume)->value() / 1000.0;
        seenMoving = seenMoving || moving;
        const QString clock = KeyTable::text(elapsed, session->items());
        if (targetSeconds > 0)
            progress.show(ms / 1000.0, targetSeconds, QStringLiteral("s"),
                          KeyTable::thousandths(std::llround(volume * 1000)) +
                              QStringLiteral(" ml"));
        else
            progress.show(volume, targetVolume, QStringLiteral("ml"), clock);
        // Standing, with its clock no longer counting (a break between doses still counts).
        const bool standing = !moving && lastElapsedMs && *lastElapsedMs == ms;
        lastElapsedMs = ms;
        standingTicks = standing ? standingTicks + 1 : 0;
        if (standing && (seenMoving || ms > 0)) {
            progress.finish();
            output.result({{QStringLiteral("command"), command},
                           {QStringLiteral("result"), QStringLiteral("done")},
                           {delivered.name, KeyTable::json(delivered, session->items())},
                           {elapsed.name, KeyTable::json(elapsed, session->items())}},
                          QStringLiteral("done: %1 ml in %2")
                              .arg(KeyTable::text(delivered, session->items()), clock));
            return Done;
        }
        if (standingTicks >= startTicks) {
            progress.finish();
            output.message(QStringLiteral("the pump took the start but did not move"));
            return Refused;
        }
        return std::nullopt;
    });
    progress.finish();
    return status;
}

int CliRunner::watch()
{
    const double intervalS =
        args.values.value(QStringLiteral("interval"), QStringLiteral("1")).toDouble();
    const int count = args.intValue(QStringLiteral("count"), 0);
    CsvRecorder recorder;
    int exit = Done;
    if (!connectPump(&exit))
        return exit;
    // "--csv -": the rows go to standard output, and nothing else does.
    const bool csvOut = args.values.value(QStringLiteral("csv")) == QLatin1String("-");
    const bool csvFile = args.values.contains(QStringLiteral("csv")) && !csvOut;
    if (csvFile && !recorder.start(args.values.value(QStringLiteral("csv")))) {
        output.message(QStringLiteral("--csv: %1").arg(recorder.reason()));
        return Usage;
    }
    if (csvOut)
        CliOutput::text(QString::fromUtf8(CsvFormat::header()));
    // It started nothing, so an interruption ends it and leaves the pump as it is.
    RunLoop loop;
    int taken = 0;
    qint64 startMs = 0;
    const QList<QPair<Id, int>> queries = {
        {Id::GetRunMode, 0},      {Id::GetFlowRate, 0},   {Id::GetVolume, 0},
        {Id::GetActualVolume, 0}, {Id::GetTimeActual, 0}, {Id::GetDispenseTime, 0},
        {Id::GetPumpStatus, 1},   {Id::GetPumpStatus, 2}, {Id::GetPumpStatus, 3},
        {Id::GetPumpStatus, 4},   {Id::GetPumpStatus, 6}};
    const int status =
        loop.exec(static_cast<int>(std::lround(intervalS * 1000)), [&]() -> std::optional<int> {
            // What the pump does not answer this time reads unknown, never as the last value.
            session->forget();
            for (const auto &q : queries)
                session->query(q.first, q.second);
            // The core's picture: its items and its one judgement of the link.
            const ProcessSample sample = session->core().sampler().take();
            if (taken == 0)
                startMs = sample.timeMs;
            const auto ml = [](const std::optional<qint64> &v) {
                return v ? KeyTable::thousandths(*v) : QStringLiteral("-");
            };
            if (csvOut)
                CliOutput::text(QString::fromUtf8(CsvFormat::row(sample, startMs)));
            else
                output.result(
                    SampleJson::object(sample, startMs),
                    QStringLiteral(
                        "%1  %2  %3  %4  flow %5 ml/min  volume %6 / %7 ml  elapsed %8  errors: %9")
                        .arg(CsvFormat::isoUtc(sample.timeMs), ProcessSample::linkText(sample.link),
                             ProcessSample::runStateText(sample.runState),
                             ProcessSample::modeText(sample.mode), ml(sample.flowRate),
                             ml(sample.volumeDelivered), ml(sample.volumeTarget),
                             sample.timeElapsedMs ? Pump::DurationText::clock(static_cast<int>(
                                                        *sample.timeElapsedMs / 1000))
                                                  : QStringLiteral("-"),
                             sample.errors ? (sample.errors->isEmpty()
                                                  ? QStringLiteral("none")
                                                  : sample.errors->join(QLatin1String(", ")))
                                           : QStringLiteral("-")));
            if (csvFile) {
                recorder.write(sample);
                if (!recorder.recording()) {
                    // The file given can no longer be written (a full disk, a vanished folder).
                    output.message(QStringLiteral("--csv: %1").arg(recorder.reason()));
                    return Usage;
                }
            }
            ++taken;
            if (!session->portOpen())
                return silent(QStringLiteral("watch"));
            if (count > 0 && taken >= count)
                return Done;
            return std::nullopt;
        });
    recorder.stop();
    return status;
}

int CliRunner::raw()
{
    int exit = Done;
    if (!connectPump(&exit))
        return exit;
    const PumpSession::Exchange e = session->runText(args.arguments.at(0).toStdString());
    // Silence and a refusal carry the command's own placeholder text, not the pump's.
    const QString answer = e.outcome == AnswerOutcome::Silent || e.outcome == AnswerOutcome::Nak
                               ? QString()
                               : QString::fromStdString(e.answer);
    output.result({{QStringLiteral("sent"), session->lastSent()},
                   {QStringLiteral("answer"), answer},
                   {QStringLiteral("check"), outcomeText(e.outcome)}},
                  QStringLiteral("%1\t%2").arg(answer, outcomeText(e.outcome)));
    switch (e.outcome) {
    case AnswerOutcome::Answered:
    case AnswerOutcome::Unacknowledged:
        return Done;
    case AnswerOutcome::Silent:
        return silent(args.arguments.at(0));
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
    QString text;
    int group = -1;
    for (const KeyTable::Key &key : KeyTable::keys()) {
        if (static_cast<int>(key.group) != group) {
            group = static_cast<int>(key.group);
            text += QStringLiteral("%1%2:\n").arg(text.isEmpty() ? QString() : QStringLiteral("\n"),
                                                  QLatin1String(groups[group]));
        }
        const QString access = key.readable() && key.settable() ? QStringLiteral("get, set")
                               : key.readable()                 ? QStringLiteral("get")
                                                                : QStringLiteral("set");
        QString range = KeyTable::range(key);
        if (range.isEmpty() && !key.unit.isEmpty())
            range = key.unit;
        text +=
            QStringLiteral("  %1  %2 (%3)%4\n")
                .arg(key.name, -20)
                .arg(key.help, access,
                     range.isEmpty() ? QString()
                                     : QStringLiteral("\n  %1  %2").arg(QString(), -20).arg(range));
    }
    return text;
}

int CliRunner::serve()
{
    BridgeOptions options;
    QString problem;
    const QString config = args.values.value(QStringLiteral("config"));
    if (!config.isEmpty() && !options.readConfig(config, &problem)) {
        output.message(problem);
        return Usage;
    }
    const auto take = [this](const char *option, QString &into) {
        if (args.values.contains(QLatin1String(option)))
            into = args.values.value(QLatin1String(option));
    };
    take("broker", options.broker);
    take("id", options.pumpId);
    take("topic-prefix", options.topicPrefix);
    take("username", options.username);
    take("ca-file", options.caFile);
    take("cert-file", options.certFile);
    take("key-file", options.keyFile);
    const QString passwordFile = args.values.value(QStringLiteral("password-file"));
    if (!passwordFile.isEmpty() && !options.readPasswordFile(passwordFile, &problem)) {
        output.message(QStringLiteral("--password-file: %1").arg(problem));
        return Usage;
    }
    options.allowControl =
        options.allowControl || args.flags.contains(QStringLiteral("allow-control"));
    options.haDiscovery =
        options.haDiscovery || args.flags.contains(QStringLiteral("ha-discovery"));
    problem = options.problem();
    if (!problem.isEmpty()) {
        output.message(problem);
        return Usage;
    }
    int exit = Done;
    if (!findLine(&exit, options.port, options.address))
        return exit;

    HeadlessPump pump(portName, address);
    if (!pump.portOpen())
        output.message(QStringLiteral("%1; trying again every %2 s")
                           .arg(pump.problem().text())
                           .arg(HeadlessPump::ReopenMs / 1000));
    const QString id =
        options.pumpId.isEmpty()
            ? BridgeOptions::defaultPumpId(QSysInfo::machineHostName(), portName, address)
            : options.pumpId;
    // The window's own bridge session: the same publishing, control and reconnection.
    BridgeSession bridge(pump.core(), QStringLiteral(DOSETTA_VERSION));
    QEventLoop loop;
    int status = Done;
    QString lastFailure;
    bool ending = false;
    QObject::connect(&bridge, &BridgeSession::stateChanged, &loop, [&](BridgeSession::State s) {
        if (ending)
            return;
        switch (s) {
        case BridgeSession::State::Publishing:
            lastFailure.clear();
            output.message(QStringLiteral("publishing %1 on %2 (remote control %3)")
                               .arg(bridge.topicRoot(), options.broker,
                                    options.allowControl ? QStringLiteral("allowed")
                                                         : QStringLiteral("not allowed")));
            break;
        case BridgeSession::State::Refused:
            output.message(QStringLiteral("the broker %1 refused the bridge: %2")
                               .arg(options.broker, bridge.reason()));
            status = NoAnswer;
            loop.exit();
            break;
        case BridgeSession::State::Connecting:
            // Said once per reason, not at every attempt.
            if (!bridge.reason().isEmpty() && bridge.reason() != lastFailure)
                output.message(
                    bridge.reason() == BridgeSession::lostText()
                        ? QStringLiteral("lost the broker %1; reconnecting").arg(options.broker)
                        : QStringLiteral("cannot reach the broker %1: %2; trying again")
                              .arg(options.broker, bridge.reason()));
            lastFailure = bridge.reason();
            break;
        case BridgeSession::State::Off:
            break;
        }
    });
    TerminationSignals termination(RunLoop::endingSignals());
    QObject::connect(&termination, &TerminationSignals::received, &loop, [&] { loop.exit(); });
    bridge.start(options, id);
    if (bridge.state() != BridgeSession::State::Refused)
        loop.exec();
    ending = true;
    bridge.stop(); // "offline", then an orderly disconnection
    return status;
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
