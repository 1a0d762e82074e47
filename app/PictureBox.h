#pragma once

#include <QPixmap>
#include <QRect>
#include <QVarLengthArray>
#include <QWidget>

namespace zorv {

// A picture control. A transparent picture leaves out every pixel of the
// colour of its bitmap's bottom-left pixel; a stretched one fills its
// rectangle, an unstretched one is drawn at its top-left corner, unscaled.
class PictureBox : public QWidget {
public:
    PictureBox(QWidget* parent, const QImage& bitmap, bool transparent, bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage bitmap_;
    QPixmap shown_;  // bitmap_ ready to draw, scaled to the size it was last drawn at
    bool stretch_;
};

// The rectangles of `region`, those stacked exactly on top of one another
// joined into one: a region keeps its rectangles in horizontal bands, so two
// moved arrows side by side cut each other's rectangles into pieces.
QVarLengthArray<QRect, 32> columns(const QRegion& region);

// `bitmap` with every pixel of its bottom-left colour made fully transparent.
QImage withoutKeyColour(const QImage& bitmap);

}  // namespace zorv
