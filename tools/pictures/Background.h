#pragma once
// The play field's background: a night sky with stars, a moon and stage
// lights over the hills, and a frosted panel under the score board.

#include <QImage>
#include <QSize>

namespace zorv::pictures {

// Drawn in the game's panel units and scaled to `size`.
QImage paintBackground(QSize size);

}  // namespace zorv::pictures
