#include "cli/CliArguments.h"

#include "platform/Suggestion.h"
#include "pump/KeyTable.h"

#include <cmath>
#include <vector>

namespace {

struct CommandForm
{
    const char *name;
    int minArguments;
    int maxArguments;
    QStringList valueOptions; // --name VALUE or --name=VALUE
    QStringList flagOptions;
    const char *synopsis;
    const char *text;
};

const std::vector<CommandForm> &forms()
{
    static const std::vector<CommandForm> table = {
        {"ports",
         0,
         0,
         {},
         {},
         "ports",
         "Lists the serial ports: name, path, stable by-id path, description."},
        {"search",
         0,
         0,
         {"from", "to"},
         {},
         "search [--from A] [--to B]",
         "Asks addresses A to B (default {addresses}) and prints those that answer."},
        {"status",
         0,
         0,
         {"service-volume-ml", "service-hours"},
         {},
         "status [--service-volume-ml ML] [--service-hours H]",
         "Reads every value the window polls, once; with the journal readable, the pump's\n"
         "totals from it too, and service_due against the thresholds given (as for totals)."},
        {"get", 1, 64, {}, {}, "get KEY...", "Reads the named values ('help keys' lists them)."},
        {"set",
         2,
         2,
         {},
         {},
         "set KEY VALUE",
         "Sets one value, checked against the window's limits, and prints what the pump reports "
         "back."},
        {"start", 0, 0, {}, {}, "start", "Starts the pump."},
        {"stop", 0, 0, {}, {}, "stop", "Stops the pump."},
        {"pause", 0, 0, {}, {}, "pause", "Pauses a run; start resumes it."},
        {"prime", 0, 0, {}, {}, "prime", "Primes the pump at full flow until stopped."},
        {"dispense",
         0,
         0,
         {"volume", "rate"},
         {"wait"},
         "dispense --volume ML [--rate ML/MIN] [--wait]",
         "Volume dosing: sets the volume mode, the volume, the rate and the dispense time the\n"
         "volume takes at that rate (without --rate: 0, the pump's full flow), then starts."},
        {"run",
         0,
         0,
         {"rate", "for"},
         {"wait"},
         "run --rate ML/MIN [--for DURATION] [--wait]",
         "Flow dosing: sets the flow mode, the rate and the dispense time (without --for: 0, "
         "until\n"
         "stopped), then starts."},
        {"watch",
         0,
         0,
         {"interval", "count", "csv"},
         {},
         "watch [--interval S] [--count N] [--csv FILE]",
         "Polls as the window does and prints a line per sample; --csv also writes the recorder's "
         "file\n(--csv - writes its rows to standard output instead of the lines).\n"
         "It only watches: an interruption ends it and leaves the pump as it is."},
        {"raw",
         1,
         1,
         {},
         {},
         "raw TEXT",
         "Sends a typed command (\"?DV\", \"KY1\") as the window's Command field does."},
        {"serve",
         0,
         0,
         {"broker", "id", "topic-prefix", "username", "password-file", "ca-file", "cert-file",
          "key-file", "config", "sila", "sila-cert", "sila-key", "sila-name", "sila-client-ca",
          "sila-allow-control-for", "sila-vendor-url", "service-volume-ml", "service-hours"},
         {"allow-control", "no-allow-control", "allow-config", "no-allow-config", "ha-discovery",
          "sila-insecure", "sila-allow-control", "sila-no-allow-control", "sila-allow-config",
          "sila-no-allow-config", "sila-no-discovery", "sila-allow-anyone", "stop-left"},
         "serve [--broker URL] [--sila HOST:PORT] [--allow-control] [--config FILE] ...",
         "Serves the pump until SIGTERM, SIGINT or SIGQUIT over MQTT (--broker), SiLA 2\n"
         "(--sila) or both at once on one core, and then stops a run it started first. With\n"
         "--allow-control the broker's clients may also run the pump and set the dosing\n"
         "values, with --allow-config the other settings. A configuration file with\n"
         "[pump NAME] sections serves every pump it lists, each on a thread of its own;\n"
         "SIGHUP reads it again (pumps added start, removed ones stop, changed ones start\n"
         "again, the rest run on). Without --config, SIGHUP ends it as SIGTERM does.\n"
         "  --broker URL          mqtt://HOST[:PORT] or mqtts://HOST[:PORT]\n"
         "  --id ID               the pump's id in the topics (default HOST-PORT-ADDRESS)\n"
         "  --topic-prefix P      the first topic level (default dosetta)\n"
         "  --username U          user name at the broker\n"
         "  --password-file F     the password: the first line of F\n"
         "  --ca-file F           TLS: the authority that signed the broker's certificate\n"
         "  --cert-file F         TLS: this bridge's certificate\n"
         "  --key-file F          TLS: its key\n"
         "  --allow-control       take cmd (start, stop, pause, prime) and set/KEY for the\n"
         "                        dosing values (flow-rate, volume, dispense-time, mode, cycles,\n"
         "                        break-time); otherwise \"control not allowed\"\n"
         "  --allow-config        take set/KEY for every other setting (address, inputs,\n"
         "                        calibration, ...); otherwise \"configuration not allowed\".\n"
         "                        'help keys' says which keys need which\n"
         "  --no-allow-control, --no-allow-config\n"
         "                        refuse them although the configuration file allows them\n"
         "  --ha-discovery        announce the pump to Home Assistant\n"
         "  --service-volume-ml ML, --service-hours H\n"
         "                        service_due in the state once the pump delivered this much\n"
         "                        or ran this long since its last service (dosetta-cli totals)\n"
         "  --sila HOST:PORT      also serve the pump as a SiLA 2 server there; the options\n"
         "                        of 'help sila' apply to it prefixed --sila-:\n"
         "  --sila-insecure, --sila-cert FILE, --sila-key FILE, --sila-name NAME,\n"
         "  --sila-vendor-url URL,\n"
         "  --sila-client-ca FILE, --sila-allow-control, --sila-allow-control-for NAMES,\n"
         "  --sila-no-allow-control, --sila-allow-anyone, --sila-allow-config,\n"
         "  --sila-no-allow-config, --sila-no-discovery\n"
         "  --config FILE         \"key = value\" lines with the same names (and password;\n"
         "                        sila-discovery = no for --sila-no-discovery), optionally in\n"
         "                        [pump NAME] sections with port and address each; options\n"
         "                        given here win\n"
         "  --stop-left           serve nothing: close the runs a service that has ended left\n"
         "                        open on these pumps, stopping a pump still going (a unit's\n"
         "                        ExecStopPost=)"},
        {"sila",
         0,
         0,
         {"listen", "cert", "key", "name", "config", "client-ca", "allow-control-for",
          "vendor-url"},
         {"insecure", "allow-control", "no-allow-control", "allow-config", "no-allow-config",
          "no-discovery", "allow-anyone", "stop-left"},
         "sila [--listen HOST:PORT] [--insecure | --cert FILE --key FILE] [--name NAME] ...",
         "Serves the pump as a SiLA 2 server for lab orchestrators until SIGTERM or SIGINT: the\n"
         "features SiLAService, DosingPumpController, PauseController and CancelController over\n"
         "gRPC, with TLS, announced on the local network as _sila._tcp. The server's UUID, name\n"
         "and self-signed certificate are kept in the folder \"sila\" beside the settings.\n"
         "TLS proves to clients that they talk to this server and keeps the traffic private;\n"
         "it says nothing about the client. A client authority does: with --client-ca only\n"
         "clients holding a certificate it signed get past the handshake, and each is known\n"
         "(for --allow-control-for and in the journal) by its certificate's common name.\n"
         "Without one the server listens on loopback alone unless told otherwise, and control\n"
         "on any other address needs --allow-anyone. 'man dosetta-cli' shows how to make a\n"
         "lab authority and a client certificate with openssl.\n"
         "  --listen HOST:PORT    where to listen (default localhost:50052, both loopbacks;\n"
         "                        with --client-ca 0.0.0.0:50052, every address; IPv6 as\n"
         "                        [::1]:50052)\n"
         "  --insecure            plain text instead of TLS (warned about)\n"
         "  --cert FILE           TLS with the lab's own certificate (PEM) instead of the\n"
         "  --key FILE            self-signed one, and its key\n"
         "  --name NAME           the server name clients see (kept; 255 characters at most)\n"
         "  --vendor-url URL      the page ServerVendorURL names, http:// or https:// (the\n"
         "                        lab's page for the pump; default https://example.org/dosetta)\n"
         "  --client-ca FILE      require a client certificate signed by this authority (PEM)\n"
         "  --allow-control       take the commands that move the pump (DoseVolume,\n"
         "                        GenerateFlow, Prime, pause); otherwise they are refused and\n"
         "                        only the properties, StopDosage and the cancels serve\n"
         "  --allow-control-for NAMES\n"
         "                        take them from these clients alone: their certificates'\n"
         "                        common names, \"lab-a,lab-b\" (needs --client-ca). A flag\n"
         "                        of its own since --allow-control takes no value\n"
         "  --allow-anyone        allow control on a non-loopback address without a client\n"
         "                        authority: anyone who reaches it may run the pump (warned)\n"
         "  --allow-config        take SetServerName (one rename a second); otherwise it is\n"
         "                        refused\n"
         "  --no-allow-control, --no-allow-config\n"
         "                        refuse them although the configuration file allows them\n"
         "  --no-discovery        do not announce the server by multicast DNS\n"
         "  --config FILE         \"key = value\" lines: port, address, listen, insecure, cert,\n"
         "                        key, client-ca, name, vendor-url, allow-control (yes, no or\n"
         "                        \"lab-a, lab-b\"), allow-anyone, allow-config, discovery;\n"
         "                        options given here win\n"
         "  --stop-left           serve nothing: close the runs a server that has ended left\n"
         "                        open on the pump, stopping it if it still goes"},
        {"program",
         2,
         2,
         {"csv", "pump"},
         {"yes"},
         "program check FILE | program run FILE [--csv OUT] [--yes] [--pump "
         "NAME=PORT[:ADDRESS]]...",
         "Checks a dosing program file (JSON, \"format\": \"dosetta-program/1\") against the\n"
         "pump's limits as a run would, and prints its summary: the steps once repeats are\n"
         "unrolled, the expected time without prompts, the volume and the prompts. Nothing is\n"
         "sent and no port is needed. Every error is listed, named by its path in the file\n"
         "(\"steps[2].repeat.steps[0].dose.rate_ml_min: 150 is above 100.0 ml/min\"); exit 2.\n"
         "run checks it so too, then runs the program on the pump to its end: progress on\n"
         "standard error, with --json one event per line (step-started, step-finished, paused,\n"
         "continued, waiting, ended) on standard output. Every way out but done stops the pump.\n"
         "A program that names its pumps (\"pumps\": [\"A\", \"B\"]) shows its plan per pump and\n"
         "runs on one port per pump, each event naming its pump; a Stop, an error or a lost link\n"
         "on one stops them all, and so does every way out but done.\n"
         "  --csv OUT   record the run in the recorder's columns (- for standard output)\n"
         "  --yes       continue prompt steps at once; otherwise Enter on a terminal does,\n"
         "              and a program with a prompt needs one\n"
         "  --pump NAME=PORT[:ADDRESS]\n"
         "              the port (and address, else --address, else 1) of the program's pump\n"
         "              NAME; once for each pump it names"},
        {"calibrate",
         0,
         0,
         {"nominal", "mass", "density", "balance", "doses", "balance-timeout"},
         {"yes"},
         "calibrate --nominal ML (--mass G... | --balance PORT [--doses N]) [--density G/ML] "
         "[--yes]",
         "Calibration by weighing: the masses of up to five doses of the nominal volume, weighed\n"
         "on a balance, and the fluid's density give the volumes delivered. The pump's\n"
         "calibration factor (calibration-percent) is read and the new one proposed: the old\n"
         "times nominal over the mean delivered, in steps of 0.1 %. It is sent only with --yes\n"
         "or a y typed on a terminal; otherwise the proposal is printed, nothing is sent and the\n"
         "exit status is 0. A factor outside 80.0 to 120.0 % is refused (exit 1). Every\n"
         "calibration goes into the journal; 'journal --calibrations' lists them.\n"
         "  --nominal ML     the volume each dose was asked for, 1.0 to 100.0 ml\n"
         "  --mass G         a dose's mass in grams; once per dose, five at most\n"
         "  --balance PORT   dose here and weigh on the balance at PORT (9600 8N1): zeroed\n"
         "                   before each dose, read once the weight holds after it\n"
         "  --doses N        how many doses to weigh with --balance, 1 to 5 (default 1)\n"
         "  --balance-timeout MS  the balance's zero or stable weight at most (default 10000)\n"
         "  --density G/ML   the fluid's density (default 0.998, water at 20 C)\n"
         "  --yes            send the new factor without asking"},
        {"journal",
         0,
         1,
         {"pump", "since", "until", "kind", "limit", "file"},
         {"runs", "calibrations", "csv", "path"},
         "journal [verify] [--pump ID] [--since TIME] [--until TIME] [--runs] [--csv] ...",
         "Lists what the pumps on this machine did, from every front-end, as its journal keeps\n"
         "it: the newest entries (or runs), oldest first, as a table; --json one object a line,\n"
         "--csv comma-separated with a header. It only reads the journal; no port is needed.\n"
         "journal verify walks the journal's hash chain from its first entry: exit 0 and\n"
         "\"N entries, chain intact\", or 1 naming the first entry that does not hold (changed,\n"
         "missing, reordered). 3 when the journal cannot be read.\n"
         "  --pump ID      only this pump's entries\n"
         "  --since TIME   at or after TIME, ISO 8601: 2026-12-08, 2026-12-08T14:30,\n"
         "                 2026-12-08T14:30:05.250, with Z or +01:00 after the time (else UTC)\n"
         "  --until TIME   up to the end of TIME: --until 2026-12-08 takes that whole day\n"
         "  --kind KIND    only this kind: run-start, run-end, setting, refused, link, ...\n"
         "  --runs         runs instead: each run-start with its run-end; an open run shows so\n"
         "  --calibrations the calibrations instead: masses, mean, old and new factor, sent\n"
         "  --limit N      the newest N (default 50); 0 shows all\n"
         "  --csv          comma-separated values with a header line\n"
         "  --file PATH    read this journal (default $DOSETTA_JOURNAL, else\n"
         "                 $XDG_STATE_HOME/dosetta/journal.sqlite, ~/.local/state if unset)\n"
         "  --path         print the journal's path and end"},
        {"totals",
         0,
         0,
         {"pump", "file", "service-volume-ml", "service-hours"},
         {},
         "totals [--pump ID] [--service-volume-ml ML] [--service-hours H] [--file PATH]",
         "Per pump, from the journal: the runs that ended, the volume they delivered and the\n"
         "hours they ran, over its life and since its last service, and whether a service is\n"
         "due. It only reads the journal; no port is needed.\n"
         "  --pump ID              only this pump\n"
         "  --service-volume-ml ML a service is due at this volume since the last one\n"
         "  --service-hours H      a service is due at these running hours since the last one\n"
         "  --file PATH            read this journal (default as for journal)"},
        {"service",
         1,
         1,
         {"pump", "part", "file"},
         {},
         "service done [--pump ID] [--part diaphragm|valves] [--file PATH]",
         "Records in the journal that the pump was serviced, by this user: totals counts\n"
         "again from here. The pump is --pump ID as the journal names it, else the chosen\n"
         "port and address (PORT:ADDRESS); no port is opened.\n"
         "  --part P       what was serviced: diaphragm or valves"},
        {"help",
         0,
         1,
         {},
         {},
         "help [keys | COMMAND]",
         "Shows this text, the keys or a command's help."},
    };
    return table;
}

const CommandForm *formOf(const QString &name)
{
    for (const CommandForm &form : forms()) {
        if (name == QLatin1String(form.name))
            return &form;
    }
    return nullptr;
}

// Splits "--name=value"; value is null when there is no "=".
QString optionName(const QString &argument, QString *value)
{
    const int equals = argument.indexOf(QLatin1Char('='));
    if (equals < 0) {
        *value = QString();
        return argument.mid(2);
    }
    *value = argument.mid(equals + 1);
    return argument.mid(2, equals - 2);
}

bool wholeIn(const QString &text, int low, int high, int *out = nullptr)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (out != nullptr)
        *out = n;
    return ok && n >= low && n <= high;
}

