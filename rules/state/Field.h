#pragma once
// What the player sees of the game state: visibility and Top of every
// picture the rules move, and the text of every edit box. The rules change
// these only through Field, which tells an optional Display each change, in
// the order it happens, so that widgets can mirror every write.

#include <array>
#include <cstdint>
#include <string_view>

#include "state/Display.h"

namespace zorv {

// Pixels, in the play panel's client coordinates; Top grows downwards.
inline constexpr std::int32_t kSpawnTop = 587;      // where a retired arrow is parked
inline constexpr std::int32_t kFirstLaneTop = 584;  // never-used left1..left4

struct PictureState {
    bool visible = false;
    std::int32_t top = 0;
};

// Short fixed text: "%i" of any 32-bit value fits, so no write allocates.
class BoxText {
public:
    static constexpr std::size_t kCapacity = 15;
    BoxText() = default;
    void assign(std::string_view text) noexcept;  // longer text is cut to kCapacity
    std::string_view view() const noexcept { return {chars_.data(), size_}; }
    bool operator==(std::string_view other) const noexcept { return view() == other; }

private:
    std::array<char, kCapacity + 1> chars_{};
    std::size_t size_ = 0;
};

class Field {
public:
    // Initial layout: target arrows shown at Top 0, slots hidden at 584 (lane 1)
    // or 587, judgement pictures hidden; Edit1..Edit4 empty, Edit5..Edit8
    // "Edit5", Edit9 "sum".
    Field() noexcept;

    const PictureState& operator[](Picture picture) const noexcept
    {
        return pictures_[static_cast<std::size_t>(picture)];
    }
    std::string_view text(Box box) const noexcept { return boxes_[static_cast<std::size_t>(box)].view(); }

    void setVisible(Picture picture, bool visible);
    void setTop(Picture picture, std::int32_t top);
    void setText(Box box, std::string_view text);
    void setNumber(Box box, std::int32_t value);  // "%i"

    // Not owned; nullptr for none. Gets no replay of the current state.
    void setDisplay(Display* display) noexcept { display_ = display; }

private:
    std::array<PictureState, kPictureCount> pictures_{};
    std::array<BoxText, kBoxCount> boxes_{};
    Display* display_ = nullptr;
};

}  // namespace zorv
