#pragma once

#include <QImage>

#include <cstdlib>

// Whether a widget shows a given picture. A pixmap keeps its pixels premultiplied by alpha, and
// how a conversion rounds a faint pixel depends on the processor's SIMD path: one compares both
// pictures premultiplied and lets each channel differ by one step, which no two of the window's
// images come near.
class ImageMatch
{
public:
    static bool same(const QImage &shown, const QImage &expected)
    {
        if (shown.isNull() || expected.isNull() || shown.size() != expected.size())
            return false;
        const QImage a = shown.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < a.height(); ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
            const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                if (std::abs(qAlpha(p[x]) - qAlpha(q[x])) > 1 ||
                    std::abs(qRed(p[x]) - qRed(q[x])) > 1 ||
                    std::abs(qGreen(p[x]) - qGreen(q[x])) > 1 ||
                    std::abs(qBlue(p[x]) - qBlue(q[x])) > 1)
                    return false;
            }
        }
        return true;
    }
};
