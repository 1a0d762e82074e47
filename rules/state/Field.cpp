#include "state/Field.h"

#include <algorithm>
#include <charconv>

namespace zorv {

void BoxText::assign(std::string_view text) noexcept
{
    size_ = std::min(text.size(), kCapacity);
    std::copy_n(text.data(), size_, chars_.data());
    chars_[size_] = '\0';
}

Field::Field() noexcept
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        pictures_[kFirstSlot + slot].top = laneOfSlot(slot) == Lane::left ? kFirstLaneTop : kSpawnTop;
    for (Picture target : {Picture::bleft, Picture::bup, Picture::bdown, Picture::bright})
        pictures_[static_cast<std::size_t>(target)].visible = true;
    // Intended: the four count boxes all start as "Edit5", the score box as "sum".
    for (Box box : {Box::Edit5, Box::Edit6, Box::Edit7, Box::Edit8})
        boxes_[static_cast<std::size_t>(box)].assign("Edit5");
    boxes_[static_cast<std::size_t>(Box::Edit9)].assign("sum");
}

void Field::setVisible(Picture picture, bool visible)
{
    pictures_[static_cast<std::size_t>(picture)].visible = visible;
    if (display_)
        display_->pictureShown(picture, visible);
}

void Field::setTop(Picture picture, std::int32_t top)
{
    pictures_[static_cast<std::size_t>(picture)].top = top;
    if (display_)
        display_->pictureMoved(picture, top);
}

void Field::setText(Box box, std::string_view text)
{
    BoxText& target = boxes_[static_cast<std::size_t>(box)];
    target.assign(text);
    if (display_)
        display_->textSet(box, target.view());
}

void Field::setNumber(Box box, std::int32_t value)
{
    char digits[BoxText::kCapacity];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    setText(box, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

}  // namespace zorv
