#include "pump/DisplayFormat.h"

#include "pump/KeyTable.h"

#include <algorithm>
#include <cmath>

namespace Pump {

QString DisplayFormat::setPoint(int thousandths)
{
    const double v = thousandths / 1000.0;
    const double exponent = std::floor(std::log10(v + 1e-7));
    // Zero, negative or garbage values still get a bounded number of decimals.
    int decimals = std::isfinite(exponent) ? 3 - static_cast<int>(exponent) : 10;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 10)
        decimals = 10;
    return QString::number(v, 'f', decimals);
}

QString DisplayFormat::actualVolume(int thousandths)
{
    return QString::number(thousandths / 1000.0, 'f', 3) + QStringLiteral(" ml");
}

QString DisplayFormat::cycles(int count)
{
    if (count <= 1)
        return QStringLiteral("OFF");
    if (count == 1000)
        return QStringLiteral("INF");
    return QString::number(count);
}

QString DisplayFormat::strokeVolume(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 2);
}

namespace {

// The list entry a reported code stands for; an unknown code shows the first entry ("OFF").
int entryOf(const char *key, int code)
{
    return std::max(Pump::KeyTable::index(Pump::KeyTable::key(QLatin1String(key)), code), 0);
}

} // namespace

int DisplayFormat::analogInputIndex(int code)
{
    return entryOf("analog-in", code);
}

int DisplayFormat::digitalIn1Index(int code)
{
    return entryOf("digital-in1", code);
}

int DisplayFormat::digitalIn2Index(int code)
{
    return entryOf("digital-in2", code);
}

int DisplayFormat::calibrationIndex(int hundredthsPercent)
{
    return hundredthsPercent / 10 - 800;
}

QString DisplayFormat::pumpType(const QString &modelVersion)
{
    const int hardware = modelVersion.left(5).toInt();
    if (hardware == 102)
        return QStringLiteral("FLUXO 02");
    if (hardware == 110)
        return QStringLiteral("FLUXO 10");
    return QStringLiteral("UNKNOWN");
}

QString DisplayFormat::firmware(const QString &modelVersion)
{
    const QString digits = modelVersion.mid(5, 5);
    return QStringLiteral("V%1.%2").arg(digits.left(2).toInt()).arg(digits.mid(2, 3).toInt());
}

QString DisplayFormat::title(int address, const QString &port)
{
    return QStringLiteral("HALVO DOSETTA  V") + QStringLiteral("1.0.1") +
           QStringLiteral("  (ADDR ") + QString::number(address) + QStringLiteral(", ") + port +
           QStringLiteral(")");
}

} // namespace Pump
