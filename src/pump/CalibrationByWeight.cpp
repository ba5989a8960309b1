#include "pump/CalibrationByWeight.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Pump {

namespace {

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QJsonArray numbers(const std::vector<double> &values, int decimals)
{
    QJsonArray array;
    for (double v : values)
        array.append(rounded(v, decimals));
    return array;
}

} // namespace

const std::vector<CalibrationByWeight::Fluid> &CalibrationByWeight::fluids()
{
    // The names are marked for the window's translation; the tool prints them as they are.
    static const std::vector<Fluid> list = {
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "water"), WaterDensity},
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "ethanol"), 0.789},
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "isopropanol"), 0.786},
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "glycerol"), 1.261},
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "saline 0.9 %"), 1.005},
        {QT_TRANSLATE_NOOP("CalibrationByWeight", "acetone"), 0.784},
    };
    return list;
}

double CalibrationByWeight::proposeNominal(double wantedMl)
{
    if (!(wantedMl > 0))
        return 10.0;
    return std::clamp(wantedMl, MinimumNominalMl, MaximumNominalMl);
}

CalibrationByWeight::Result CalibrationByWeight::compute(double nominalMl,
                                                         const std::vector<double> &massesG,
                                                         double density, double oldPercent)
{
    Result r;
    r.oldPercent = oldPercent;
    if (!(nominalMl >= MinimumNominalMl && nominalMl <= MaximumNominalMl))
        r.error = QStringLiteral("the nominal volume must lie within %1 to %2 ml")
                      .arg(MinimumNominalMl, 0, 'f', 1)
                      .arg(MaximumNominalMl, 0, 'f', 1);
    else if (massesG.empty() || static_cast<int>(massesG.size()) > MaxWeighings)
        r.error = QStringLiteral("give one to %1 masses").arg(MaxWeighings);
    else if (!(density >= 0.1 && density <= 25.0))
        r.error = QStringLiteral("the density must lie within 0.1 to 25 g/ml");
    else if (!(oldPercent >= MinimumPercent && oldPercent <= MaximumPercent))
        r.error = QStringLiteral("the pump's calibration %1 % is not one it takes")
                      .arg(oldPercent, 0, 'f', 1);
    else if (std::any_of(massesG.begin(), massesG.end(),
                         [](double m) { return !(m > 0) || !std::isfinite(m); }))
        r.error = QStringLiteral("every mass must be above 0 g: was the balance tared and did "
                                 "the dose reach the vessel?");
    if (!r.ok())
        return r;
    for (double m : massesG)
        r.volumesMl.push_back(m / density);
    r.meanMl = std::accumulate(r.volumesMl.begin(), r.volumesMl.end(), 0.0) /
               static_cast<double>(r.volumesMl.size());
    r.deviationPercent = (r.meanMl - nominalMl) / nominalMl * 100.0;
    const auto [low, high] = std::minmax_element(r.volumesMl.begin(), r.volumesMl.end());
    r.spreadMl = *high - *low;
    // The pump takes the factor in steps of 0.1 %.
    r.newPercent = std::round(oldPercent * nominalMl / r.meanMl * 10.0) / 10.0;
    r.inRange = r.newPercent >= MinimumPercent && r.newPercent <= MaximumPercent;
    if (r.inRange)
        r.verdict = QStringLiteral("calibration %1 % -> %2 %")
                        .arg(oldPercent, 0, 'f', 1)
                        .arg(r.newPercent, 0, 'f', 1);
    else
        r.verdict = QStringLiteral("refused: %1 % lies outside %2 to %3 %; check for air in the "
                                   "line, the density given, and that every dose reached the "
                                   "vessel")
                        .arg(r.newPercent, 0, 'f', 1)
                        .arg(MinimumPercent, 0, 'f', 1)
                        .arg(MaximumPercent, 0, 'f', 1);
    return r;
}

QJsonObject CalibrationByWeight::journalFields(double nominalMl, const std::vector<double> &massesG,
                                               double density, const Result &result, bool sent)
{
    return {{QStringLiteral("nominal_ml"), nominalMl},
            {QStringLiteral("masses_g"), numbers(massesG, 4)},
            {QStringLiteral("density"), density},
            {QStringLiteral("volumes_ml"), numbers(result.volumesMl, 4)},
            {QStringLiteral("mean_ml"), rounded(result.meanMl, 4)},
            {QStringLiteral("deviation_percent"), rounded(result.deviationPercent, 2)},
            {QStringLiteral("spread_ml"), rounded(result.spreadMl, 4)},
            {QStringLiteral("old_percent"), result.oldPercent},
            {QStringLiteral("new_percent"), result.newPercent},
            {QStringLiteral("sent"), sent},
            {QStringLiteral("verdict"), result.verdict}};
}

} // namespace Pump
