#pragma once

#include <string>

// One benchmark's results as machine-readable lines on standard output, which bench/run.sh
// gathers into one table: "@bench|benchmark|measure|value|goal|met".
class BenchReport
{
public:
    enum class Verdict { None, Met, Missed };

    explicit BenchReport(std::string benchmark);

    // A figure without a goal.
    void info(const std::string &measure, double value, const std::string &unit, int decimals);
    void info(const std::string &measure, const std::string &text);
    // A figure with a goal: value must stay at or below the limit, or at or above it.
    void atMost(const std::string &measure, double value, const std::string &unit, int decimals,
                double limit);
    void atLeast(const std::string &measure, double value, const std::string &unit, int decimals,
                 double limit);
    // A failed run: the benchmark could not measure at all.
    void failed(const std::string &why);

    static std::string format(double value, int decimals);

private:
    void line(const std::string &measure, const std::string &value, const std::string &goal,
              Verdict verdict);

    std::string benchmark;
};
