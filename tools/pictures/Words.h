#pragma once
// The judgement words: bold, leaning forward, outlined and dropped onto a
// shadow, filling a banner.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace zorv::pictures {

struct WordLook {
    QColor light;
    QColor base;
    QColor edge;
};

// `text` drawn to fill `size`, on a clear canvas.
QImage paintWord(const QString& text, const WordLook& look, QSize size);

}  // namespace zorv::pictures
