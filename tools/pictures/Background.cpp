#include "tools/pictures/Background.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <random>

namespace zorv::pictures {
namespace {

// Uniform in [0, 1) from the raw engine output: the standard pins down
// mt19937's sequence but not the distributions', so this keeps the sky
// identical everywhere.
double unit(std::mt19937& engine) { return engine() / 4294967296.0; }

// The game stretches the background onto its 711 x 670 panel, so it is drawn
// in panel units and scaled up: round things stay round on screen.
constexpr double kPanelWidth = 711.0;
constexpr double kPanelHeight = 670.0;
constexpr double kLanesRight = 340.0;
const QRectF kBoard(432.0, 22.0, 258.0, 626.0);

void paintSky(QPainter& painter)
{
    QLinearGradient night(0, 0, 0, kPanelHeight);
    night.setColorAt(0.0, QColor(8, 10, 34));
    night.setColorAt(0.55, QColor(20, 18, 58));
    night.setColorAt(1.0, QColor(44, 24, 72));
    painter.fillRect(QRectF(0, 0, kPanelWidth, kPanelHeight), night);

    // Faint haze on the right where the board stands; the lanes keep the
    // plain gradient.
    const struct {
        QPointF at;
        double radius;
        QColor colour;
    } hazes[] = {
        {{560, 120}, 300, QColor(90, 60, 160, 70)},
        {{420, 560}, 260, QColor(150, 60, 140, 45)},
        {{690, 420}, 220, QColor(40, 90, 170, 50)},
    };
    for (const auto& haze : hazes) {
        QRadialGradient glow(haze.at, haze.radius);
        glow.setColorAt(0.0, haze.colour);
        glow.setColorAt(1.0, QColor(haze.colour.red(), haze.colour.green(), haze.colour.blue(), 0));
        painter.fillRect(QRectF(0, 0, kPanelWidth, kPanelHeight), glow);
    }
}

void paintStars(QPainter& painter)
{
    std::mt19937 engine(20240611u);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 170; ++i) {
        const QPointF at(unit(engine) * kPanelWidth, unit(engine) * kPanelHeight * 0.82);
        const double size = 0.5 + unit(engine) * unit(engine) * 1.5;
        const double twinkle = unit(engine);
        if (kBoard.adjusted(-6, -6, 6, 6).contains(at))
            continue;
        // Stars behind the lanes stay dim so they are never mistaken for
        // something to hit.
        const bool inLanes = at.x() < kLanesRight;
        const int alpha = inLanes ? 40 + int(twinkle * 50) : 90 + int(twinkle * 150);
        const QColor tint = twinkle > 0.8 ? QColor(255, 236, 200, alpha) : QColor(214, 226, 255, alpha);
        painter.setBrush(tint);
        painter.drawEllipse(at, size, size);
        if (!inLanes && size > 1.4) {
            QColor ray = tint;
            ray.setAlpha(alpha / 3);
            painter.setPen(QPen(ray, 0.6));
            painter.drawLine(at - QPointF(5, 0), at + QPointF(5, 0));
            painter.drawLine(at - QPointF(0, 5), at + QPointF(0, 5));
            painter.setPen(Qt::NoPen);
        }
    }
}

void paintMoon(QPainter& painter)
{
    const QPointF centre(386, 84);
    QRadialGradient halo(centre, 80);
    halo.setColorAt(0.0, QColor(255, 240, 210, 90));
    halo.setColorAt(0.35, QColor(255, 230, 200, 30));
    halo.setColorAt(1.0, QColor(255, 230, 200, 0));
    painter.fillRect(QRectF(centre.x() - 80, centre.y() - 80, 160, 160), halo);

    QPainterPath disc;
    disc.addEllipse(centre, 24, 24);
    QPainterPath bite;
    bite.addEllipse(centre + QPointF(11, -7), 21, 21);
    QRadialGradient lit(centre - QPointF(8, -4), 30);
    lit.setColorAt(0.0, QColor(255, 248, 226));
    lit.setColorAt(1.0, QColor(236, 210, 160));
    painter.fillPath(disc.subtracted(bite), lit);
}

// Two slow spotlight beams from the top between the lanes and the board.
void paintStageLights(QPainter& painter)
{
    const struct {
        QPointF top;
        double spreadLeft;
        double spreadRight;
        QColor colour;
    } beams[] = {
        {{356, -10}, 60, 140, QColor(170, 140, 255, 34)},
        {{420, -10}, 110, 30, QColor(255, 150, 210, 26)},
    };
    for (const auto& beam : beams) {
        QPainterPath cone;
        cone.moveTo(beam.top + QPointF(-6, 0));
        cone.lineTo(beam.top + QPointF(6, 0));
        cone.lineTo(beam.top.x() + beam.spreadRight, kPanelHeight);
        cone.lineTo(beam.top.x() - beam.spreadLeft, kPanelHeight);
        cone.closeSubpath();
        QLinearGradient fade(0, 0, 0, kPanelHeight);
        fade.setColorAt(0.0, beam.colour);
        fade.setColorAt(1.0, QColor(beam.colour.red(), beam.colour.green(), beam.colour.blue(), 0));
        painter.fillPath(cone, fade);
    }
}

void paintHills(QPainter& painter)
{
    // Far hills a shade lighter than the near ones.
    const struct {
        double base;
        double height;
        double waves;
        double phase;
        QColor colour;
    } ridges[] = {
        {612, 26, 2.3, 0.7, QColor(30, 22, 64)},
        {640, 18, 3.1, 2.1, QColor(18, 14, 42)},
    };
    for (const auto& ridge : ridges) {
        QPainterPath land;
        land.moveTo(0, kPanelHeight);
        for (int x = 0; x <= int(kPanelWidth); x += 4) {
            const double t = x / kPanelWidth;
            const double y = ridge.base - ridge.height * (0.6 * std::sin(t * ridge.waves * 6.2832 + ridge.phase) +
                                                          0.4 * std::sin(t * ridge.waves * 2.7 * 6.2832));
            land.lineTo(x, y);
        }
        land.lineTo(kPanelWidth, kPanelHeight);
        land.closeSubpath();
        painter.fillPath(land, ridge.colour);
    }
}

// The score board prints black 11 px labels, so it gets a pale frosted
// panel rather than the sky.
void paintBoard(QPainter& painter)
{
    QPainterPath panel;
    panel.addRoundedRect(kBoard, 16, 16);

    for (int i = 4; i >= 1; --i) {
        QPainterPath glow;
        glow.addRoundedRect(kBoard.adjusted(-3.0 * i, -3.0 * i, 3.0 * i, 3.0 * i), 16 + 3.0 * i, 16 + 3.0 * i);
        painter.fillPath(glow, QColor(160, 150, 255, 14));
    }

    QLinearGradient frost(0, kBoard.top(), 0, kBoard.bottom());
    frost.setColorAt(0.0, QColor(236, 236, 248));
    frost.setColorAt(1.0, QColor(212, 214, 238));
    painter.fillPath(panel, frost);

    // A gentle diagonal sheen across the top third.
    painter.save();
    painter.setClipPath(panel);
    QPainterPath sheen;
    sheen.moveTo(kBoard.left(), kBoard.top());
    sheen.lineTo(kBoard.right(), kBoard.top());
    sheen.lineTo(kBoard.right(), kBoard.top() + 90);
    sheen.lineTo(kBoard.left(), kBoard.top() + 190);
    sheen.closeSubpath();
    painter.fillPath(sheen, QColor(255, 255, 255, 70));
    painter.restore();

    painter.strokePath(panel, QPen(QColor(136, 128, 196), 2.0));
    QPainterPath inner;
    inner.addRoundedRect(kBoard.adjusted(2, 2, -2, -2), 14, 14);
    painter.strokePath(inner, QPen(QColor(255, 255, 255, 150), 1.0));
}

}  // namespace

QImage paintBackground(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / kPanelWidth, size.height() / kPanelHeight);
    paintSky(painter);
    paintStars(painter);
    paintStageLights(painter);
    paintMoon(painter);
    paintHills(painter);
    paintBoard(painter);
    painter.end();
    return image;
}

}  // namespace zorv::pictures
