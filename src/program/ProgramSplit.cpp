#include "program/ProgramSplit.h"

#include "program/GradientShares.h"
#include "program/ProgramPlan.h"
#include "pump/KeyTable.h"

#include <algorithm>

namespace {

using Kind = ProgramStep::Kind;

// A stage as it is gathered: each pump's steps in it.
struct Draft
{
    QString path;
    QString lastPath; // a run of steps on one pump: where it ends

    std::vector<std::pair<QString, std::vector<ProgramStep>>> steps; // by pump, in their order

    std::vector<ProgramStep> &of(const QString &pump)
    {
        for (auto &p : steps)
            if (p.first == pump)
                return p.second;
        steps.emplace_back(pump, std::vector<ProgramStep>());
        return steps.back().second;
    }
};

// The step as one pump's runner takes it: no pump named, within it neither.
ProgramStep own(ProgramStep step)
{
    step.pump.clear();
    for (ProgramStep &inner : step.steps)
        inner = own(inner);
    return step;
}

// The one pump a step and all within it run on, or nothing when they reach several.
bool onePump(const ProgramStep &step, const QString &pump, QString &found)
{
    if (step.kind == Kind::Parallel || step.kind == Kind::Gradient)
        return false;
    const QString mine = step.pump.isEmpty() ? pump : step.pump;
    if (!found.isEmpty() && found != mine)
        return false;
    found = mine;
    return std::all_of(step.steps.begin(), step.steps.end(),
                       [&](const ProgramStep &inner) { return onePump(inner, mine, found); });
}

ProgramStep timed(double rateMlMin, int seconds)
{
    ProgramStep s;
    s.kind = rateMlMin > 0 ? Kind::Run : Kind::Wait;
    s.rateMlMin = rateMlMin;
    s.forS = seconds;
    return s;
}

class Gatherer
{
public:
    std::vector<Draft> drafts;

    void add(const std::vector<ProgramStep> &steps, const QString &listPath, const QString &pump,
             const QString &pass)
    {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const ProgramStep &s = steps[i];
            const QString path = QStringLiteral("%1[%2]").arg(listPath).arg(i);
            const QString kindPath = path + QLatin1Char('.') + ProgramStep::kindName(s.kind);
            QString solo;
            if (s.kind == Kind::Parallel) {
                Draft &d = stage(kindPath + pass);
                for (const ProgramStep::Branch &b : s.branches)
                    for (const ProgramStep &inner : b.steps)
                        d.of(b.pump).push_back(own(inner));
            } else if (s.kind == Kind::Gradient) {
                Draft &d = stage(kindPath + pass);
                const double lowest = Pump::KeyTable::key(QStringLiteral("flow-rate")).minimum;
                for (const GradientShares::Share &share : GradientShares::split(
                         s.totalMlMin, s.fromPercent, s.toPercent, s.forS, s.rampSteps, lowest)) {
                    d.of(s.pumps.value(0)).push_back(timed(share.firstMlMin, share.seconds));
                    d.of(s.pumps.value(1)).push_back(timed(share.secondMlMin, share.seconds));
                }
            } else if (onePump(s, pump, solo)) {
                // Steps in a row on one pump make one stage: nobody waits between them.
                const bool joins =
                    !drafts.empty() && isSolo.back() && drafts.back().steps.front().first == solo;
                if (joins) {
                    drafts.back().lastPath = path + pass;
                } else {
                    stage(path + pass);
                    isSolo.back() = true;
                }
                drafts.back().of(solo).push_back(own(s));
            } else {
                // A repeat over several pumps: its passes one after the other.
                const QString inner = s.pump.isEmpty() ? pump : s.pump;
                for (int n = 1; n <= s.count; ++n)
                    add(s.steps, kindPath + QStringLiteral(".steps"), inner,
                        QStringLiteral("%1 (pass %2/%3)").arg(pass).arg(n).arg(s.count));
            }
        }
    }

private:
    Draft &stage(const QString &path)
    {
        drafts.push_back(Draft{path, QString(), {}});
        isSolo.push_back(false);
        return drafts.back();
    }

