// make-pictures OUTDIR
//
// Draws every picture the game ships and writes them into OUTDIR: the play
// field background, the arrows, the judgement words and the window icon.
//
// The game draws a sprite by leaving out every pixel whose colour equals the
// bitmap's bottom-left pixel. So each sprite is painted antialiased onto a
// transparent canvas and then flattened onto a flat key colour that the
// drawing itself never uses; a half-covered edge pixel cannot be blended with
// the key (it would show as a fringe of the key colour), so it is either kept
// whole or dropped.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <random>
#include <vector>

namespace {

constexpr QRgb kMagenta = qRgb(255, 0, 255);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

constexpr int kArrowSize = 60;

QImage clearCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Moves a colour one step off the key so the game does not punch a hole in
// the drawing where the two happen to match.
QRgb nudgedOffKey(QRgb colour)
{
    const int blue = qBlue(colour);
    return qRgb(qRed(colour), qGreen(colour), blue > 127 ? blue - 1 : blue + 1);
}

struct Flattened {
    QImage image;
    int nudged = 0;
};

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

// Where two outlines nearly touch, the 50% cut can leave a pixel or two of
// key colour walled in by the drawing: on screen a pinhole of whatever lies
// behind. Such pinholes are painted over with the darkest colour around them;
// real openings (a hollow arrow, the inside of an O) are far bigger.
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

// ---------------------------------------------------------------- arrows

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

enum class Direction { left, up, down, right };

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

struct ArrowLook {
    QColor light;  // where the light from the top left hits
    QColor base;
    QColor edge;  // darker outline so the arrow reads on the night sky
    bool rainbow = false;
};

const ArrowLook kBlue{QColor(196, 238, 255), QColor(74, 178, 245), QColor(18, 62, 128)};
const ArrowLook kPink{QColor(255, 204, 232), QColor(246, 92, 170), QColor(128, 18, 80)};
const ArrowLook kPurple{QColor(222, 196, 255), QColor(142, 78, 222), QColor(62, 20, 120)};
const ArrowLook kRainbow{QColor(255, 246, 236), QColor(), QColor(52, 30, 82), true};

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

// Paints in 60 x 60 tile units; the caller scales the painter for bigger
// uses such as the icon.
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

// ---------------------------------------------------------------- words

QString wordFontFamily()
{
    // Load the exact face we designed with, so a machine with a different
    // default font still produces the same pictures.
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("DejaVu Sans") : families.first();
    }();
    return family;
}

struct WordLook {
    QColor light;
    QColor base;
    QColor edge;
};

