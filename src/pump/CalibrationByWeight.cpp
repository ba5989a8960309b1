#include "pump/CalibrationByWeight.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Pump {

const std::vector<CalibrationByWeight::Fluid> &CalibrationByWeight::fluids()
{
    static const std::vector<Fluid> list = {
        {"water", WaterDensity}, {"ethanol", 0.789},      {"isopropanol", 0.786},
        {"glycerol", 1.261},     {"saline 0.9 %", 1.005}, {"acetone", 0.784},
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

} // namespace Pump
