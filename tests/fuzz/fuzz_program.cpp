// The program file: the whole input is a file's bytes. Properties: reading never accepts a file
// with an error, and no error repeats the file at length; an accepted program passes the same
// checks in memory, stays within the step limit once unrolled, and survives being written and
// read back unchanged.

#include "Require.h"

#include "program/ProgramFile.h"
#include "program/ProgramPlan.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

bool sameSteps(const std::vector<ProgramStep> &a, const std::vector<ProgramStep> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const ProgramStep &x = a[i];
        const ProgramStep &y = b[i];
        if (x.kind != y.kind || x.volumeMl != y.volumeMl || x.rateMlMin != y.rateMlMin ||
            x.fromMlMin != y.fromMlMin || x.toMlMin != y.toMlMin || x.forS != y.forS ||
            x.rampSteps != y.rampSteps || x.count != y.count || x.text != y.text ||
            !sameSteps(x.steps, y.steps))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > static_cast<std::size_t>(ProgramFile::MaxBytes))
        return 0;
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const ProgramFile::Checked checked = ProgramFile::read(file);
    if (!checked.ok()) {
        for (const QString &error : checked.errors)
            require(!error.isEmpty() && error.size() <= 200,
                    "every error says something, and never the file at length");
        require(checked.program.steps.empty(), "a file with an error yields no steps");
        return 0;
    }
    const DosingProgram &program = checked.program;
    require(ProgramFile::check(program).isEmpty(), "a program read passes the checks in memory");
    require(ProgramPlan::unrolledCount(program.steps, ProgramFile::MaxSteps) <=
                ProgramFile::MaxSteps,
            "an accepted program stays within the step limit once unrolled");
    const ProgramFile::Checked again = ProgramFile::read(ProgramFile::write(program));
    require(again.ok(), "a written program reads back");
    require(again.program.name == program.name && sameSteps(again.program.steps, program.steps),
            "a written program reads back unchanged");
    return 0;
}