QString checkValue(const QString &option, const QString &value)
{
    if (option == QLatin1String("from") || option == QLatin1String("to")) {
        if (!wholeIn(value, 0, Pump::KeyTable::HighestAddress))
            return QStringLiteral("--%1 takes an address %2, not \"%3\"")
                .arg(option, CliArguments::addressRange(), value);
    } else if (option == QLatin1String("count")) {
        if (!wholeIn(value, 1, 100000000))
            return QStringLiteral("--count takes a whole number above 0, not \"%1\"").arg(value);
    } else if (option == QLatin1String("interval")) {
        bool ok = false;
        const double s = value.toDouble(&ok);
        if (!ok || !(s >= 0.1 && s <= 3600))
            return QStringLiteral("--interval takes seconds from 0.1 to 3600, not \"%1\"")
                .arg(value);
    } else if (option == QLatin1String("nominal") || option == QLatin1String("mass") ||
               option == QLatin1String("density")) {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return QStringLiteral("--%1 takes a number such as 9.71, not \"%2\"")
                .arg(option, value);
    } else if (option == QLatin1String("doses")) {
        if (!wholeIn(value, 1, 5))
            return QStringLiteral("--doses takes 1 to 5, not \"%1\"").arg(value);
    } else if (option == QLatin1String("balance-timeout")) {
        if (!wholeIn(value, 100, 600000))
            return QStringLiteral("--balance-timeout takes milliseconds from 100 to 600000, not "
                                  "\"%1\"")
                .arg(value);
    } else if (option == QLatin1String("limit")) {
        if (!wholeIn(value, 0, 100000000))
            return QStringLiteral("--limit takes a whole number, 0 for all, not \"%1\"").arg(value);
    } else if (option == QLatin1String("service-volume-ml") ||
               option == QLatin1String("service-hours")) {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !(v > 0 && v <= 1e12))
            return QStringLiteral("--%1 takes a number above 0, not \"%2\"").arg(option, value);
    } else if (option == QLatin1String("part")) {
        if (value != QLatin1String("diaphragm") && value != QLatin1String("valves"))
            return QStringLiteral("--part takes diaphragm or valves, not \"%1\"").arg(value);
    } else if (value.isEmpty()) {
        return QStringLiteral("--%1 needs a value").arg(option);
    }
    return QString();
}

