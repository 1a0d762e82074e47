#include "tools/pictures/KeyColour.h"

#include <QPoint>

#include <cstdint>
#include <vector>

namespace zorv::pictures {
namespace {

// Moves a colour one step off the key so the game does not punch a hole in
// the drawing where the two happen to match.
QRgb nudgedOffKey(QRgb colour)
{
    const int blue = qBlue(colour);
    return qRgb(qRed(colour), qGreen(colour), blue > 127 ? blue - 1 : blue + 1);
}

}  // namespace

QImage clearCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

Flattened flattenOntoKey(const QImage& drawing, QRgb key)
{
    const QImage straight = drawing.convertToFormat(QImage::Format_ARGB32);
    Flattened result{QImage(straight.size(), QImage::Format_RGB888), 0};
    for (int y = 0; y < straight.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        std::uint8_t* out = result.image.scanLine(y);
        for (int x = 0; x < straight.width(); ++x) {
            QRgb colour = key;
            if (qAlpha(in[x]) >= 128) {
                colour = qRgb(qRed(in[x]), qGreen(in[x]), qBlue(in[x]));
                if (colour == key) {
                    colour = nudgedOffKey(colour);
                    ++result.nudged;
                }
            }
            out[3 * x + 0] = static_cast<std::uint8_t>(qRed(colour));
            out[3 * x + 1] = static_cast<std::uint8_t>(qGreen(colour));
            out[3 * x + 2] = static_cast<std::uint8_t>(qBlue(colour));
        }
    }
    return result;
}

int sealPinholes(QImage& image, QRgb key, int largestPinhole)
{
    const int w = image.width();
    const int h = image.height();
    auto at = [w](int x, int y) { return static_cast<size_t>(y) * w + x; };
    std::vector<int> region(static_cast<size_t>(w) * h, 0);  // 0 unseen, -1 open to the border
    auto isKey = [&](int x, int y) { return image.pixel(x, y) == key; };
    auto flood = [&](int x0, int y0, int mark) {
        std::vector<QPoint> members{QPoint(x0, y0)};
        region[at(x0, y0)] = mark;
        for (size_t i = 0; i < members.size(); ++i) {
            const QPoint p = members[i];
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint n = p + step;
                if (n.x() < 0 || n.y() < 0 || n.x() >= w || n.y() >= h || region[at(n.x(), n.y())] != 0 ||
                    !isKey(n.x(), n.y()))
                    continue;
                region[at(n.x(), n.y())] = mark;
                members.push_back(n);
            }
        }
        return members;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && region[at(x, y)] == 0 && isKey(x, y))
                flood(x, y, -1);

    int sealed = 0;
    int next = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (region[at(x, y)] != 0 || !isKey(x, y))
                continue;
            const std::vector<QPoint> pinhole = flood(x, y, ++next);
            if (static_cast<int>(pinhole.size()) > largestPinhole)
                continue;
            QRgb darkest = 0;
            int darkestLevel = 1 << 30;
            for (const QPoint p : pinhole)
                for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint n = p + step;
                    if (n.x() < 0 || n.y() < 0 || n.x() >= w || n.y() >= h || isKey(n.x(), n.y()))
                        continue;
                    const QRgb c = image.pixel(n);
                    const int level = qRed(c) + qGreen(c) + qBlue(c);
                    if (level < darkestLevel) {
                        darkestLevel = level;
                        darkest = c;
                    }
                }
            for (const QPoint p : pinhole)
                image.setPixel(p, darkest);
            sealed += static_cast<int>(pinhole.size());
        }
    return sealed;
}

}  // namespace zorv::pictures
