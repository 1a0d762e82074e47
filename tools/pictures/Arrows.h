#pragma once
// The arrows: one silhouette for all four lanes, filled for the moving
// arrows and framed for the targets.

#include <QColor>
#include <QImage>
#include <QPainter>

namespace zorv::pictures {

inline constexpr int kArrowSize = 60;

enum class Direction { left, up, down, right };

struct ArrowLook {
    QColor light;  // where the light from the top left hits
    QColor base;
    QColor edge;  // darker outline so the arrow reads on the night sky
    bool rainbow = false;
};

extern const ArrowLook kBlue;
extern const ArrowLook kPink;
extern const ArrowLook kPurple;
extern const ArrowLook kRainbow;

// Paints in 60 x 60 tile units; the caller scales the painter for bigger
// uses such as the icon.
void paintFilledArrow(QPainter& painter, Direction direction, const ArrowLook& look);

// A 60 x 60 tile on a clear canvas: the filled arrow of `look`, or the
// target frame when `look` is null.
QImage arrowTile(Direction direction, const ArrowLook* look);

}  // namespace zorv::pictures