QStringList globalOptions()
{
    return {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("timeout"),
            QStringLiteral("json"), QStringLiteral("version")};
}

} // namespace

QStringList CliArguments::commands()
{
    QStringList names;
    for (const CommandForm &form : forms())
        names << QLatin1String(form.name);
    return names;
}

CliArguments CliArguments::parse(const QStringList &arguments)
{
    CliArguments a;
    const CommandForm *form = nullptr;
    bool onlyArguments = false; // after "--"
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (!onlyArguments && arg == QLatin1String("--") && form != nullptr) {
            onlyArguments = true;
            continue;
        }
        const bool isOption =
            !onlyArguments && arg.startsWith(QLatin1Char('-')) && arg.size() > 1 &&
            !(form != nullptr && (arg.at(1).isDigit() || arg.at(1) == QLatin1Char('.')));
        if (!isOption) {
            if (form == nullptr) {
                form = formOf(arg);
                if (form == nullptr) {
                    a.error = QStringLiteral("unknown command \"%1\"%2")
                                  .arg(arg, Suggestion::hint(arg, commands()));
                    return a;
                }
                a.command = arg;
            } else {
                a.arguments << arg;
            }
            continue;
        }
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            a.help = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            a.error = QStringLiteral("unknown option \"%1\"").arg(arg);
            return a;
        }
        QString value;
        const QString name = optionName(arg, &value);
        // Global options are taken before the command and after it, as people type them.
        const bool commandOwns = form != nullptr && (form->valueOptions.contains(name) ||
                                                     form->flagOptions.contains(name));
        const bool global = !commandOwns && (form == nullptr || globalOptions().contains(name));
        const bool takesValue =
            global ? (name == QLatin1String("port") || name == QLatin1String("address") ||
                      name == QLatin1String("timeout"))
                   : form->valueOptions.contains(name);
        const bool isFlag =
            global ? (name == QLatin1String("json") || name == QLatin1String("version"))
                   : form->flagOptions.contains(name);
        if (!takesValue && !isFlag) {
            QStringList known = globalOptions();
            if (form != nullptr)
                known << form->valueOptions << form->flagOptions;
            const QString hint = Suggestion::hint(name, known);
            a.error = form == nullptr
                          ? QStringLiteral("unknown option \"%1\"%2").arg(arg, hint)
                          : QStringLiteral("%1 has no option \"%2\"%3").arg(a.command, arg, hint);
            return a;
        }
        if (isFlag) {
            if (!value.isNull()) {
                a.error = QStringLiteral("--%1 takes no value").arg(name);
                return a;
            }
            if (global)
                (name == QLatin1String("json") ? a.json : a.version) = true;
            else
                a.flags.insert(name);
            continue;
        }
        if (value.isNull()) {
            if (i + 1 >= arguments.size()) {
                a.error = QStringLiteral("--%1 needs a value").arg(name);
                return a;
            }
            value = arguments.at(++i);
        }
        if (global) {
            if (name == QLatin1String("port")) {
                if (value.isEmpty()) {
                    a.error = QStringLiteral("--port needs a port name or path");
                    return a;
                }
                a.port = value;
            } else if (name == QLatin1String("address")) {
                if (!wholeIn(value, 0, Pump::KeyTable::HighestAddress, &a.address)) {
                    a.error =
                        QStringLiteral("--address takes %1, not \"%2\"").arg(addressRange(), value);
                    return a;
                }
            } else if (!wholeIn(value, 1, 600000, &a.timeoutMs)) {
                a.error =
                    QStringLiteral("--timeout takes milliseconds from 1 to 600000, not \"%1\"")
                        .arg(value);
                return a;
            }
            continue;
        }
        const QString problem = checkValue(name, value);
        if (!problem.isEmpty()) {
            a.error = problem;
            return a;
        }
        a.values.insert(name, value);
        a.lists[name] << value;
    }
    if (a.help || a.version)
        return a;
    if (form == nullptr) {
        a.error = QStringLiteral("no command given");
        return a;
    }
    if (a.arguments.size() < form->minArguments || a.arguments.size() > form->maxArguments) {
        a.error =
            QStringLiteral("usage: dosetta-cli [OPTION]... %1").arg(QLatin1String(form->synopsis));
        return a;
    }
    if (a.command == QLatin1String("dispense") && !a.values.contains(QStringLiteral("volume")))
        a.error = QStringLiteral("dispense needs --volume ML");
    if (a.command == QLatin1String("calibrate") && !a.values.contains(QStringLiteral("nominal")))
        a.error = QStringLiteral("calibrate needs --nominal ML");
    else if (a.command == QLatin1String("calibrate") &&
             a.values.contains(QStringLiteral("mass")) ==
                 a.values.contains(QStringLiteral("balance")))
        a.error = QStringLiteral("calibrate needs a --mass G for each dose weighed, or --balance "
                                 "PORT, not both");
    if (a.command == QLatin1String("run") && !a.values.contains(QStringLiteral("rate")))
        a.error = QStringLiteral("run needs --rate ML/MIN");
    if (a.command == QLatin1String("search") &&
        a.intValue(QStringLiteral("from"), 0) >
            a.intValue(QStringLiteral("to"), Pump::KeyTable::HighestAddress))
        a.error = QStringLiteral("search: --from is above --to");
    for (const char *prefix : {"", "sila-"}) {
        const QString names = QLatin1String(prefix) + QStringLiteral("allow-control-for");
        if (!a.values.contains(names))
            continue;
        for (const char *flag : {"allow-control", "no-allow-control"}) {
            const QString other = QLatin1String(prefix) + QLatin1String(flag);
            if (a.flags.contains(other))
                a.error = QStringLiteral("--%1 and --%2 contradict each other: the one lets "
                                         "every client in or none, the other those named")
                              .arg(other, names);
        }
    }
    for (const char *flag : {"allow-control", "allow-config"}) {
        if (a.flags.contains(QLatin1String(flag)) &&
            a.flags.contains(QStringLiteral("no-") + QLatin1String(flag)))
            a.error =
                QStringLiteral("--%1 and --no-%1 contradict each other").arg(QLatin1String(flag));
        if (a.flags.contains(QStringLiteral("sila-") + QLatin1String(flag)) &&
            a.flags.contains(QStringLiteral("sila-no-") + QLatin1String(flag)))
            a.error = QStringLiteral("--sila-%1 and --sila-no-%1 contradict each other")
                          .arg(QLatin1String(flag));
    }
    // What program does with its file.
    static const QStringList programActions{QStringLiteral("check"), QStringLiteral("run")};
    if (a.command == QLatin1String("program") && !programActions.contains(a.arguments.first()))
        a.error = QStringLiteral("program: unknown action \"%1\"; it takes %2")
                      .arg(a.arguments.first(), programActions.join(QStringLiteral(", ")));
    else if (a.command == QLatin1String("program") &&
             a.arguments.first() == QLatin1String("check") &&
             (a.values.contains(QStringLiteral("csv")) ||
              a.values.contains(QStringLiteral("pump")) || a.flags.contains(QStringLiteral("yes"))))
        a.error =
            QStringLiteral("program check sends nothing: --csv, --pump and --yes belong to run");
    if (a.command == QLatin1String("journal")) {
        const auto given = [&a](const char *option) {
            return a.values.contains(QLatin1String(option)) ||
                   a.flags.contains(QLatin1String(option));
        };
        if (!a.arguments.isEmpty() && a.arguments.first() != QLatin1String("verify"))
            a.error = QStringLiteral("journal: unknown action \"%1\"; it takes verify")
                          .arg(a.arguments.first());
        else if (!a.arguments.isEmpty() &&
                 (given("pump") || given("since") || given("until") || given("kind") ||
                  given("limit") || given("runs") || given("calibrations") || given("csv")))
            a.error = QStringLiteral("journal verify checks the whole journal: it takes --file "
                                     "and --json only");
        else if (given("csv") && a.json)
            a.error = QStringLiteral("journal: --csv and --json exclude each other");
        else if (given("runs") && given("kind"))
            a.error = QStringLiteral("journal --runs shows runs: --kind belongs to entries");
        else if (given("calibrations") && (given("kind") || given("runs")))
            a.error = QStringLiteral("journal --calibrations shows calibrations: --kind and --runs "
                                     "belong to entries and runs");
    }
    if (a.command == QLatin1String("service") && a.arguments.first() != QLatin1String("done"))
        a.error = QStringLiteral("service: unknown action \"%1\"; it takes done")
                      .arg(a.arguments.first());
    if (a.command == QLatin1String("help") && !a.arguments.isEmpty() &&
        a.arguments.first() != QLatin1String("keys") && formOf(a.arguments.first()) == nullptr)
        a.error = QStringLiteral("no help for \"%1\"").arg(a.arguments.first());
    return a;
}

