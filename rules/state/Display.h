#pragma once
// The display contract: the pictures and edit boxes the rules change, and
// the interface that hears every change, in the order it happens. The window
// implements it to mirror the rules onto its widgets; tests record it.

#include <cstdint>
#include <string_view>

#include "core/Lanes.h"

namespace zorv {

// Pictures the rules show, hide or move. Slot pictures run left1..right4 in
// lane pool order so that Picture(kFirstSlot + slot) is slot `slot` (0..15).
// One row per lane pool.
// clang-format off
enum class Picture : std::uint8_t {
    bleft, bup, bdown, bright,
    left1, left2, left3, left4,
    up1, up2, up3, up4,
    down1, down2, down3, down4,
    right1, right2, right3, right4,
    greati, goodi, badi, missi,
};
// clang-format on
inline constexpr int kPictureCount = 24;
inline constexpr int kFirstSlot = static_cast<int>(Picture::left1);

// Edit boxes, Edit1..Edit9.
enum class Box : std::uint8_t { Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9 };
inline constexpr int kBoxCount = 9;

// `slot` in 0..15.
constexpr Picture slotPicture(int slot) noexcept { return static_cast<Picture>(kFirstSlot + slot); }

// The grey target arrow of a lane, at the top of its column.
constexpr Picture targetOf(Lane lane) noexcept
{
    return static_cast<Picture>(static_cast<int>(Picture::bleft) + laneIndex(lane));
}

class Display {
public:
    virtual ~Display() = default;
    virtual void pictureShown(Picture picture, bool visible) = 0;
    // `top` in pixels of the play panel's client area, growing downwards.
    virtual void pictureMoved(Picture picture, std::int32_t top) = 0;
    virtual void textSet(Box box, std::string_view text) = 0;
};

}  // namespace zorv
