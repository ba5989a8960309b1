#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

namespace Pump {

// Calibration by weighing: the pump doses a nominal volume a few times into a vessel on a
// balance; the masses and the fluid's density give the volumes it really delivered. The pump's
// calibration factor (the key calibration-percent) scales what it delivers for a volume asked,
// so the new factor is the current one times nominal over the mean delivered: a pump that gave
// 9.71 ml for 10 ml at 100.0 % is set to 103.0 %. Only that key is sent; the calibration volume
// is left to the pump's own keypad procedure. Pure: no pump, no balance.
class CalibrationByWeight
{
public:
    static constexpr int MaxWeighings = 5;
    static constexpr double WaterDensity = 0.998; // g/ml, water at 20 °C
    // The calibration keys' limits, as the pump takes them.
    static constexpr double MinimumPercent = 80.0;
    static constexpr double MaximumPercent = 120.0;
    static constexpr double MinimumNominalMl = 1.0;
    static constexpr double MaximumNominalMl = 100.0;

    struct Fluid
    {
        const char *name;
        double density; // g/ml at 20 °C
    };
    // The densities offered besides a free value.
    static const std::vector<Fluid> &fluids();

    struct Result
    {
        QString error; // the input cannot be used; nothing else is set then
        std::vector<double> volumesMl;
        double meanMl = 0;
        double deviationPercent = 0; // of the mean from nominal; negative: the pump gave less
        double spreadMl = 0;         // largest volume minus smallest
        double oldPercent = 0;
        double newPercent = 0; // rounded to the pump's step of 0.1 %
        bool inRange = false;  // newPercent lies within the calibration limits: it may be sent
        QString verdict;       // what the operator reads: the change, or why it is refused

        bool ok() const { return error.isEmpty(); }
    };

    static Result compute(double nominalMl, const std::vector<double> &massesG, double density,
                          double oldPercent);
    // A nominal volume the calibration volume's range allows, closest to the one wanted;
    // 10 ml when nothing is wanted.
    static double proposeNominal(double wantedMl = 0);
    // What the journal keeps of one calibration, whichever front-end made it.
    static QJsonObject journalFields(double nominalMl, const std::vector<double> &massesG,
                                     double density, const Result &result, bool sent);
};

} // namespace Pump
