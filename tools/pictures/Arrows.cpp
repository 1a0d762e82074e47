#include "tools/pictures/Arrows.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QTransform>

#include <iterator>

#include "tools/pictures/KeyColour.h"

namespace zorv::pictures {

const ArrowLook kBlue{QColor(196, 238, 255), QColor(74, 178, 245), QColor(18, 62, 128)};
const ArrowLook kPink{QColor(255, 204, 232), QColor(246, 92, 170), QColor(128, 18, 80)};
const ArrowLook kPurple{QColor(222, 196, 255), QColor(142, 78, 222), QColor(62, 20, 120)};
const ArrowLook kRainbow{QColor(255, 246, 236), QColor(), QColor(52, 30, 82), true};

namespace {

// One silhouette for every arrow, pointing left inside a 60 x 60 tile, so the
// four lanes read as one family. The barbs sweep back a little past the
// shaft joint, which keeps the head recognisable when it is moving fast.
QPainterPath leftArrowShape()
{
    QPainterPath shape;
    shape.moveTo(5.0, 30.0);  // tip
    shape.lineTo(29.0, 5.0);  // upper barb
    shape.lineTo(35.0, 11.0);
    shape.lineTo(27.0, 19.5);  // back into the shaft
    shape.lineTo(54.5, 19.5);
    shape.lineTo(54.5, 40.5);
    shape.lineTo(27.0, 40.5);
    shape.lineTo(35.0, 49.0);
    shape.lineTo(29.0, 55.0);  // lower barb
    shape.closeSubpath();
    return shape;
}

QPainterPath arrowShape(Direction direction)
{
    double degrees = 0.0;
    switch (direction) {
    case Direction::left: degrees = 0.0; break;
    case Direction::up: degrees = 90.0; break;
    case Direction::down: degrees = -90.0; break;
    case Direction::right: degrees = 180.0; break;
    }
    const double centre = kArrowSize / 2.0;
    QTransform turn;
    turn.translate(centre, centre).rotate(degrees).translate(-centre, -centre);
    return turn.map(leftArrowShape());
}

QBrush arrowBody(const ArrowLook& look)
{
    if (look.rainbow) {
        // Bands run top to bottom whatever the arrow's direction, like a
        // real rainbow; saturation stays below full so no band can land on a
        // pure key colour.
        QLinearGradient bands(0, 15, 0, 45);
        const double hues[] = {0.0, 28.0, 52.0, 125.0, 200.0, 262.0, 300.0};
        const int count = static_cast<int>(std::size(hues));
        for (int i = 0; i < count; ++i)
            bands.setColorAt(double(i) / (count - 1), QColor::fromHsvF(float(hues[i] / 360.0), 0.70f, 1.0f));
        return bands;
    }
    QLinearGradient shade(14, 6, 46, 56);
    shade.setColorAt(0.0, look.light);
    shade.setColorAt(0.55, look.base);
    shade.setColorAt(1.0, look.base.darker(125));
    return shade;
}

// The target arrows are only a frame: a light grey band between two darker
// lines, so it stays visible on the sky and under a passing arrow.
void paintTargetArrow(QPainter& painter, Direction direction)
{
    const QPainterPath shape = arrowShape(direction);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.strokePath(shape, QPen(QColor(58, 60, 72), 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient metal(0, 4, 0, 56);
    metal.setColorAt(0.0, QColor(214, 216, 226));
    metal.setColorAt(1.0, QColor(150, 153, 168));
    painter.strokePath(shape, QPen(QBrush(metal), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(shape, QPen(QColor(112, 115, 132), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.restore();
}

}  // namespace

void paintFilledArrow(QPainter& painter, Direction direction, const ArrowLook& look)
{
    const QPainterPath shape = arrowShape(direction);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillPath(shape, arrowBody(look));

    // A soft sheen on the upper half and a bright rim just inside the edge
    // give the flat shape some volume.
    painter.setClipPath(shape, Qt::IntersectClip);
    QColor sheen = look.light;
    sheen.setAlpha(look.rainbow ? 70 : 90);
    QLinearGradient gloss(0, 4, 0, 34);
    gloss.setColorAt(0.0, sheen);
    sheen.setAlpha(0);
    gloss.setColorAt(1.0, sheen);
    painter.fillRect(QRectF(0, 0, kArrowSize, kArrowSize), gloss);
    QColor rim = look.light;
    rim.setAlpha(150);
    painter.strokePath(shape, QPen(rim, 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setClipping(false);

    painter.strokePath(shape, QPen(look.edge, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.restore();
}

QImage arrowTile(Direction direction, const ArrowLook* look)
{
    QImage canvas = clearCanvas(kArrowSize, kArrowSize);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look)
        paintFilledArrow(painter, direction, *look);
    else
        paintTargetArrow(painter, direction);
    painter.end();
    return canvas;
}

}  // namespace zorv::pictures