    std::vector<bool> isSolo; // a run of plain steps on one pump, which the next may join
};

ProgramStep hold(const QString &text)
{
    ProgramStep s;
    s.kind = Kind::Prompt;
    s.text = QLatin1String(ProgramSplit::HoldPrefix) + text;
    return s;
}

int unrolled(const ProgramStep &step)
{
    // A checked program is far below this.
    constexpr long long limit = 1000000;
    return static_cast<int>(ProgramPlan::unrolledCount({step}, limit));
}

double secondsOf(const std::vector<ProgramStep> &steps)
{
    DosingProgram p;
    p.steps = steps;
    return ProgramPlan::summarize(ProgramPlan::unroll(p)).seconds;
}

} // namespace

ProgramSplit ProgramSplit::of(const DosingProgram &program)
{
    ProgramSplit split;
    if (program.pumps.isEmpty())
        return split;
    Gatherer gatherer;
    gatherer.add(program.steps, QStringLiteral("steps"), program.pumps.first(), QString());
    for (Draft &d : gatherer.drafts) {
        Stage stage;
        stage.path = d.lastPath.isEmpty() ? d.path : d.path + QStringLiteral(" to ") + d.lastPath;
        for (const QString &pump : program.pumps) {
            for (const auto &p : d.steps) {
                if (p.first != pump)
                    continue;
                stage.pumps << pump;
                stage.seconds = std::max(stage.seconds, secondsOf(p.second));
            }
        }
        split.stages.push_back(stage);
    }

    const int last = static_cast<int>(split.stages.size()) - 1;
    for (const QString &pump : program.pumps) {
        Part part;
        part.pump = pump;
        part.program.name = program.name;
        part.program.fileSha256 = program.fileSha256;
        std::vector<ProgramStep> &steps = part.program.steps;
        DosingProgram mine; // without the holds
        int position = 0;
        int before = -1; // the last stage the pump took part in
        const auto holdFor = [&](int after, const QString &text) {
            steps.push_back(hold(text));
            part.holds.push_back({++position, after});
        };
        for (int k = 0; k <= last; ++k) {
            const Stage &stage = split.stages[static_cast<std::size_t>(k)];
            if (!stage.pumps.contains(pump))
                continue;
            // Right after a stage of its own alone, it goes on; after anything else, it waits.
            const bool alone =
                before == k - 1 && (before < 0 || split.stages[before].pumps.size() == 1);
            if (!alone) {
                const Stage &previous = split.stages[static_cast<std::size_t>(k - 1)];
                holdFor(k, QStringLiteral("%1 is done on %2")
                               .arg(previous.path, previous.pumps.join(QStringLiteral(", "))));
            }
            for (const ProgramStep &s : gatherer.drafts[static_cast<std::size_t>(k)].of(pump)) {
                steps.push_back(s);
                mine.steps.push_back(s);
                position += unrolled(s);
            }
            part.lastOfStage[k] = position;
            before = k;
        }
        const bool finishesLast =
            before == last && (last < 0 || split.stages[last].pumps.size() == 1);
        if (program.pumps.size() > 1 && !finishesLast)
            holdFor(last + 1, QStringLiteral("the program is done on every pump"));

        const ProgramPlan::Summary summary = ProgramPlan::summarize(ProgramPlan::unroll(mine));
        part.seconds = summary.seconds;
        part.volumeMl = summary.volumeMl;
        part.steps = summary.steps;
        part.prompts = summary.prompts;
        split.parts.push_back(std::move(part));
    }
    return split;
}

const ProgramSplit::Part *ProgramSplit::part(const QString &pump) const
{
    for (const Part &p : parts)
        if (p.pump == pump)
            return &p;
    return nullptr;
}

bool ProgramSplit::isHold(const QString &pump, int position) const
{
    const Part *p = part(pump);
    return p != nullptr && std::any_of(p->holds.begin(), p->holds.end(), [position](const Hold &h) {
               return h.position == position;
           });
}

double ProgramSplit::seconds() const
{
    double total = 0;
    for (const Stage &stage : stages)
        total += stage.seconds;
    return total;
}