QImage paintWord(const QString& text, const WordLook& look, QSize size)
{
    QFont font(wordFontFamily());
    font.setPixelSize(100);
    font.setWeight(QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 6.0);
    QPainterPath glyphs;
    glyphs.addText(0, 0, font, text);
    glyphs = QTransform().shear(-0.14, 0.0).map(glyphs);  // leaning forward reads as excitement

    constexpr double outline = 5.0;
    constexpr double drop = 4.0;
    const double margin = outline / 2.0 + 3.0;
    const QRectF bounds = glyphs.boundingRect();
    const double sx = (size.width() - 2 * margin - drop) / bounds.width();
    // Allow a taller than natural letter so the word fills the banner.
    const double sy = std::min((size.height() - 2 * margin - drop) / bounds.height(), sx * 1.35);
    QTransform fit;
    fit.translate(margin, (size.height() - drop - bounds.height() * sy) / 2.0);
    fit.scale(sx, sy);
    fit.translate(-bounds.left(), -bounds.top());
    const QPainterPath word = fit.map(glyphs);
    const QRectF area = word.boundingRect();

    QImage canvas = clearCanvas(size.width(), size.height());
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen edgePen(look.edge, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    // A solid drop under the outline lifts the word off whatever arrows it
    // lands on.
    const QPainterPath dropped = QTransform::fromTranslate(drop, drop).map(word);
    const QColor deep = look.edge.darker(160);
    painter.fillPath(dropped, deep);
    painter.strokePath(dropped, QPen(deep, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    painter.strokePath(word, edgePen);
    QLinearGradient body(0, area.top(), 0, area.bottom());
    body.setColorAt(0.0, look.light);
    body.setColorAt(0.5, look.base);
    body.setColorAt(1.0, look.base.darker(130));
    painter.fillPath(word, body);

    // Glossy band across the top of the letters.
    painter.setClipPath(word);
    QColor sheen = look.light;
    sheen.setAlpha(120);
    QLinearGradient gloss(0, area.top(), 0, area.top() + area.height() * 0.45);
    gloss.setColorAt(0.0, sheen);
    sheen.setAlpha(0);
    gloss.setColorAt(1.0, sheen);
    painter.fillRect(area, gloss);
    painter.end();
    return canvas;
}

// ---------------------------------------------------------------- background

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

// ---------------------------------------------------------------- icon

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

// ---------------------------------------------------------------- output

bool save(const QImage& image, const QDir& dir, const QString& name, const char* format)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, format)) {
        std::fprintf(stderr, "make-pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool saveSprite(const QImage& drawing, QRgb key, const QDir& dir, const QString& name)
{
    Flattened flat = flattenOntoKey(drawing, key);
    const int sealed = sealPinholes(flat.image, key, 12);
    if (flat.image.pixel(0, flat.image.height() - 1) != key) {
        std::fprintf(stderr, "make-pictures: %s covers its bottom-left key pixel\n", qPrintable(name));
        return false;
    }
    std::printf("%-10s key %3d,%3d,%3d", qPrintable(name), qRed(key), qGreen(key), qBlue(key));
    if (flat.nudged > 0)
        std::printf("  (%d pixels nudged off the key)", flat.nudged);
    if (sealed > 0)
        std::printf("  (%d pinhole pixels sealed)", sealed);
    std::printf("\n");
    return save(flat.image, dir, name, "BMP");
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

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make-pictures OUTDIR\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-pictures: cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }

    bool ok = save(paintBackground(QSize(1024, 768)), dir, QStringLiteral("bgd.bmp"), "BMP");

    const struct {
        const char* name;
        Direction direction;
        const ArrowLook* look;
        QRgb key;
    } arrows[] = {
        {"bleft.bmp", Direction::left, nullptr, kMagenta}, {"bup.bmp", Direction::up, nullptr, kMagenta},
        {"bdown.bmp", Direction::down, nullptr, kMagenta}, {"bright.bmp", Direction::right, nullptr, kMagenta},
        {"left.bmp", Direction::left, &kBlue, kMagenta},   {"up.bmp", Direction::up, &kPink, kGreen},
        {"down.bmp", Direction::down, &kPurple, kGreen},   {"right.bmp", Direction::right, &kRainbow, kGreen},
    };
    for (const auto& arrow : arrows)
        ok = saveSprite(arrowTile(arrow.direction, arrow.look), arrow.key, dir, QString::fromLatin1(arrow.name)) && ok;

    // White is the key for the words, so their lightest shade stays off it.
    const struct {
        const char* name;
        const char* text;
        WordLook look;
    } words[] = {
        {"great.bmp", "GREAT!!", {QColor(150, 200, 255), QColor(30, 96, 232), QColor(8, 34, 120)}},
        {"good.bmp", "GOOD~~", {QColor(255, 170, 244), QColor(214, 30, 196), QColor(98, 6, 92)}},
        {"bad.bmp", "BAD...", {QColor(236, 150, 118), QColor(168, 58, 32), QColor(78, 20, 8)}},
        {"miss.bmp", "MISS...!", {QColor(255, 150, 140), QColor(222, 22, 22), QColor(104, 0, 0)}},
    };
    for (const auto& word : words)
        ok = saveSprite(paintWord(QString::fromLatin1(word.text), word.look, QSize(400, 120)), kWhite, dir,
                        QString::fromLatin1(word.name)) &&
             ok;

    ok = save(paintIcon(256), dir, QStringLiteral("icon.png"), "PNG") && ok;
    return ok ? 0 : 1;
}
