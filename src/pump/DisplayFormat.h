#pragma once

#include <QString>

namespace Pump {

// How the window shows the values the pump reports: pure text rules, no widgets.
class DisplayFormat
{
public:
    // Thousandths shown with four significant digits: 12500 -> "12.50", 999900 -> "999.9",
    // 500 -> "0.5000".
    static QString setPoint(int thousandths);
    // Thousandths of a millilitre with three decimals and " ml".
    static QString actualVolume(int thousandths);
    // "OFF" for 0 and 1, "INF" for 1000 (endless), else the number.
    static QString cycles(int count);
    // Tenths of a microlitre with two decimals.
    static QString strokeVolume(int tenths);
    // Pump answer for the analog input function -> list index.
    static int analogInputIndex(int code);
    static int digitalIn1Index(int code);
    static int digitalIn2Index(int code);
    // Hundredths of a percent -> index of the 80.0 % ... 120.0 % list.
    static int calibrationIndex(int hundredthsPercent);
    // From the ten digits of the model version: "FLUXO 02", "FLUXO 10" or "UNKNOWN".
    static QString pumpType(const QString &modelVersion);
    // From the same digits: "V" major "." minor, e.g. "V1.23".
    static QString firmware(const QString &modelVersion);
    // "HALVO DOSETTA  V1.0.1  (ADDR 3, COM4)".
    static QString title(int address, const QString &port);
};

} // namespace Pump
