#include "app/PictureBox.h"

#include <QPaintEvent>
#include <QPainter>

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

PictureBox::PictureBox(QWidget* parent, const QImage& bitmap, bool transparent, bool stretch)
    : QWidget(parent), bitmap_(transparent ? withoutKeyColour(bitmap) : bitmap.convertToFormat(QImage::Format_RGB32)),
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
        shown_ = QPixmap::fromImage(
            stretch_ ? bitmap_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : bitmap_);
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.drawPixmap(dirty, shown_, dirty);
}

}  // namespace zorv
