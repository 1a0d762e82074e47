#include "tools/pictures/Icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "tools/pictures/Arrows.h"
#include "tools/pictures/KeyColour.h"

namespace zorv::pictures {

QImage paintIcon(int side)
{
    QImage icon = clearCanvas(side, side);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 256.0, side / 256.0);

    const QRectF tile(8, 8, 240, 240);
    QPainterPath rounded;
    rounded.addRoundedRect(tile, 52, 52);
    QLinearGradient night(0, tile.top(), 0, tile.bottom());
    night.setColorAt(0.0, QColor(40, 34, 104));
    night.setColorAt(1.0, QColor(14, 12, 44));
    painter.fillPath(rounded, night);
    QRadialGradient glow(QPointF(128, 128), 120);
    glow.setColorAt(0.0, QColor(170, 140, 255, 90));
    glow.setColorAt(1.0, QColor(170, 140, 255, 0));
    painter.fillPath(rounded, glow);
    painter.strokePath(rounded, QPen(QColor(150, 136, 230), 4.0));

    // A pad of the four lane arrows, each pointing away from the middle.
    const struct {
        Direction direction;
        const ArrowLook* look;
        QPointF centre;
    } pad[] = {
        {Direction::up, &kPink, {128, 66}},
        {Direction::left, &kBlue, {66, 128}},
        {Direction::right, &kRainbow, {190, 128}},
        {Direction::down, &kPurple, {128, 190}},
    };
    constexpr double scale = 1.45;
    for (const auto& arrow : pad) {
        painter.save();
        painter.translate(arrow.centre);
        painter.scale(scale, scale);
        painter.translate(-kArrowSize / 2.0, -kArrowSize / 2.0);
        paintFilledArrow(painter, arrow.direction, *arrow.look);
        painter.restore();
    }
    painter.end();
    return icon;
}

}  // namespace zorv::pictures
