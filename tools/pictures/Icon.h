#pragma once
// The window icon: the four lane arrows on a rounded night tile.

#include <QImage>

namespace zorv::pictures {

QImage paintIcon(int side);

}  // namespace zorv::pictures
