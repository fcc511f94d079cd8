// Draws the pictures compiled into the tool: the wheel rim, the reset symbol
// of the pedal curves and the application icon. The PNGs are committed; run
// this only to change them:  orv-draw-resources <directory>
// It also draws the icon in the sizes of the desktop icon theme, under
// <directory>/icons/hicolor.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr qreal Pi = 3.14159265358979323846;

// Everything below is drawn in a 200 × 200 design space centred on (100, 100):
// the rim picture's own size, so the rim needs no scaling there.
const QPointF Centre(100, 100);
constexpr qreal RimOuter = 95; // inside the inscribed circle: no corner is cut when turned
constexpr qreal RimInner = 76;
const QColor Marker(0xff, 0x8a, 0x1a);

QRectF circle(qreal radius)
{
    return QRectF(Centre.x() - radius, Centre.y() - radius, 2 * radius, 2 * radius);
}

QPainterPath ring(qreal inner, qreal outer)
{
    QPainterPath path;
    path.addEllipse(Centre, outer, outer);
    path.addEllipse(Centre, inner, inner);
    return path; // odd-even fill leaves the middle open
}

// A band of the ring between two angles (degrees, counter-clockwise from 3 o'clock).
QPainterPath ringSegment(qreal inner, qreal outer, qreal startDeg, qreal sweepDeg)
{
    QPainterPath path;
    path.arcMoveTo(circle(outer), startDeg);
    path.arcTo(circle(outer), startDeg, sweepDeg);
    path.arcTo(circle(inner), startDeg + sweepDeg, -sweepDeg);
    path.closeSubpath();
    return path;
}

// One spoke from the hub towards the rim along +x, turned by angleDeg clockwise.
QPainterPath spoke(qreal angleDeg, qreal hubWidth, qreal rimWidth)
{
    QPainterPath path;
    path.moveTo(18, -hubWidth / 2);
    path.cubicTo(40, -hubWidth / 2, 52, -rimWidth / 2, RimInner + 6, -rimWidth / 2);
    path.lineTo(RimInner + 6, rimWidth / 2);
    path.cubicTo(52, rimWidth / 2, 40, hubWidth / 2, 18, hubWidth / 2);
    path.closeSubpath();

    QPainterPath slot;
    slot.addRoundedRect(QRectF(36, -4.5, 26, 9), 4.5, 4.5);
    path = path.subtracted(slot);

    QTransform turn;
    turn.translate(Centre.x(), Centre.y());
    turn.rotate(angleDeg);
    return turn.map(path);
}