int CliArguments::intValue(const QString &option, int fallback) const
{
    return values.contains(option) ? values.value(option).toInt() : fallback;
}

QString CliArguments::usage()
{
    QString text =
        QStringLiteral(
            "Usage: dosetta-cli [--port PORT] [--address N] [--json] [--timeout MS] COMMAND "
            "[ARGS]\n"
            "Controls a FLUXO dosing pump over its serial line.\n\n"
            "Options:\n"
            "  --port PORT     device path or port name (default $DOSETTA_PORT, else the "
            "window's)\n"
            "  --address N     the address to talk to, %1 (default $DOSETTA_ADDRESS, else the\n"
            "                  window's); the pump's own address setting is the key \"address\"\n"
            "  --json          one JSON object per result on standard output\n"
            "  --timeout MS    how long to wait for an answer (default 1000)\n"
            "  -h, --help      this text; after a command, the command's help\n"
            "  --version       the version\n\n"
            "Commands:\n")
            .arg(addressRange());
    for (const CommandForm &form : forms())
        text += QStringLiteral("  %1\n").arg(QLatin1String(form.synopsis));
    text += QStringLiteral(
        "\nExit status: 0 done, 1 the pump refused or reports an error, 2 usage, a value out of\n"
        "range or an invalid program (nothing sent), 3 no answer or no port, 128+N signal N\n"
        "(130 Ctrl-C, 131 SIGQUIT, 143 SIGTERM), 141 the output pipe was closed. dispense and\n"
        "run stop the pump before they end on a signal or a closed pipe, or with 1 or 3 during\n"
        "--wait; program run stops it on every way out but done (after a lost link, once the\n"
        "link is back, waiting 10 s at most).\n"
        "'dosetta-cli help keys' lists the keys of get and set.\n");
    return text;
}

QString CliArguments::addressRange()
{
    return QStringLiteral("0-%1").arg(Pump::KeyTable::HighestAddress);
}

QString CliArguments::commandHelp(const QString &command)
{
    const CommandForm *form = formOf(command);
    if (form == nullptr)
        return QString();
    // The addresses come from the key table, so that every text gives the same range.
    return QStringLiteral("Usage: dosetta-cli [OPTION]... %1\n%2\n")
        .arg(QLatin1String(form->synopsis),
             QString::fromLatin1(form->text).replace(QLatin1String("{addresses}"), addressRange()));
}

void CliArguments::permission(const QString &flag, bool &into) const
{
    if (flags.contains(flag))
        into = true;
    else if (flags.contains(QStringLiteral("no-") + flag))
        into = false;
}
