#pragma once
// A display that records every change the rules make, in order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/Display.h"

namespace zorv::test {

inline const char* pictureName(Picture picture)
{
    static const char* const names[] = {"bleft",  "bup",    "bdown",  "bright", "left1",  "left2", "left3", "left4",
                                        "up1",    "up2",    "up3",    "up4",    "down1",  "down2", "down3", "down4",
                                        "right1", "right2", "right3", "right4", "greati", "goodi", "badi",  "missi"};
    return names[static_cast<int>(picture)];
}

// Each change as a short line: "show up1", "hide greati", "top left1 577",
// "Edit9=600".
class RecordingDisplay : public Display {
public:
    std::vector<std::string> log;

    void pictureShown(Picture picture, bool visible) override
    {
        log.push_back(std::string(visible ? "show " : "hide ") + pictureName(picture));
    }
    void pictureMoved(Picture picture, std::int32_t top) override
    {
        log.push_back(std::string("top ") + pictureName(picture) + " " + std::to_string(top));
    }
    void textSet(Box box, std::string_view text) override
    {
        log.push_back("Edit" + std::to_string(static_cast<int>(box) + 1) + "=" + std::string(text));
    }
};

}  // namespace zorv::test
