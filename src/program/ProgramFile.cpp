#include "program/ProgramFile.h"

#include "platform/Suggestion.h"
#include "platform/UserFile.h"
#include "program/ProgramPlan.h"
#include "pump/DosingPlan.h"
#include "pump/DurationText.h"
#include "pump/JsonKeys.h"
#include "pump/KeyTable.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <limits>

using Pump::KeyTable;

namespace {

using Kind = ProgramStep::Kind;

// Pump: the optional name of the pump a step runs on; Names: a gradient's two pumps.
enum class Type { Number, Whole, Text, Steps, Pump, Names };

// One field of a step's object, and where ProgramStep keeps it.
struct Field
{
    const char *name;
    Type type;
    double ProgramStep::*number = nullptr;
    int ProgramStep::*whole = nullptr;
};

const Field pumpField{"pump", Type::Pump};

struct KindFields
{
    Kind kind;
    std::vector<Field> fields; // in the order the file shows them and errors are listed
};

const std::vector<KindFields> &kinds()
{
    static const std::vector<KindFields> table = {
        {Kind::Dose,
         {{"volume_ml", Type::Number, &ProgramStep::volumeMl},
          {"rate_ml_min", Type::Number, &ProgramStep::rateMlMin},
          pumpField}},
        {Kind::Run,
         {{"rate_ml_min", Type::Number, &ProgramStep::rateMlMin},
          {"for_s", Type::Number, &ProgramStep::forS},
          pumpField}},
        {Kind::Ramp,
         {{"from_ml_min", Type::Number, &ProgramStep::fromMlMin},
          {"to_ml_min", Type::Number, &ProgramStep::toMlMin},
          {"for_s", Type::Number, &ProgramStep::forS},
          {"steps", Type::Whole, nullptr, &ProgramStep::rampSteps},
          pumpField}},
        {Kind::Wait, {{"for_s", Type::Number, &ProgramStep::forS}, pumpField}},
        {Kind::Prime, {{"for_s", Type::Number, &ProgramStep::forS}, pumpField}},
        {Kind::Prompt, {{"text", Type::Text}, pumpField}},
        {Kind::Repeat,
         {{"count", Type::Whole, nullptr, &ProgramStep::count}, {"steps", Type::Steps}, pumpField}},
        // Its fields are the pumps' names, each with its branch of steps.
        {Kind::Parallel, {}},
        {Kind::Gradient,
         {{"pumps", Type::Names},
          {"total_ml_min", Type::Number, &ProgramStep::totalMlMin},
          {"from_percent", Type::Number, &ProgramStep::fromPercent},
          {"to_percent", Type::Number, &ProgramStep::toPercent},
          {"for_s", Type::Number, &ProgramStep::forS},
          {"steps", Type::Whole, nullptr, &ProgramStep::rampSteps}}},
    };
    return table;
}

bool multiPump(Kind kind)
{
    return kind == Kind::Parallel || kind == Kind::Gradient;
}

const KindFields &fieldsOf(Kind kind)
{
    for (const KindFields &k : kinds())
        if (k.kind == kind)
            return k;
    return kinds().front();
}

// The kinds a step may be: those that drive several pumps only in a program that names them.
QString kindList(bool pumpsNamed)
{
    QStringList names;
    for (const KindFields &k : kinds())
        if (pumpsNamed || !multiPump(k.kind))
            names << ProgramStep::kindName(k.kind);
    return names.join(QStringLiteral(", "));
}

// Limits of our own; the pump's values take theirs from the key table.
constexpr int NameMaxChars = 100;
constexpr int PromptMaxChars = 500;
constexpr double WaitMaxS = 86400; // a day
// The pump times a wait in whole seconds: anything shorter would not be a wait at all.
constexpr double WaitMinS = 1;
// A prime's end is our Stop on the line, not the pump's clock: a shorter one would be mostly the
// exchanges that start and stop it.
constexpr double PrimeMinS = 1;
constexpr int RampMinSteps = 2;
constexpr int RampMaxSteps = 100;
constexpr double RampMinStepS = 1;
constexpr int PumpNameMaxChars = 32;

// The fields of a step that hold a value of the right type, by their index in its kind's table.
// read() leaves out the missing and mistyped ones, so that none is judged twice.
using Present = unsigned;
constexpr Present AllPresent = ~0u;

bool has(Present present, int field)
{
    return present & (1u << field);
}

// Names and prompts reach terminals and the window as they are: no escape sequences, no line
// breaks.
bool hasControl(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// Text from the file as an error shows it: control characters as '?', and cut short, so that a
// file cannot write escape sequences to a terminal through its errors.
QString shown(const QString &text)
{
    QString out = text.left(40);
    for (QChar &c : out)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return text.size() > 40 ? out + QStringLiteral("...") : out;
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// A value as an error quotes it: strings in quotes, arrays and objects by their kind.
QString quoted(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QLatin1Char('"') + shown(value.toString()) + QLatin1Char('"');
    case QJsonValue::Double:
        return number(value.toDouble());
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        break;
    }
    return QStringLiteral("null");
}

// The key table's words for a value outside a key's limits, under the file's path:
// "steps[0].dose.rate_ml_min: 150 is above 100.0 ml/min".
QString outside(const char *key, const QString &path, double value)
{
    const QString why = KeyTable::outside(KeyTable::key(QLatin1String(key)), value);
    return why.isEmpty() ? QString() : path + why.mid(why.indexOf(QLatin1Char(':')));
}

// Pump names go on command lines ("--pump A=PORT") and into topics: plain words only.
bool pumpName(const QString &name)
{
    return !name.isEmpty() && name.size() <= PumpNameMaxChars &&
           std::all_of(name.begin(), name.end(), [](QChar c) {
               return (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('-') ||
                      c == QLatin1Char('_');
           });
}

class Rules
{
public:
    QStringList &errors;
    QStringList pumps = {}; // the program's; empty for a program of one unnamed pump
    QStringList *notes = nullptr;
    // A step that could not be read as one is left out of the program, so what was read no
    // longer lines up with the file's paths.
    bool stepLost = false;

    void add(const QString &error)
    {
        if (!error.isEmpty())
            errors << error;
    }

    // A value the pump takes in thousandths, within the key's limits.
    bool decimal(const char *key, const QString &path, double value)
    {
        if (!std::isfinite(value)) {
            add(path + QStringLiteral(": is not a number"));
            return false;
        }
        const QString error = outside(key, path, value);
        if (!error.isEmpty()) {
            add(error);
            return false;
        }
        const double step = KeyTable::step(KeyTable::key(QLatin1String(key)));
        const double steps = value / step;
        if (std::fabs(steps - std::round(steps)) > 1e-6) {
            add(QStringLiteral("%1: %2 is finer than %3 %4")
                    .arg(path, number(value), number(step),
                         KeyTable::key(QLatin1String(key)).unit));
            return false;
        }
        return true;
    }

    // A run's or a ramp's time: the pump's dispense time, whole seconds, and not 0, which would
    // run until stopped.
    bool dispenseTime(const QString &path, double seconds)
    {
        if (!std::isfinite(seconds) || seconds != std::floor(seconds)) {
            add(QStringLiteral("%1: %2 is not a whole number of seconds")
                    .arg(path, number(seconds)));
            return false;
        }
        if (seconds < 1) {
            add(QStringLiteral("%1: %2 is below 1 s").arg(path, number(seconds)));
            return false;
        }
        const QString error = outside("dispense-time", path, seconds);
        if (!error.isEmpty()) {
            // In seconds the limit means little; the pump's display shows it as a clock.
            const auto longest =
                static_cast<int>(KeyTable::key(QLatin1String("dispense-time")).maximum);
            add(QStringLiteral("%1 (%2)").arg(error, Pump::DurationText::clock(longest)));
        }
        return error.isEmpty();
    }

    bool whole(const QString &path, int value, int minimum, int maximum)
    {
        if (value < minimum)
            add(QStringLiteral("%1: %2 is below %3").arg(path).arg(value).arg(minimum));
        else if (value > maximum)
            add(QStringLiteral("%1: %2 is above %3").arg(path).arg(value).arg(maximum));
        return value >= minimum && value <= maximum;
    }

    // A name a step gives for its pump: one of the program's.
    bool knownPump(const QString &path, const QString &name)
    {
        if (pumps.isEmpty()) {
            add(path + QStringLiteral(": the program names no pumps (\"pumps\")"));
            return false;
        }
        if (!pumps.contains(name)) {
            add(QStringLiteral("%1: \"%2\" is not one of the program's pumps (%3)")
                    .arg(path, shown(name), shown(pumps.join(QStringLiteral(", ")))));
            return false;
        }
        return true;
    }

    void percent(const QString &path, double value)
    {
        if (!std::isfinite(value))
            add(path + QStringLiteral(": is not a number"));
        else if (value < 0)
            add(QStringLiteral("%1: %2 is below 0").arg(path, number(value)));
        else if (value > 100)
            add(QStringLiteral("%1: %2 is above 100").arg(path, number(value)));
    }

    // The steps that drive several pumps at once: only in a program that names them, and never
    // within a branch, which is one pump's.
    void multiPumpStep(const ProgramStep &s, const QString &path, const QString &branch,
                       Present present)
    {
        const auto at = [&path](const char *field) {
            return path + QLatin1Char('.') + QLatin1String(field);
        };
        if (pumps.isEmpty()) {
            add(path + QStringLiteral(": drives several pumps; the program names none "
                                      "(\"pumps\")"));
            return;
        }
        if (!branch.isEmpty()) {
            add(QStringLiteral("%1: within %2's branch; a branch runs on its own pump only")
                    .arg(path, shown(branch)));
            return;
        }
        if (s.kind == Kind::Parallel) {
            if (s.branches.empty())
                add(path + QStringLiteral(": no branches; a branch is a pump's name with its "
                                          "steps"));
            for (const ProgramStep::Branch &b : s.branches)
                knownPump(path + QLatin1Char('.') + shown(b.pump), b.pump);
            return;
        }
        if (has(present, 0)) {
            if (s.pumps.size() != 2)
                add(QStringLiteral("%1: %2 pump%3; a gradient takes two")
                        .arg(at("pumps"))
                        .arg(s.pumps.size())
                        .arg(s.pumps.size() == 1 ? QString() : QStringLiteral("s")));
            else if (s.pumps[0] == s.pumps[1])
                add(QStringLiteral("%1: \"%2\" twice; a gradient takes two pumps")
                        .arg(at("pumps"), shown(s.pumps[0])));
            else
                for (int i = 0; i < 2; ++i)
                    knownPump(QStringLiteral("%1[%2]").arg(at("pumps")).arg(i), s.pumps[i]);
        }
        if (has(present, 1))
            decimal("flow-rate", at("total_ml_min"), s.totalMlMin);
        if (has(present, 2))
            percent(at("from_percent"), s.fromPercent);
        if (has(present, 3))
            percent(at("to_percent"), s.toPercent);
        const bool time = has(present, 4) && dispenseTime(at("for_s"), s.forS);
        const bool steps =
            has(present, 5) && whole(at("steps"), s.rampSteps, RampMinSteps, RampMaxSteps);
        if (time && steps && s.forS / s.rampSteps < RampMinStepS)
            add(QStringLiteral("%1: %2 s in %3 steps is under %4 s a step")
                    .arg(at("for_s"), number(s.forS))
                    .arg(s.rampSteps)
                    .arg(number(RampMinStepS)));
    }

    // The rules of one step's values; path names the kind ("steps[0].dose"), level counts the
    // repeats the step is in, branch names the pump of the parallel branch it is in.
    void step(const ProgramStep &s, const QString &path, int level, Present present,
              const QString &branch = QString())
    {
        const auto at = [&path](const char *field) {
            return path + QLatin1Char('.') + QLatin1String(field);
        };
        if (multiPump(s.kind)) {
            multiPumpStep(s, path, branch, present);
            return;
        }
        // The pump is the last field of every other kind.
        const int pumpIndex = static_cast<int>(fieldsOf(s.kind).fields.size()) - 1;
        if (has(present, pumpIndex) && !s.pump.isEmpty() && knownPump(at("pump"), s.pump) &&
            !branch.isEmpty() && s.pump != branch)
            add(QStringLiteral("%1: \"%2\" in %3's branch; a branch runs on its own pump only")
                    .arg(at("pump"), shown(s.pump), shown(branch)));
        switch (s.kind) {
        case Kind::Dose: {
            const bool volume = has(present, 0) && decimal("volume", at("volume_ml"), s.volumeMl);
            const bool rate =
                has(present, 1) && decimal("flow-rate", at("rate_ml_min"), s.rateMlMin);
            if (volume && rate) {
                // The dose goes out as DosingPlan sets it up, its time as the pump's dispense
                // time: the same rule decides here.
                const Pump::DosingPlan plan =
                    Pump::DosingPlan::dose(number(s.volumeMl), number(s.rateMlMin));
                if (!plan.ok())
                    add(path + QStringLiteral(": ") + plan.error);
                else if (plan.fullFlow && notes)
                    *notes << QStringLiteral("%1: %2 ml at %3 ml/min would take under half a "
                                             "second; it goes at full flow")
                                  .arg(path, number(s.volumeMl), number(s.rateMlMin));
            }
            break;
        }
        case Kind::Run:
            if (has(present, 0))
                decimal("flow-rate", at("rate_ml_min"), s.rateMlMin);
            if (has(present, 1))
                dispenseTime(at("for_s"), s.forS);
            break;
        case Kind::Ramp: {
            if (has(present, 0))
                decimal("flow-rate", at("from_ml_min"), s.fromMlMin);
            if (has(present, 1))
                decimal("flow-rate", at("to_ml_min"), s.toMlMin);
            const bool time = has(present, 2) && dispenseTime(at("for_s"), s.forS);
            const bool steps =
                has(present, 3) && whole(at("steps"), s.rampSteps, RampMinSteps, RampMaxSteps);
            if (time && steps && s.forS / s.rampSteps < RampMinStepS)
                add(QStringLiteral("%1: %2 s in %3 steps is under %4 s a step")
                        .arg(at("for_s"), number(s.forS))
                        .arg(s.rampSteps)
                        .arg(number(RampMinStepS)));
            break;
        }
        case Kind::Wait:
            if (!has(present, 0))
                break;
            if (!std::isfinite(s.forS))
                add(at("for_s") + QStringLiteral(": is not a number"));
            else if (s.forS < WaitMinS)
                add(QStringLiteral("%1: %2 is below %3 s, the shortest wait the pump can time")
                        .arg(at("for_s"), number(s.forS), number(WaitMinS)));
            else if (s.forS > WaitMaxS)
                add(QStringLiteral("%1: %2 is above %3 s (a day)")
                        .arg(at("for_s"), number(s.forS), number(WaitMaxS)));
            break;
        case Kind::Prompt:
            if (!has(present, 0))
                break;
            if (s.text.trimmed().isEmpty())
                add(at("text") + QStringLiteral(": is empty"));
            else if (hasControl(s.text))
                add(at("text") + QStringLiteral(": holds a control character"));
            else if (s.text.size() > PromptMaxChars)
                add(QStringLiteral("%1: %2 characters, above %3")
                        .arg(at("text"))
                        .arg(s.text.size())
                        .arg(PromptMaxChars));
            break;
        case Kind::Prime:
            // Timed like a run, though the Stop at its end is ours: the pump's prime has no time
            // of its own. Without one it would prime until stopped.
            if (!has(present, 0))
                break;
            if (std::isfinite(s.forS) && s.forS < PrimeMinS)
                add(QStringLiteral("%1: %2 is below %3 s, the shortest prime a program times")
                        .arg(at("for_s"), number(s.forS), number(PrimeMinS)));
            else
                dispenseTime(at("for_s"), s.forS);
            break;
        case Kind::Repeat:
            // Only the first repeat too deep is named; those within it are part of that error.
            if (level + 1 == ProgramFile::MaxDepth + 1)
                add(QStringLiteral("%1: repeats nest more than %2 deep")
                        .arg(path)
                        .arg(ProgramFile::MaxDepth));
            if (has(present, 0))
                whole(at("count"), s.count, 1, ProgramFile::MaxSteps);
            break;
        case Kind::Parallel:
        case Kind::Gradient:
            break;
        }
    }

    void steps(std::size_t count, const QString &path)
    {
        if (count == 0)
            add(path + QStringLiteral(": no steps"));
    }

    void name(const QString &name)
    {
        if (name.trimmed().isEmpty())
            add(QStringLiteral("name: is empty"));
        else if (hasControl(name))
            add(QStringLiteral("name: holds a control character"));
        else if (name.size() > NameMaxChars)
            add(QStringLiteral("name: %1 characters, above %2").arg(name.size()).arg(NameMaxChars));
    }

    // The program's own list of pumps: plain, distinct names, each of which some step uses.
    void pumpList(const QStringList &names, const std::vector<ProgramStep> &steps)
    {
        if (names.size() > ProgramFile::MaxPumps)
            add(QStringLiteral("pumps: %1 pumps, above %2")
                    .arg(names.size())
                    .arg(ProgramFile::MaxPumps));
        QStringList used;
        if (!names.isEmpty())
            usedPumps(steps, names.first(), used);
        for (int i = 0; i < names.size(); ++i) {
            const QString path = QStringLiteral("pumps[%1]").arg(i);
            if (!pumpName(names[i]))
                add(QStringLiteral("%1: \"%2\" is not a pump name (letters, digits, - and _, up "
                                   "to %3)")
                        .arg(path, shown(names[i]))
                        .arg(PumpNameMaxChars));
            else if (names.indexOf(names[i]) < i)
                add(QStringLiteral("%1: \"%2\" is named twice").arg(path, names[i]));
            else if (!used.contains(names[i]))
                add(QStringLiteral("%1: \"%2\" has no step").arg(path, names[i]));
        }
    }

    static void usedPumps(const std::vector<ProgramStep> &steps, const QString &pump,
                          QStringList &used)
    {
        for (const ProgramStep &s : steps) {
            const QString own = s.pump.isEmpty() ? pump : s.pump;
            if (s.kind == Kind::Parallel) {
                for (const ProgramStep::Branch &b : s.branches)
                    usedPumps(b.steps, b.pump, used << b.pump);
            } else if (s.kind == Kind::Gradient) {
                used << s.pumps;
            } else {
                used << own;
                usedPumps(s.steps, own, used);
            }
        }
    }

    void size(const std::vector<ProgramStep> &list)
    {
        constexpr long long counted = 1000000;
        const long long n = ProgramPlan::unrolledCount(list, counted);
        if (n > ProgramFile::MaxSteps)
            add(QStringLiteral("steps: %1%2 steps once unrolled, above %3")
                    .arg(n > counted ? QStringLiteral("over ") : QString())
                    .arg(std::min(n, counted))
                    .arg(ProgramFile::MaxSteps));
    }
};

QString stepPath(const QString &listPath, int index)
{
    return QStringLiteral("%1[%2]").arg(listPath).arg(index);
}

// Walks a program built in memory through the rules.
void checkSteps(Rules &rules, const std::vector<ProgramStep> &list, const QString &listPath,
                int level, const QString &branch = QString())
{
    rules.steps(list.size(), listPath);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ProgramStep &s = list[i];
        const QString path = stepPath(listPath, static_cast<int>(i)) + QLatin1Char('.') +
                             ProgramStep::kindName(s.kind);
        rules.step(s, path, level, AllPresent, branch);
        if (s.kind == Kind::Repeat)
            checkSteps(rules, s.steps, path + QStringLiteral(".steps"), level + 1, branch);
        if (s.kind == Kind::Parallel && branch.isEmpty())
            for (const ProgramStep::Branch &b : s.branches)
                checkSteps(rules, b.steps, path + QLatin1Char('.') + shown(b.pump), level, b.pump);
    }
}

// Reads the file's JSON into a program, naming every missing, unknown and mistyped field, and
// hands each value to the rules.
class Reader
{
public:
    explicit Reader(Rules &r)
        : rules(r)
    {}

    std::vector<ProgramStep> steps(const QJsonValue &value, const QString &listPath, int level)
    {
        std::vector<ProgramStep> list;
        if (!value.isArray()) {
            rules.add(QStringLiteral("%1: %2 is not a list of steps").arg(listPath, quoted(value)));
            rules.stepLost = true;
            return list;
        }
        const QJsonArray array = value.toArray();
        rules.steps(static_cast<std::size_t>(array.size()), listPath);
        for (int i = 0; i < array.size(); ++i) {
            ProgramStep s;
            if (step(array.at(i), stepPath(listPath, i), level, s))
                list.push_back(std::move(s));
            else
                rules.stepLost = true;
        }
        return list;
    }

private:
    // A parallel step's body: each pump's name with its steps, read as that pump's branch.
    void branches(const QJsonObject &body, const QString &path, int level, ProgramStep &s)
    {
        // Refused as a whole within a branch or in a program of one pump: its branches are not
        // read.
        const bool refused = !branch.isEmpty() || rules.pumps.isEmpty();
        for (auto it = body.begin(); it != body.end(); ++it) {
            ProgramStep::Branch b;
            b.pump = it.key();
            if (!refused) {
                branch = b.pump;
                b.steps = steps(it.value(), path + QLatin1Char('.') + shown(b.pump), level);
                branch.clear();
            }
            s.branches.push_back(std::move(b));
        }
    }

    bool step(const QJsonValue &value, const QString &path, int level, ProgramStep &s)
    {
        if (!value.isObject()) {
            rules.add(QStringLiteral("%1: %2 is not a step").arg(path, quoted(value)));
            return false;
        }
        const QString known = kindList(!rules.pumps.isEmpty());
        const QJsonObject object = value.toObject();
        if (object.size() != 1) {
            rules.add(
                object.isEmpty()
                    ? QStringLiteral("%1: no step; a step is one of %2").arg(path, known)
                    : QStringLiteral("%1: %2 steps in one; a step holds one of %3")
                          .arg(path, shown(object.keys().join(QStringLiteral(" and "))), known));
            return false;
        }
        const QString kindName = object.begin().key();
        const KindFields *kind = nullptr;
        for (const KindFields &k : kinds())
            if (ProgramStep::kindName(k.kind) == kindName)
                kind = &k;
        const QString kindPath = path + QLatin1Char('.') + shown(kindName);
        if (!kind) {
            rules.add(QStringLiteral("%1: unknown step%2; a step is one of %3")
                          .arg(kindPath,
                               Suggestion::hint(kindName, known.split(QStringLiteral(", "))),
                               known));
            return false;
        }
        s.kind = kind->kind;
        const QJsonValue body = object.begin().value();
        if (!body.isObject()) {
            rules.add(QStringLiteral("%1: %2 is not an object").arg(kindPath, quoted(body)));
            return false;
        }
        const QJsonObject fields = body.toObject();
        if (s.kind == Kind::Parallel) {
            branches(fields, kindPath, level, s);
            rules.step(s, kindPath, level, AllPresent, branch);
            return true;
        }
        Present present = 0;
        for (std::size_t i = 0; i < kind->fields.size(); ++i) {
            const Field &field = kind->fields[i];
            const QString fieldPath = kindPath + QLatin1Char('.') + QLatin1String(field.name);
            if (!fields.contains(QLatin1String(field.name))) {
                if (field.type != Type::Pump)
                    rules.add(fieldPath + QStringLiteral(": missing"));
                continue;
            }
            if (read(field, fields.value(QLatin1String(field.name)), fieldPath, level, s))
                present |= 1u << i;
        }
        QStringList names;
        for (const Field &field : kind->fields)
            names << QLatin1String(field.name);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (!names.contains(it.key()))
                rules.add(kindPath + QLatin1Char('.') + shown(it.key()) +
                          QStringLiteral(": unknown field") + Suggestion::hint(it.key(), names));
        rules.step(s, kindPath, level, present, branch);
        return true;
    }

    bool read(const Field &field, const QJsonValue &value, const QString &path, int level,
              ProgramStep &s)
    {
        switch (field.type) {
        case Type::Number:
            if (!value.isDouble()) {
                rules.add(QStringLiteral("%1: %2 is not a number").arg(path, quoted(value)));
                return false;
            }
            s.*field.number = value.toDouble();
            return true;
        case Type::Whole: {
            const double x = value.toDouble();
            if (!value.isDouble() || x != std::floor(x)) {
                rules.add(QStringLiteral("%1: %2 is not a whole number").arg(path, quoted(value)));
                return false;
            }
            if (std::fabs(x) > std::numeric_limits<int>::max()) {
                rules.add(QStringLiteral("%1: %2 is out of range").arg(path, quoted(value)));
                return false;
            }
            s.*field.whole = static_cast<int>(x);
            return true;
        }
        case Type::Text:
            if (!value.isString()) {
                rules.add(QStringLiteral("%1: %2 is not a text").arg(path, quoted(value)));
                return false;
            }
            s.text = value.toString();
            return true;
        case Type::Steps:
            s.steps = steps(value, path, level + 1);
            return value.isArray();
        case Type::Pump:
            if (!value.isString() || value.toString().isEmpty()) {
                rules.add(QStringLiteral("%1: %2 is not a pump's name").arg(path, quoted(value)));
                return false;
            }
            s.pump = value.toString();
            return true;
        case Type::Names: {
            const QJsonArray names = value.toArray();
            if (!value.isArray() ||
                std::any_of(names.begin(), names.end(),
                            [](const QJsonValue &v) { return !v.isString(); })) {
                rules.add(QStringLiteral("%1: %2 is not a list of pumps' names")
                              .arg(path, quoted(value)));
                return false;
            }
            for (const QJsonValue &name : names)
                s.pumps << name.toString();
            return true;
        }
        }
        return false;
    }

    Rules &rules;
    QString branch; // the pump whose parallel branch is being read
};

QJsonArray stepsJson(const std::vector<ProgramStep> &steps);

QJsonObject stepJson(const ProgramStep &s)
{
    QJsonObject fields;
    for (const Field &field : fieldsOf(s.kind).fields) {
        const QString name = QLatin1String(field.name);
        switch (field.type) {
        case Type::Number:
            fields.insert(name, s.*field.number);
            break;
        case Type::Whole:
            fields.insert(name, s.*field.whole);
            break;
        case Type::Text:
            fields.insert(name, s.text);
            break;
        case Type::Steps:
            fields.insert(name, stepsJson(s.steps));
            break;
        case Type::Pump:
            if (!s.pump.isEmpty())
                fields.insert(name, s.pump);
            break;
        case Type::Names:
            fields.insert(name, QJsonArray::fromStringList(s.pumps));
            break;
        }
    }
    for (const ProgramStep::Branch &b : s.branches)
        if (s.kind == Kind::Parallel)
            fields.insert(b.pump, stepsJson(b.steps));
    return QJsonObject{{ProgramStep::kindName(s.kind), fields}};
}

QJsonArray stepsJson(const std::vector<ProgramStep> &steps)
{
    QJsonArray out;
    for (const ProgramStep &s : steps)
        out.append(stepJson(s));
    return out;
}

QString sizeError(const QString &what, qint64 bytes)
{
    return QStringLiteral("%1 is %2 bytes, above %3")
        .arg(what)
        .arg(bytes)
        .arg(ProgramFile::MaxBytes);
}

} // namespace

ProgramFile::Checked ProgramFile::read(const QByteArray &json)
{
    Checked checked;
    if (json.size() > MaxBytes) {
        checked.errors << sizeError(QStringLiteral("the file"), json.size());
        return checked;
    }
    // Some editors start UTF-8 with a byte order mark; JSON itself has none.
    const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray text = json.startsWith(bom) ? json.mid(bom.size()) : json;
    const QString twice = Pump::JsonKeys::repeated(text);
    if (!twice.isNull()) {
        checked.errors << QStringLiteral("\"%1\" is given twice in one object").arg(shown(twice));
        return checked;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const int line = text.left(parseError.offset).count('\n') + 1;
        checked.errors << QStringLiteral("offset %1 (line %2): %3")
                              .arg(parseError.offset)
                              .arg(line)
                              .arg(parseError.errorString());
        return checked;
    }
    if (!document.isObject()) {
        checked.errors << QStringLiteral("the file holds no JSON object");
        return checked;
    }
    const QJsonObject top = document.object();
    Rules rules{checked.errors};
    rules.notes = &checked.notes;
    DosingProgram program;

    const QJsonValue format = top.value(QLatin1String("format"));
    const bool formatWrong = format.toString() != QLatin1String(Format);
    if (format.isUndefined())
        rules.add(QStringLiteral("format: missing"));
    else if (formatWrong)
        rules.add(
            QStringLiteral("format: %1 is not %2").arg(quoted(format), QLatin1String(Format)));

    const QJsonValue name = top.value(QLatin1String("name"));
    if (name.isUndefined()) {
        rules.add(QStringLiteral("name: missing"));
    } else if (!name.isString()) {
        rules.add(QStringLiteral("name: %1 is not a text").arg(quoted(name)));
    } else {
        program.name = name.toString();
        rules.name(program.name);
    }

    // Before the steps, which name them.
    const QJsonValue pumps = top.value(QLatin1String("pumps"));
    const QJsonArray pumpArray = pumps.toArray();
    if (pumps.isUndefined()) {
    } else if (!pumps.isArray() || pumpArray.isEmpty() ||
               std::any_of(pumpArray.begin(), pumpArray.end(),
                           [](const QJsonValue &v) { return !v.isString(); })) {
        rules.add(QStringLiteral("pumps: %1 is not a list of pumps' names").arg(quoted(pumps)));
    } else {
        for (const QJsonValue &name : pumpArray)
            program.pumps << name.toString();
        rules.pumps = program.pumps;
    }

    const QJsonValue steps = top.value(QLatin1String("steps"));
    if (steps.isUndefined()) {
        rules.add(QStringLiteral("steps: missing"));
    } else {
        program.steps = Reader(rules).steps(steps, QStringLiteral("steps"), 0);
        rules.size(program.steps);
    }
    if (!program.pumps.isEmpty())
        rules.pumpList(program.pumps, program.steps);

    const QStringList topNames{QStringLiteral("format"), QStringLiteral("name"),
                               QStringLiteral("steps"), QStringLiteral("pumps")};
    for (auto it = top.begin(); it != top.end(); ++it)
        if (!topNames.contains(it.key()))
            rules.add(shown(it.key()) + QStringLiteral(": unknown field") +
                      Suggestion::hint(it.key(), topNames));

    // Of another format, the file is no program; with steps missing or lost, not this one.
    checked.readable = !formatWrong && !steps.isUndefined() && !rules.stepLost;
    if (checked.readable && !checked.ok())
        checked.draft = program;
    if (checked.ok()) {
        program.fileSha256 =
            QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
        checked.program = std::move(program);
    }
    return checked;
}

ProgramFile::Checked ProgramFile::load(const QString &path)
{
    Checked checked;
    // A folder, a FIFO or a device is refused before it is opened; the read stops one byte past
    // the limit.
    QByteArray json;
    QString problem;
    if (!UserFile::read(path, MaxBytes + 1, &json, &problem)) {
        checked.errors << problem;
        return checked;
    }
    if (json.size() > MaxBytes) {
        const qint64 size = QFileInfo(path).size();
        checked.errors << sizeError(path, std::max<qint64>(size, json.size()));
        return checked;
    }
    return read(json);
}

QByteArray ProgramFile::write(const DosingProgram &program)
{
    QJsonObject top{{QStringLiteral("format"), QLatin1String(Format)},
                    {QStringLiteral("name"), program.name},
                    {QStringLiteral("steps"), stepsJson(program.steps)}};
    if (!program.pumps.isEmpty())
        top.insert(QStringLiteral("pumps"), QJsonArray::fromStringList(program.pumps));
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

QStringList ProgramFile::check(const DosingProgram &program)
{
    QStringList errors;
    Rules rules{errors, program.pumps};
    rules.name(program.name);
    checkSteps(rules, program.steps, QStringLiteral("steps"), 0);
    rules.size(program.steps);
    if (!program.pumps.isEmpty())
        rules.pumpList(program.pumps, program.steps);
    return errors;
}

QStringList ProgramFile::notes(const DosingProgram &program)
{
    QStringList errors;
    QStringList notes;
    Rules rules{errors, program.pumps, &notes};
    checkSteps(rules, program.steps, QStringLiteral("steps"), 0);
    return notes;
}
