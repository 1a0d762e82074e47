#include "app/PictureBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace zorv {

QImage withoutKeyColour(const QImage& bitmap)
{
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

QVarLengthArray<QRect, 32> columns(const QRegion& region)
{
    QVarLengthArray<QRect, 32> merged;
    for (const QRect& rect : region) {
        auto below = std::find_if(merged.begin(), merged.end(), [&](const QRect& m) {
            return m.left() == rect.left() && m.right() == rect.right() && m.bottom() + 1 == rect.top();
        });
        if (below != merged.end())
            below->setBottom(rect.bottom());
        else
            merged.append(rect);
    }
    return merged;
}

PictureBox::PictureBox(QWidget* parent, const QImage& bitmap, bool transparent, bool stretch)
    : QWidget(parent),
      bitmap_(transparent ? withoutKeyColour(bitmap) : bitmap.convertToFormat(QImage::Format_RGB32)),
      stretch_(stretch)
{
    // An opaque picture covers its rectangle, so nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent && stretch);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    // Scale once per size, not once per repaint: arrows move over the
    // background twenty times a second.
    if (shown_.isNull() || (stretch_ && shown_.size() != size()))
        shown_ = QPixmap::fromImage(stretch_ ? bitmap_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                             : bitmap_);
    // Moved arrows leave dozens of small rectangles on the background. Their
    // bounding box drawn through a clip of that many rectangles takes Qt's
    // span-by-span path, handed to its thread pool, and cost twice as much as
    // drawing each column of them on its own.
    QPainter painter(this);
    for (const QRect& dirty : columns(event->region())) {
        painter.setClipRect(dirty);
        painter.drawPixmap(dirty, shown_, dirty);
    }
}

}  // namespace zorv
