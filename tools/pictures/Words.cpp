#include "tools/pictures/Words.h"

#include <QFont>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTransform>

#include <algorithm>

#include "tools/pictures/KeyColour.h"

namespace zorv::pictures {
namespace {

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

}  // namespace

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

}  // namespace zorv::pictures
