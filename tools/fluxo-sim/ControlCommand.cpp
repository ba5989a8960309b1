#include "ControlCommand.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace fluxosim {
namespace {

struct ErrorName
{
    const char *name;
    int bit;
};

// Group 6 error bits, named after the pump's error texts.
constexpr ErrorName errorNames[] = {{"overpressure", 0}, {"signal", 3},      {"power", 4},
                                    {"adjust", 5},       {"temperature", 6}, {"encoder", 7}};

const char helpText[] =
    "  silent on|off           go deaf and mute: frames are neither obeyed nor answered\n"
    "  badlrc on|off           data frames carry a wrong check character (LRC XOR 0x55)\n"
    "  nullrc on|off           queries answer 00000001, a frame whose check character is NUL\n"
    "  noise P                 put one noise byte before a share P (0-1) of the answers\n"
    "  drop P                  lose a share P (0-1) of the answers; commands still take effect\n"
    "  trickle MS              send answers byte by byte, MS ms apart (0 = line rate)\n"
    "  error NAME on|off       pump error: overpressure, signal (4-20mA too low), power,\n"
    "                          adjust (motor not adjusted), temperature, encoder; an error\n"
    "                          stops the motor and start is refused with NAK while it lasts\n"
    "  status G B on|off|auto  force bit B (0-7) of status group G (0-6) set or clear, or\n"
    "                          leave it to the pump; group 6 sets the error bits themselves\n"
    "  hangup S                hang up the pseudo-terminal, come back on a new one after S s\n"
    "  key start|stop|prime|pause  press that key at the pump's keypad\n"
    "  clear                   all faults off\n"
    "  show                    list the faults that are set\n"
    "  help                    this list\n";

bool parseSwitch(const std::string &word, bool &value)
{
    if (word == "on" || word == "1")
        value = true;
    else if (word == "off" || word == "0")
        value = false;
    else
        return false;
    return true;
}

bool parseLong(const std::string &word, long min, long max, long &value)
{
    if (word.empty())
        return false;
    char *end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseShare(const std::string &word, double &value)
{
    if (word.empty())
        return false;
    char *end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (*end != '\0' || !(v >= 0.0 && v <= 1.0))
        return false;
    value = v;
    return true;
}

ControlResult failure(const std::string &message)
{
    ControlResult result;
    result.ok = false;
    result.message = message;
    return result;
}

void setBit(std::uint8_t &mask, int bit, bool on)
{
    if (on)
        mask |= static_cast<std::uint8_t>(1u << bit);
    else
        mask &= static_cast<std::uint8_t>(~(1u << bit));
}

} // namespace

ControlResult applyControlCommand(const std::string &line, Faults &faults)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    if (w.empty() || w[0][0] == '#')
        return {};
    const std::string &cmd = w[0];
    const std::size_t n = w.size();
    const std::string usage = "usage: ";

    if (cmd == "silent" || cmd == "badlrc" || cmd == "nullrc") {
        bool on = false;
        if (n != 2 || !parseSwitch(w[1], on))
            return failure(usage + cmd + " on|off");
        (cmd == "silent" ? faults.silent : cmd == "badlrc" ? faults.badLrc : faults.nullLrc) = on;
    } else if (cmd == "noise" || cmd == "drop") {
        double share = 0;
        if (n != 2 || !parseShare(w[1], share))
            return failure(usage + cmd + " P (a share from 0 to 1)");
        (cmd == "noise" ? faults.noise : faults.drop) = share;
    } else if (cmd == "trickle") {
        long ms = 0;
        if (n != 2 || !parseLong(w[1], 0, 10000, ms))
            return failure(usage + "trickle MS (0-10000)");
        faults.trickleMs = static_cast<int>(ms);
    } else if (cmd == "error") {
        bool on = false;
        const ErrorName *found = nullptr;
        for (const ErrorName &e : errorNames)
            if (n >= 2 && w[1] == e.name)
                found = &e;
        if (n != 3 || !found || !parseSwitch(w[2], on))
            return failure(usage + "error overpressure|signal|power|adjust|temperature|encoder "
                                   "on|off");
        setBit(faults.errors, found->bit, on);
    } else if (cmd == "status") {
        long group = 0;
        long bit = 0;
        if (n != 4 || !parseLong(w[1], 0, 6, group) || !parseLong(w[2], 0, 7, bit) ||
            (w[3] != "on" && w[3] != "off" && w[3] != "auto"))
            return failure(usage + "status GROUP(0-6) BIT(0-7) on|off|auto");
        const int b = static_cast<int>(bit);
        if (group == 6) {
            setBit(faults.errors, b, w[3] == "on");
        } else {
            setBit(faults.forceOn[group], b, w[3] == "on");
            setBit(faults.forceOff[group], b, w[3] == "off");
        }
    } else if (cmd == "hangup") {
        long seconds = 0;
        if (n != 2 || !parseLong(w[1], 0, 3600, seconds))
            return failure(usage + "hangup SECONDS (0-3600)");
        ControlResult result;
        result.hangupSeconds = static_cast<int>(seconds);
        result.changed = true;
        return result;
    } else if (cmd == "key") {
        static const char *const keys[] = {"stop", "start", "prime", "pause"};
        ControlResult result;
        for (int k = 0; k < 4 && n == 2; ++k)
            if (w[1] == keys[k])
                result.key = k;
        if (result.key < 0)
            return failure(usage + "key start|stop|prime|pause");
        result.changed = true;
        return result;
    } else if (cmd == "clear" && n == 1) {
        faults = Faults();
    } else if (cmd == "show" && n == 1) {
        return {true, describeFaults(faults), -1, false};
    } else if (cmd == "help" && n == 1) {
        return {true, helpText, -1, false};
    } else {
        return failure("cannot read '" + line.substr(0, 60) + "' (try help)");
    }
    return {true, {}, -1, true};
}

std::string describeFaults(const Faults &faults)
{
    std::ostringstream out;
    if (faults.silent)
        out << "silent on\n";
    if (faults.badLrc)
        out << "badlrc on\n";
    if (faults.nullLrc)
        out << "nullrc on\n";
    if (faults.noise > 0)
        out << "noise " << faults.noise << '\n';
    if (faults.drop > 0)
        out << "drop " << faults.drop << '\n';
    if (faults.trickleMs > 0)
        out << "trickle " << faults.trickleMs << '\n';
    for (int bit = 0; bit < 8; ++bit)
        if (faults.errors & (1u << bit))
            out << "status 6 " << bit << " on\n";
    for (int group = 0; group < 6; ++group)
        for (int bit = 0; bit < 8; ++bit) {
            if (faults.forceOn[group] & (1u << bit))
                out << "status " << group << ' ' << bit << " on\n";
            if (faults.forceOff[group] & (1u << bit))
                out << "status " << group << ' ' << bit << " off\n";
        }
    const std::string text = out.str();
    return text.empty() ? "no faults\n" : text;
}

const char *controlCommandHelp()
{
    return helpText;
}

} // namespace fluxosim
