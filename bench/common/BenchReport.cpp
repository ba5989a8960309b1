#include "BenchReport.h"

#include <cstdio>
#include <iostream>

BenchReport::BenchReport(std::string benchmark)
    : benchmark(std::move(benchmark))
{}

std::string BenchReport::format(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

namespace {

std::string withUnit(const std::string &number, const std::string &unit)
{
    if (unit.empty())
        return number;
    if (unit == "%")
        return number + " %";
    return number + " " + unit;
}

} // namespace

void BenchReport::info(const std::string &measure, double value, const std::string &unit,
                       int decimals)
{
    line(measure, withUnit(format(value, decimals), unit), {}, Verdict::None);
}

void BenchReport::info(const std::string &measure, const std::string &text)
{
    line(measure, text, {}, Verdict::None);
}

void BenchReport::atMost(const std::string &measure, double value, const std::string &unit,
                         int decimals, double limit)
{
    line(measure, withUnit(format(value, decimals), unit),
         "<= " + withUnit(format(limit, decimals), unit),
         value <= limit ? Verdict::Met : Verdict::Missed);
}

void BenchReport::atLeast(const std::string &measure, double value, const std::string &unit,
                          int decimals, double limit)
{
    line(measure, withUnit(format(value, decimals), unit),
         ">= " + withUnit(format(limit, decimals), unit),
         value >= limit ? Verdict::Met : Verdict::Missed);
}

void BenchReport::failed(const std::string &why)
{
    line("FAILED", why, {}, Verdict::Missed);
}

void BenchReport::line(const std::string &measure, const std::string &value,
                       const std::string &goal, Verdict verdict)
{
    const char *met = verdict == Verdict::Met ? "yes" : verdict == Verdict::Missed ? "NO" : "";
    // Flushed at once so that a benchmark that dies later still leaves what it measured.
    std::cout << "@bench|" << benchmark << '|' << measure << '|' << value << '|' << goal << '|'
              << met << std::endl;
}
