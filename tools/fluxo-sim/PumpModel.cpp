#include "PumpModel.h"

#include "SimProtocol.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace fluxosim {
namespace {

// One stored setting: its mnemonic, the width of its value field (and of its query answer), its
// range or, when allowed is not empty, the only values it takes, and its power-on value.
struct SettingRule
{
    const char *mnemonic;
    int width;
    long min;
    long max;
    std::vector<long> allowed;
    long initial;
};

const std::vector<SettingRule> &settingRules()
{
    // Volumes and flows in thousandths of a ml (per minute), DT as the digits HHMMSS00,
    // DB in seconds, CH in hundredths of a percent, ZF! in tenths of a microlitre.
    static const std::vector<SettingRule> rules = {
        {"RV", 8, 1000, 100000, {}, 10000},
        {"DV", 8, 100, 999900, {}, 10000},
        {"DT", 8, 0, 1395900, {}, 0},
        {"DB", 5, 0, 5999, {}, 1},
        {"DN", 5, 0, 1000, {}, 0},
        {"RA", 1, 0, 9, {0, 1, 2, 3, 9}, 0},
        {"RB", 1, 0, 1, {}, 0},
        {"L1", 2, 0, 6, {0, 1, 6}, 0},
        {"L2", 2, 0, 10, {0, 1, 6, 8, 9, 10}, 0},
        {"RS", 1, 0, 4, {}, 0},
        {"LS", 1, 0, 6, {}, 0},
        {"CF", 8, 1000, 100000, {}, 10000},
        {"CH", 5, 8000, 12000, {}, 10000},
        {"SA", 1, 0, 1, {}, 0},
        {"SP", 1, 0, 1, {}, 1},
        {"PF!", 1, 0, 1, {}, 0},
        {"CC", 1, 0, 3, {}, 0},
        {"LC", 3, 0, 100, {}, 40},
        {"AD", 2, 0, 98, {}, 1},
        {"PM!", 1, 0, 5, {}, 0},
        {"ZF!", 5, 1, 99999, {}, 202},
        {"ZR!", 8, 1, 99999999, {}, 10000},
        {"MP", 1, 1, 1, {}, 0},
        {"MS", 1, 0, 2, {}, 0},
    };
    return rules;
}

const SettingRule *findRule(const std::string &mnemonic)
{
    for (const SettingRule &rule : settingRules())
        if (mnemonic == rule.mnemonic)
            return &rule;
    return nullptr;
}

bool allDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// Pump models 2, 3 and 5 (M02-A, M02-B, M02-C) are FLUXO 02, the others FLUXO 10.
bool isFluxo02Model(long model)
{
    return model == 2 || model == 3 || model == 5;
}

// DT digits HHMMSS00 to milliseconds.
std::int64_t dispenseMs(long digits)
{
    const long hours = digits / 1000000;
    const long minutes = digits / 10000 % 100;
    const long seconds = digits / 100 % 100;
    return (hours * 3600 + minutes * 60 + seconds) * 1000;
}

std::string hex(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

PumpModel::Reply ack(const std::string &verdict)
{
    return {std::string(1, ACK), "ACK " + verdict};
}

PumpModel::Reply nak(const std::string &verdict)
{
    return {std::string(1, NAK), "NAK " + verdict};
}

} // namespace

PumpModel::PumpModel(const PumpConfig &pumpConfig, const Faults &faults)
    : config(pumpConfig)
    , currentFaults(faults)
    , random(pumpConfig.seed)
{
    resetSettings();
}

int PumpModel::address() const
{
    return static_cast<int>(settings.at("AD"));
}

PumpType PumpModel::type() const
{
    return isFluxo02Model(settings.at("PM!")) ? PumpType::Fluxo02 : PumpType::Fluxo10;
}

long PumpModel::maxFlow() const
{
    return type() == PumpType::Fluxo02 ? 20000 : 100000;
}

void PumpModel::resetSettings()
{
    for (const SettingRule &rule : settingRules())
        settings[rule.mnemonic] = rule.initial;
    settings["AD"] = config.address;
    settings["PM!"] = config.type == PumpType::Fluxo02 ? 2 : 0;
}

bool PumpModel::chance(double share)
{
    return share > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(random) < share;
}

PumpModel::Reply PumpModel::handle(const std::string &frame, std::int64_t nowMs)
{
    if (currentFaults.silent)
        return {{}, "ignored (silent)"};
    const std::size_t n = frame.size();
    if (n < 5 || frame[0] != STX || frame[n - 2] != ETX)
        return {{}, "silence: not a frame"};
    const std::string addressText = frame.substr(1, 2);
    if (!allDigits(addressText) || std::stoi(addressText) != address())
        return {{}, "silence: frame for address " + addressText};

    const auto expected = lrc(frame.substr(0, n - 1));
    const auto got = static_cast<unsigned char>(frame[n - 1]);
    Reply reply = expected == got
                      ? obey(frame.substr(3, n - 5), nowMs)
                      : nak("check character " + hex(got) + ", expected " + hex(expected));

    const bool dataFrame = !reply.bytes.empty() && reply.bytes[0] == STX;
    if (!dataFrame && settings.at("SP") == 0) {
        reply.bytes.clear();
        reply.verdict += ", no answer (protocol answer off)";
    }
    if (reply.bytes.empty())
        return reply;
    if (chance(currentFaults.drop)) {
        reply.bytes.clear();
        reply.verdict += ", answer dropped (fault)";
        return reply;
    }
    if (dataFrame && currentFaults.nullLrc) {
        reply.bytes = fluxosim::dataFrame("00000001");
        reply.verdict += ", answered 00000001 with NUL check (fault)";
    }
    if (dataFrame && currentFaults.badLrc) {
        reply.bytes.back() = static_cast<char>(reply.bytes.back() ^ 0x55);
        reply.verdict += ", wrong check character (fault)";
    }
    if (chance(currentFaults.noise)) {
        const auto noiseByte = static_cast<char>(0x80 + random() % 0x80);
        reply.bytes.insert(reply.bytes.begin(), noiseByte);
        reply.verdict += ", noise byte first (fault)";
    }
    return reply;
}

PumpModel::Reply PumpModel::obey(const std::string &body, std::int64_t nowMs)
{
    if (!body.empty() && body[0] == '?')
        return query(body.substr(1), nowMs);
    const std::size_t length = body.size() >= 3 && body[2] == '!' ? 3 : 2;
    const std::string mnemonic = body.substr(0, length);
    const std::string value = body.size() > length ? body.substr(length) : std::string();

    if (mnemonic == "IP") {
        if (!value.empty())
            return nak("malformed value: " + body);
        run.stop(nowMs);
        priming = false;
        resetSettings();
        return ack("IP: every setting back to its default");
    }
    const bool key = mnemonic == "KY";
    const SettingRule *rule = key ? nullptr : findRule(mnemonic);
    if (!key && !rule)
        return nak("unknown command: " + body);
    const int width = key ? 1 : rule->width;
    if (static_cast<int>(value.size()) != width || !allDigits(value))
        return nak("malformed value: " + body);
    const long v = std::stol(value);
    if (key)
        return v <= 3 ? runCommand(v, nowMs) : nak("out of range: " + body);

    bool valid = rule->allowed.empty() ? v >= rule->min && v <= rule->max
                                       : std::find(rule->allowed.begin(), rule->allowed.end(), v) !=
                                             rule->allowed.end();
    if (mnemonic == "RV")
        valid = valid && v <= maxFlow();
    if (mnemonic == "DT") // HHMMSS00 with minutes and seconds below 60, no hundredths
        valid = valid && v / 10000 % 100 < 60 && v / 100 % 100 < 60 && v % 100 == 0;
    if (!valid)
        return nak("out of range: " + body);

    settings[mnemonic] = v;
    if (mnemonic == "MP") { // the motor goes to its maintenance position
        run.stop(nowMs);
        priming = false;
    }
    return ack(mnemonic + " = " + std::to_string(v));
}

PumpModel::Reply PumpModel::query(const std::string &what, std::int64_t nowMs)
{
    std::string text;
    if (what == "TV") {
        text = zeroFilled(std::min<std::int64_t>(run.volume(nowMs), 99999999), 8);
    } else if (what == "TT") {
        const std::int64_t ms = run.elapsedMs(nowMs);
        const std::int64_t seconds = ms / 1000;
        text = zeroFilled(std::min<std::int64_t>(seconds / 3600, 99), 2) +
               zeroFilled(seconds / 60 % 60, 2) + zeroFilled(seconds % 60, 2) +
               zeroFilled(ms % 1000 / 10, 2);
    } else if (what == "SV") { // hardware code, then firmware 1.23
        text = type() == PumpType::Fluxo02 ? "0010201023" : "0011001023";
    } else if (what == "SI") {
        text = zeroFilled(address(), 2);
    } else if (what.size() == 3 && what.compare(0, 2, "SS") == 0 && what[2] >= '0' &&
               what[2] <= '6') {
        text = zeroFilled(statusWord(what[2] - '0', nowMs), 3);
    } else if (const SettingRule *rule = findRule(what)) {
        text = zeroFilled(settings.at(rule->mnemonic), rule->width);
    } else {
        return nak("unknown query: ?" + what);
    }
    return {dataFrame(text), "query ?" + what + " = " + text};
}

PumpModel::Reply PumpModel::runCommand(long key, std::int64_t nowMs)
{
    const bool inProgress = run.inProgress(nowMs);
    switch (key) {
    case 0:
        run.stop(nowMs);
        priming = false;
        return ack("KY0 stop");
    case 1:
        if (currentFaults.errors)
            return nak("KY1 refused: pump error");
        if (run.state(nowMs) == DosingRun::State::Paused) {
            run.resume(nowMs);
            return ack("KY1 resume");
        }
        if (inProgress && !priming)
            return ack("KY1, already running");
        startRun(false, nowMs);
        return ack("KY1 start");
    case 2:
        if (currentFaults.errors)
            return nak("KY2 refused: pump error");
        if (inProgress && !priming)
            return nak("KY2 refused: running");
        startRun(true, nowMs);
        return ack("KY2 prime");
    default:
        if (!run.pause(nowMs))
            return nak("KY3 refused: not running");
        return ack("KY3 pause");
    }
}

void PumpModel::startRun(bool prime, std::int64_t nowMs)
{
    DosingRun::Plan plan;
    const long mode = settings.at("MS");
    const std::int64_t timeMs = dispenseMs(settings.at("DT"));
    if (prime) {
        plan.rate = maxFlow();
    } else if (mode == 1) {
        plan.doseVolume = settings.at("DV");
        plan.doseMs = timeMs > 0 ? timeMs : plan.doseVolume * 60000 / maxFlow();
        plan.breakMs = settings.at("DB") * 1000;
        const long cycles = settings.at("DN");
        plan.cycles = cycles == 1000 ? 0 : std::max(1L, cycles);
    } else {
        plan.rate = settings.at("RV");
        plan.doseMs = timeMs;
        plan.doseVolume = plan.rate * timeMs / 60000;
    }
    priming = prime;
    settings["MP"] = 0;
    earlierRunsVolume += run.volume(nowMs);
    run.start(plan, nowMs);
}

std::int64_t PumpModel::deliveredVolume(std::int64_t nowMs) const
{
    return earlierRunsVolume + run.volume(nowMs);
}

bool PumpModel::moving(std::int64_t nowMs) const
{
    return run.state(nowMs) == DosingRun::State::Dosing;
}

int PumpModel::statusWord(int group, std::int64_t nowMs) const
{
    if (group < 0 || group > 6)
        return 0;
    if (group == 6)
        return currentFaults.errors;
    const bool moving = run.state(nowMs) == DosingRun::State::Dosing;
    const long mode = settings.at("MS");
    int word = 0;
    switch (group) {
    case 1: // motion, any error; bit 2 (display off) stays clear
        word = (moving ? 1 : 0) | (currentFaults.errors ? 2 : 0);
        break;
    case 2: // adjusted unless that error is set; dead centre every half second of motion
        word = (currentFaults.errors & 0x20 ? 0 : 1) |
               (moving && run.elapsedMs(nowMs) / 500 % 2 ? 8 : 0);
        break;
    case 3:
        word = mode == 0 ? 1 : 0;
        break;
    case 4: // bit 3: master stop not active
        word = (mode != 0 ? 1 : 0) | 8;
        break;
    default:
        break;
    }
    return (word | currentFaults.forceOn[group]) & ~currentFaults.forceOff[group] & 0xFF;
}

ControlResult PumpModel::control(const std::string &line, std::int64_t nowMs)
{
    ControlResult result = applyControlCommand(line, currentFaults);
    if (result.key >= 0)
        result.message = runCommand(result.key, nowMs).verdict;
    if (currentFaults.errors) {
        run.stop(nowMs);
        priming = false;
    }
    return result;
}

} // namespace fluxosim
