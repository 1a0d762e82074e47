#pragma once
// The game draws a sprite by leaving out every pixel whose colour equals the
// bitmap's bottom-left pixel. So each sprite is painted antialiased onto a
// transparent canvas and then flattened onto a flat key colour that the
// drawing itself never uses; a half-covered edge pixel cannot be blended with
// the key (it would show as a fringe of the key colour), so it is either kept
// whole or dropped.

#include <QImage>
#include <QRgb>

namespace zorv::pictures {

inline constexpr QRgb kMagenta = qRgb(255, 0, 255);
inline constexpr QRgb kGreen = qRgb(0, 255, 0);
inline constexpr QRgb kWhite = qRgb(255, 255, 255);

// A transparent canvas to paint a sprite on.
QImage clearCanvas(int width, int height);

struct Flattened {
    QImage image;    // 24-bit, no alpha
    int nudged = 0;  // drawing pixels moved one step off the key
};

// Pixels at least half covered keep their colour, the rest become `key`.
Flattened flattenOntoKey(const QImage& drawing, QRgb key);

// Where two outlines nearly touch, the 50% cut can leave a pixel or two of
// key colour walled in by the drawing: on screen a pinhole of whatever lies
// behind. Such pinholes, up to `largestPinhole` pixels, are painted over with
// the darkest colour around them; real openings (a hollow arrow, the inside
// of an O) are far bigger. Returns the pixels sealed.
int sealPinholes(QImage& image, QRgb key, int largestPinhole);

}  // namespace zorv::pictures
