#include "app/CommandLine.h"

#include "ui/WindowLanguage.h"
#include "ui/mainForm.h"

#include <array>

namespace {

// Options QGuiApplication and QApplication (and the X11 platform) take for themselves, with one
// dash or two. The first group takes a value, as the next argument or after '='.
constexpr std::array<const char *, 25> qtValueOptions{"platform",
                                                      "platformpluginpath",
                                                      "platformtheme",
                                                      "plugin",
                                                      "qwindowgeometry",
                                                      "qwindowicon",
                                                      "qwindowtitle",
                                                      "session",
                                                      "style",
                                                      "stylesheet",
                                                      "display",
                                                      "geometry",
                                                      "name",
                                                      "title",
                                                      "visual",
                                                      "font",
                                                      "fn",
                                                      "bg",
                                                      "background",
                                                      "fg",
                                                      "foreground",
                                                      "btn",
                                                      "button",
                                                      "im",
                                                      "inputstyle"};
constexpr std::array<const char *, 9> qtSwitches{"reverse", "widgetcount",   "nograb",
                                                 "dograb",  "sync",          "testability",
                                                 "cmap",    "qmljsdebugger", "graphicssystem"};

template<std::size_t N>
bool listed(const std::array<const char *, N> &names, const QString &name)
{
    for (const char *known : names) {
        if (name == QLatin1String(known))
            return true;
    }
    return false;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    int first = 1;
    // The service gate is the whole first argument, blanks included, exactly as typed.
    if (arguments.size() > 1 && arguments.at(1) == QLatin1String(mainForm::FactoryAccessCode))
        first = 2;
    for (int i = first; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            line.todo = Action::Help;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            if (line.todo == Action::Run)
                line.todo = Action::Version;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2) {
            line.todo = Action::UsageError;
            line.problem = QStringLiteral("unexpected argument '%1'").arg(argument);
            return line;
        }
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool inlineValue = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (argument.startsWith(QLatin1String("--")) && name == QLatin1String("record")) {
            QString file;
            if (inlineValue)
                file = argument.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                file = arguments.at(++i);
            if (file.isEmpty()) {
                line.todo = Action::UsageError;
                line.problem = QStringLiteral("option '--record' needs a file name");
                return line;
            }
            if (!line.record.isEmpty()) {
                line.todo = Action::UsageError;
                line.problem = QStringLiteral("option '--record' given twice");
                return line;
            }
            line.record = file;
            continue;
        }
        if (argument.startsWith(QLatin1String("--")) && name == QLatin1String("lang")) {
            QString code;
            if (inlineValue)
                code = argument.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                code = arguments.at(++i);
            const std::optional<QString> known = WindowLanguage::parse(code);
            if (!known) {
                line.todo = Action::UsageError;
                line.problem = code.isEmpty()
                                   ? QStringLiteral("option '--lang' needs a language (de or en)")
                                   : QStringLiteral("unknown language '%1' for '--lang' (known: "
                                                    "de, en)")
                                         .arg(code);
                return line;
            }
            line.lang = *known;
            continue;
        }
        if (listed(qtSwitches, name))
            continue;
        if (listed(qtValueOptions, name)) {
            if (!inlineValue && ++i >= arguments.size()) {
                line.todo = Action::UsageError;
                line.problem = QStringLiteral("option '%1' needs a value").arg(argument);
                return line;
            }
            continue;
        }
        line.todo = Action::UsageError;
        line.problem = QStringLiteral("unknown option '%1'").arg(argument);
        return line;
    }
    return line;
}

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Usage: dosetta [OPTION]... [QT-OPTION]...\n"
        "Remote control for the FLUXO 10 and FLUXO 02 dosing pumps on a serial line (9600 8N1).\n"
        "\n"
        "Options:\n"
        "  -h, --help        show this help and exit\n"
        "      --version     show the version and exit\n"
        "      --record FILE record the pump's values into the new CSV file FILE from the\n"
        "                    start (an existing file is never overwritten)\n"
        "      --lang LANG   the window's language, de or en (default: the stored choice,\n"
        "                    else the system's locale)\n"
        "\n"
        "Qt's own options are passed on, for example -platform NAME, -style NAME, -reverse.\n"
        "\n"
        "Environment:\n"
        "  DOSETTA_PORTS     device paths, separated by ':', added to the port list under their\n"
        "                    full path (a simulated pump: fluxo-sim prints its device)\n"
        "  DOSETTA_BY_ID_DIR folder of links used instead of /dev/serial/by-id (for tests)\n"
        "  XDG_RUNTIME_DIR   where each running copy keeps its instance lock\n"
        "\n"
        "Each running copy takes the lowest free instance number and keeps its own port and\n"
        "address. See dosetta(1) and the Help tab.\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("dosetta " DOSETTA_VERSION "\n");
}

QString CommandLine::usageHint()
{
    return QStringLiteral("Usage: dosetta [OPTION]... [QT-OPTION]...\n"
                          "Try 'dosetta --help' for more information.\n");
}
