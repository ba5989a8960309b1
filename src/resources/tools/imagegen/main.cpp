// Draws the images compiled into the window: the run-button glyphs, the status bullets, the
// arrows, the header logo and the window icon. The PNG and ICO outputs are kept in the
// repository; run this again after changing a drawing:
//
//   cmake -S src/resources/tools/imagegen -B /tmp/imagegen && cmake --build /tmp/imagegen
//   QT_QPA_PLATFORM=offscreen /tmp/imagegen/imagegen src/resources/Images
//
// Everything is drawn at a large size and scaled down by the widgets, so the images stay sharp at
// 200 % scale. The logo text needs a sans-serif font that "Arial" resolves to (Liberation Sans
// on Debian).

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QColor brandBlue(0, 149, 216);
const QColor deepBlue(0, 94, 140);
const QColor lightBlue(0, 188, 255);

QImage canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void smooth(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Run-button glyphs: a white disc with a blue symbol, so they read on the blue and on the
// highlighted button alike. Drawn on a 512 grid.
QImage runGlyph(const std::function<void(QPainter &)> &symbol)
{
    QImage image = canvas(512);
    QPainter p(&image);
    smooth(p);
    p.setPen(QPen(deepBlue, 10));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(256, 256), 238, 238);
    p.setPen(QPen(brandBlue, 24, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(brandBlue);
    symbol(p);
    return image;
}

QPainterPath triangle(double left, double top, double right, double bottom)
{
    QPainterPath path;
    path.moveTo(left, top);
    path.lineTo(right, (top + bottom) / 2);
    path.lineTo(left, bottom);
    path.closeSubpath();
    return path;
}

QImage stopGlyph()
{
    return runGlyph([](QPainter &p) { p.drawRoundedRect(QRectF(160, 160, 192, 192), 18, 18); });
}

QImage playGlyph()
{
    // Shifted right of centre: a triangle's visual weight sits left of its box centre.
    return runGlyph([](QPainter &p) { p.drawPath(triangle(196, 146, 372, 366)); });
}

QImage pauseGlyph()
{
    return runGlyph([](QPainter &p) {
        p.drawRoundedRect(QRectF(164, 150, 66, 212), 14, 14);
        p.drawRoundedRect(QRectF(282, 150, 66, 212), 14, 14);
    });
}

QImage fastForwardGlyph()
{
    return runGlyph([](QPainter &p) {
        p.drawPath(triangle(130, 170, 264, 342));
        p.drawPath(triangle(258, 170, 392, 342));
    });
}

// Status bullets: a small lit sphere.
QImage bullet(const QColor &light, const QColor &dark, const QColor &rim)
{
    QImage image = canvas(64);
    QPainter p(&image);
    smooth(p);
    QRadialGradient body(QPointF(26, 24), 36, QPointF(24, 20));
    body.setColorAt(0.0, light);
    body.setColorAt(1.0, dark);
    p.setPen(QPen(rim, 2.5));
    p.setBrush(body);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    QRadialGradient shine(QPointF(25, 20), 12);
    shine.setColorAt(0.0, QColor(255, 255, 255, 200));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QPointF(25, 20), 12, 9);
    return image;
}

// Solid arrow for the advanced-screen toggle; pointing right opens the side panel, left
// folds it away.
QImage sideArrow(bool pointsRight)
{
    QImage image = canvas(64);
    QPainter p(&image);
    smooth(p);
    if (!pointsRight) {
        p.translate(64, 0);
        p.scale(-1, 1);
    }
    QPainterPath path;
    path.moveTo(8, 25);
    path.lineTo(32, 25);
    path.lineTo(32, 11);
    path.lineTo(57, 32);
    path.lineTo(32, 53);
    path.lineTo(32, 39);
    path.lineTo(8, 39);
    path.closeSubpath();
    p.setPen(QPen(brandBlue, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(brandBlue);
    p.drawPath(path);
    return image;
}

// Plain chevron for list drop-downs and scroll-bar steps.
QImage chevron(bool pointsUp)
{
    QImage image = canvas(256);
    QPainter p(&image);
    smooth(p);
    if (pointsUp) {
        p.translate(0, 256);
        p.scale(1, -1);
    }
    QPainterPath path;
    path.moveTo(56, 92);
    path.lineTo(128, 164);
    path.lineTo(200, 92);
    p.setPen(QPen(brandBlue, 30, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    return image;
}

// A drop of liquid, the mark of the header logo and the window icon; box is its bounding square.
QPainterPath drop(const QRectF &box)
{
    const double w = box.width();
    const double h = box.height();
    const double cx = box.center().x();
    QPainterPath path;
    path.moveTo(cx, box.top());
    path.cubicTo(cx + 0.12 * w, box.top() + 0.22 * h, box.right() - 0.08 * w, box.top() + 0.42 * h,
                 box.right() - 0.08 * w, box.top() + 0.64 * h);
    path.arcTo(QRectF(box.left() + 0.08 * w, box.top() + 0.28 * h, 0.84 * w, 0.72 * h), 0, -180);
    path.cubicTo(box.left() + 0.08 * w, box.top() + 0.42 * h, cx - 0.12 * w, box.top() + 0.22 * h,
                 cx, box.top());
    path.closeSubpath();
    return path;
}

// The header logo; shown at 80 x 30 (8:3) inside its label's margin.
QImage logo()
{
    QImage image(480, 180, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    smooth(p);
    QLinearGradient fill(0, 14, 0, 166);
    fill.setColorAt(0.0, lightBlue);
    fill.setColorAt(1.0, brandBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(drop(QRectF(12, 14, 132, 152)));
    // Highlight on the drop's lower left.
    p.setPen(QPen(QColor(255, 255, 255, 190), 9, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(38, 78, 80, 68), 190 * 16, 60 * 16);

    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath word;
    word.addText(0, 0, font, "HALVO");
    const QRectF bounds = word.boundingRect();
    const double scale = 304.0 / bounds.width();
    p.save();
    p.translate(166 - bounds.left() * scale, 112);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(brandBlue);
    p.drawPath(word);
    p.restore();

    QFont small("Arial");
    small.setPixelSize(30);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 10);
    QPainterPath tag;
    tag.addText(0, 0, small, "DOSING");
    const QRectF tagBounds = tag.boundingRect();
    p.translate(166 + (304 - tagBounds.width()) / 2 - tagBounds.left(), 160);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 120, 128));
    p.drawPath(tag);
    return image;
}

QImage appIcon(int size)
{
    QImage image = canvas(256);
    QPainter p(&image);
    smooth(p);
    QLinearGradient back(0, 0, 0, 256);
    back.setColorAt(0.0, lightBlue);
    back.setColorAt(1.0, brandBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    p.setBrush(Qt::white);
    p.drawPath(drop(QRectF(60, 34, 136, 186)));
    p.setBrush(brandBlue);
    p.drawEllipse(QRectF(96, 142, 24, 40));
    p.end();
    if (size == 256)
        return image;
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// 32-bit BGRA DIB as stored inside an ICO: doubled height, rows bottom-up, then an all-clear
// 1-bit AND mask (the alpha channel decides).
QByteArray dibEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
      << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            s << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x]))
              << quint8(qAlpha(line[x]));
    }
    for (int i = 0; i < maskStride * h; ++i)
        s << quint8(0);
    return out;
}

QByteArray pngEntry(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

// A multi-resolution ICO: DIB entries for the small sizes, a PNG entry for 256 px.
bool writeIco(const QString &path, const std::vector<int> &sizes)
{
    std::vector<QByteArray> entries;
    for (int size : sizes)
        entries.push_back(size >= 256 ? pngEntry(appIcon(size)) : dibEntry(appIcon(size)));
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint16(0) << quint16(1) << quint16(sizes.size());
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const quint8 side = sizes[i] >= 256 ? 0 : quint8(sizes[i]);
        s << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
          << quint32(entries[i].size()) << offset;
        offset += quint32(entries[i].size());
    }
    for (const QByteArray &entry : entries)
        out.append(entry);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen <output folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const std::vector<std::pair<const char *, QImage>> images = {
        {"controls_stop-512.png", stopGlyph()},
        {"519570-066_Play-512.png", playGlyph()},
        {"519571-067_Pause-512.png", pauseGlyph()},
        {"controls_fast_forward-512.png", fastForwardGlyph()},
        {"1406229026_bullet-grey.png",
         bullet(QColor(236, 236, 236), QColor(150, 150, 150), QColor(120, 120, 120))},
        {"1406229038_bullet-green.png",
         bullet(QColor(170, 240, 120), QColor(30, 150, 40), QColor(20, 110, 30))},
        {"bullet-red.png", bullet(QColor(255, 160, 150), QColor(210, 30, 30), QColor(150, 20, 20))},
        {"arrow-37-64.png", sideArrow(true)},
        {"arrow-102-64.png", sideArrow(false)},
        {"arrow_sans_up-256.png", chevron(true)},
        {"arrow_sans_down-256.png", chevron(false)},
        {"Halvo LOGO_CMYK_small.png", logo()},
    };
    bool ok = true;
    for (const auto &[name, image] : images) {
        if (!image.save(dir.filePath(name), "PNG")) {
            std::fprintf(stderr, "imagegen: cannot write %s\n", name);
            ok = false;
        }
    }
    if (!writeIco(dir.filePath("Halvo_icon_2.ico"), {16, 24, 32, 48, 64, 256})) {
        std::fprintf(stderr, "imagegen: cannot write Halvo_icon_2.ico\n");
        ok = false;
    }
    return ok ? 0 : 1;
}
