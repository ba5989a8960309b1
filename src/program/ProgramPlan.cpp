#include "program/ProgramPlan.h"

#include <algorithm>

namespace {

void unrollInto(const std::vector<ProgramStep> &steps, const QString &pathPrefix,
                const QString &numberPrefix, std::vector<PlannedStep::Pass> &passes,
                std::vector<PlannedStep> &plan)
{
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ProgramStep &step = steps[i];
        const QString path = QStringLiteral("%1steps[%2]").arg(pathPrefix).arg(i);
        const QString number = numberPrefix + QString::number(i + 1);
        if (step.kind != ProgramStep::Kind::Repeat) {
            PlannedStep planned;
            planned.step = step;
            planned.path = path;
            planned.number = number;
            planned.passes = passes;
            plan.push_back(std::move(planned));
            continue;
        }
        for (int pass = 1; pass <= step.count; ++pass) {
            passes.push_back({pass, step.count});
            unrollInto(step.steps, path + QStringLiteral(".repeat."), number + QLatin1Char('.'),
                       passes, plan);
            passes.pop_back();
        }
    }
}

} // namespace

long long ProgramPlan::unrolledCount(const std::vector<ProgramStep> &steps, long long limit)
{
    long long total = 0;
    for (const ProgramStep &step : steps) {
        if (step.kind == ProgramStep::Kind::Parallel) {
            // Each branch is run by its own pump, and counts for itself.
            for (const ProgramStep::Branch &branch : step.branches)
                total += unrolledCount(branch.steps, limit);
        } else if (step.kind == ProgramStep::Kind::Gradient) {
            total += 2LL * std::max(1, std::min(step.rampSteps, static_cast<int>(limit)));
        } else if (step.kind != ProgramStep::Kind::Repeat) {
            ++total;
        } else if (step.count > 0) {
            const long long inner = unrolledCount(step.steps, limit);
            // Saturating: counts nested three deep could overflow long before the limit.
            total += inner > (limit + 1) / step.count ? limit + 1 : inner * step.count;
        }
        if (total > limit)
            return limit + 1;
    }
    return total;
}

std::vector<PlannedStep> ProgramPlan::unroll(const DosingProgram &program)
{
    std::vector<PlannedStep> plan;
    std::vector<PlannedStep::Pass> passes;
    unrollInto(program.steps, QString(), QString(), passes, plan);
    return plan;
}

ProgramPlan::Summary ProgramPlan::summarize(const std::vector<PlannedStep> &plan)
{
    Summary summary;
    summary.steps = static_cast<int>(plan.size());
    for (const PlannedStep &step : plan) {
        summary.seconds += step.expectedSeconds();
        summary.volumeMl += step.expectedVolumeMl();
        if (step.step.kind == ProgramStep::Kind::Prompt)
            ++summary.prompts;
    }
    return summary;
}