// The rim upright, as it stands with the wheel centred: three brushed-metal
// spokes (left, right, bottom), a dark grip and an orange band at the top so
// that any turn is plain to see.
void drawRim(QPainter& p)
{
    QPainterPath frame;
    frame.addEllipse(Centre, 26, 26);
    frame = frame.united(spoke(0, 30, 20)).united(spoke(180, 30, 20)).united(spoke(90, 26, 18));

    QLinearGradient metal(0, 60, 0, 180);
    metal.setColorAt(0.0, QColor(0xe4, 0xe8, 0xec));
    metal.setColorAt(0.45, QColor(0xa9, 0xb0, 0xb8));
    metal.setColorAt(0.55, QColor(0x97, 0x9f, 0xa8));
    metal.setColorAt(1.0, QColor(0xc8, 0xce, 0xd4));
    p.setPen(QPen(QColor(0x4a, 0x50, 0x58), 1.5));
    p.setBrush(metal);
    p.drawPath(frame);

    // Hub: a dark boss with a metal ring, like the quick-release on a real wheel.
    QRadialGradient boss(Centre - QPointF(6, 6), 22);
    boss.setColorAt(0.0, QColor(0x4a, 0x4f, 0x56));
    boss.setColorAt(1.0, QColor(0x1d, 0x20, 0x24));
    p.setPen(QPen(QColor(0x70, 0x77, 0x80), 2));
    p.setBrush(boss);
    p.drawEllipse(Centre, 17, 17);
    p.setPen(QPen(QColor(0x8c, 0x93, 0x9c), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(Centre, 9, 9);

    // Grip: shaded across its width so it reads as a round tube.
    const qreal in = RimInner / RimOuter;
    QRadialGradient tube(Centre, RimOuter);
    tube.setColorAt(in, QColor(0x1e, 0x20, 0x23));
    tube.setColorAt(in + (1 - in) * 0.35, QColor(0x44, 0x48, 0x4e));
    tube.setColorAt(in + (1 - in) * 0.55, QColor(0x3a, 0x3e, 0x44));
    tube.setColorAt(1.0, QColor(0x16, 0x18, 0x1a));
    const QPainterPath grip = ring(RimInner, RimOuter);
    p.setPen(Qt::NoPen);
    p.setBrush(tube);
    p.drawPath(grip);

    // Light from the top left.
    QLinearGradient sheen(QPointF(30, 30), QPointF(140, 140));
    sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawPath(grip);

    QRadialGradient band(Centre, RimOuter);
    band.setColorAt(in, Marker.darker(140));
    band.setColorAt(in + (1 - in) * 0.4, Marker.lighter(115));
    band.setColorAt(1.0, Marker.darker(150));
    p.setBrush(band);
    p.drawPath(ringSegment(RimInner - 0.5, RimOuter + 0.5, 80, 20));

    // Edges, light enough to keep the rim apart from a dark window too.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x6b, 0x71, 0x78), 1.2));
    p.drawEllipse(Centre, RimOuter, RimOuter);
    p.setPen(QPen(QColor(0x0c, 0x0d, 0x0e), 1.2));
    p.drawEllipse(Centre, RimInner, RimInner);
}

// A counter-clockwise arrow round an open circle: "back to the default".
// Built as one outline and centred by its bounds, since the head makes it lopsided.
void drawReset(QPainter& p, qreal size)
{
    const qreal radius = 42;
    const qreal headDeg = 104;  // the arrow head sits just left of the top
    const qreal sweepDeg = 270; // the gap opens to the upper left
    const qreal tailDeg = headDeg - sweepDeg;

    QPainterPath arc;
    const QRectF box(-radius, -radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, tailDeg);
    arc.arcTo(box, tailDeg, sweepDeg - 14); // ends under the head
    QPainterPathStroker stroker;
    stroker.setWidth(17);
    stroker.setCapStyle(Qt::RoundCap);

    // Head: a triangle across the stroke, pointing along the direction of travel.
    const qreal a = headDeg * Pi / 180.0;
    const QPointF onArc(radius * std::cos(a), -radius * std::sin(a));
    const QPointF along(-std::sin(a), -std::cos(a)); // counter-clockwise on screen
    const QPointF outward(std::cos(a), -std::sin(a));
    const QPointF base = onArc - along * 10;
    QPainterPath head;
    head.moveTo(base + outward * 22);
    head.lineTo(base + along * 29);
    head.lineTo(base - outward * 22);
    head.closeSubpath();

    const QPainterPath symbol = stroker.createStroke(arc).united(head).simplified();
    const QRectF bounds = symbol.boundingRect();
    const qreal margin = 138.0 * 0.05;
    const qreal fit = (138.0 - 2 * margin) / std::max(bounds.width(), bounds.height());
    p.scale(size / 138.0, size / 138.0);
    p.translate(69, 69);
    p.scale(fit, fit);
    p.translate(-bounds.center());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xb8));
    p.drawPath(symbol);
}

// The rim on a rounded slate tile: recognisable at launcher sizes.
void drawIcon(QPainter& p, qreal size)
{
    p.scale(size / 200.0, size / 200.0);
    QLinearGradient tile(0, 0, 0, 200);
    tile.setColorAt(0.0, QColor(0x35, 0x4a, 0x60));
    tile.setColorAt(1.0, QColor(0x16, 0x20, 0x2b));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(4, 4, 192, 192), 38, 38);

    p.translate(Centre);
    p.scale(0.9, 0.9);
    p.translate(-Centre);
    drawRim(p);
}

template <typename Draw> bool render(const QString& path, int size, Draw draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        draw(p);
    }
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    failures += !render(dir.filePath("rim.png"), 200, [](QPainter& p) { drawRim(p); });
    failures +=
        !render(dir.filePath("reset_button.png"), 138, [](QPainter& p) { drawReset(p, 138); });
    failures +=
        !render(dir.filePath("orv-config-tool.png"), 256, [](QPainter& p) { drawIcon(p, 256); });
    // The icon theme's sizes for the desktop entry, each drawn at its size
    // rather than scaled down from the largest.
    for (int size : {48, 128, 256}) {
        const QString theme = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        failures += !dir.mkpath(theme);
        failures += !render(dir.filePath(theme + QStringLiteral("/orv-config-tool.png")), size,
                            [size](QPainter& p) { drawIcon(p, size); });
    }
    return failures == 0 ? 0 : 1;
}
