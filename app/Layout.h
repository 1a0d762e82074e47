#pragma once
// The window's controls: what each one is, where it stands and what it
// shows. The window is built from this table row by row, and the layout test
// reads it too; no other place holds these numbers.

#include <cstdint>

#include "state/Field.h"

namespace zorv::layout {

enum class Kind : std::uint8_t { panel, picture, label, button, positionBar, editBox, radioButton };

struct Control {
    const char* name;    // the window's field, and the widget's object name
    const char* parent;  // a panel's name; nullptr for the window itself
    Kind kind;
    // Pixels in the parent's client area, Top growing downwards. Width and
    // height 0 size a label to its caption, so that no font cuts a word short.
    int left, top, width, height;
    const char* text = "";  // caption, UTF-8, "&" before the mnemonic; a picture's bitmap
    // How a picture is drawn (see PictureBox): without the pixels of its
    // bitmap's bottom-left colour, and scaled to fill its rectangle.
    bool transparent = false;
    bool stretched = false;
};

// The window on the desktop, and the size of its client area: the play
// panel fills it.
struct Window {
    int left, top, width, height;
};
inline constexpr Window kWindow = {235, 200, 713, 672};
// The play panel's raised frame; the background fills the panel inside it.
inline constexpr int kPanelBorder = 1;

// The four lane columns, left to right: target arrows and moving arrows alike.
inline constexpr int kLaneLeft[] = {16, 96, 184, 272};
inline constexpr int kArrowSize = 60;

// Rows of one parent are created in table order, so each is drawn over the
// rows before it: arrows over targets, judgements over arrows, the buttons,
// bar and boxes over every picture. The song panel comes last, over the play
// panel, and its controls take the song panel's font. Arrows start parked
// where the rules put them.
// clang-format off
inline constexpr Control kControls[] = {
    {"Panel1", nullptr, Kind::panel, 0, 0, kWindow.width, kWindow.height},
    {"bgd", "Panel1", Kind::picture, kPanelBorder, kPanelBorder, kWindow.width - 2 * kPanelBorder,
     kWindow.height - 2 * kPanelBorder, "bgd", false, true},
    {"bleft", "Panel1", Kind::picture, kLaneLeft[0], 0, kArrowSize, kArrowSize, "bleft", true},
    {"bup", "Panel1", Kind::picture, kLaneLeft[1], 0, kArrowSize, kArrowSize, "bup", true},
    {"bdown", "Panel1", Kind::picture, kLaneLeft[2], 0, kArrowSize, kArrowSize, "bdown", true},
    {"bright", "Panel1", Kind::picture, kLaneLeft[3], 0, kArrowSize, kArrowSize, "bright", true},
    {"left1", "Panel1", Kind::picture, kLaneLeft[0], kFirstLaneTop, kArrowSize, kArrowSize, "left", true},
    {"left2", "Panel1", Kind::picture, kLaneLeft[0], kFirstLaneTop, kArrowSize, kArrowSize, "left", true},
    {"left3", "Panel1", Kind::picture, kLaneLeft[0], kFirstLaneTop, kArrowSize, kArrowSize, "left", true},
    {"left4", "Panel1", Kind::picture, kLaneLeft[0], kFirstLaneTop, kArrowSize, kArrowSize, "left", true},
    {"up1", "Panel1", Kind::picture, kLaneLeft[1], kSpawnTop, kArrowSize, kArrowSize, "up", true},
    {"up2", "Panel1", Kind::picture, kLaneLeft[1], kSpawnTop, kArrowSize, kArrowSize, "up", true},
    {"up3", "Panel1", Kind::picture, kLaneLeft[1], kSpawnTop, kArrowSize, kArrowSize, "up", true},
    {"up4", "Panel1", Kind::picture, kLaneLeft[1], kSpawnTop, kArrowSize, kArrowSize, "up", true},
    {"down1", "Panel1", Kind::picture, kLaneLeft[2], kSpawnTop, kArrowSize, kArrowSize, "down", true},
    {"down2", "Panel1", Kind::picture, kLaneLeft[2], kSpawnTop, kArrowSize, kArrowSize, "down", true},
    {"down3", "Panel1", Kind::picture, kLaneLeft[2], kSpawnTop, kArrowSize, kArrowSize, "down", true},
    {"down4", "Panel1", Kind::picture, kLaneLeft[2], kSpawnTop, kArrowSize, kArrowSize, "down", true},
    {"right1", "Panel1", Kind::picture, kLaneLeft[3], kSpawnTop, kArrowSize, kArrowSize, "right", true},
    {"right2", "Panel1", Kind::picture, kLaneLeft[3], kSpawnTop, kArrowSize, kArrowSize, "right", true},
    {"right3", "Panel1", Kind::picture, kLaneLeft[3], kSpawnTop, kArrowSize, kArrowSize, "right", true},
    {"right4", "Panel1", Kind::picture, kLaneLeft[3], kSpawnTop, kArrowSize, kArrowSize, "right", true},
    {"Label1", "Panel1", Kind::label, 448, 112, 0, 0, "sum"},
    {"Label2", "Panel1", Kind::label, 448, 160, 0, 0, "great"},
    {"Label3", "Panel1", Kind::label, 448, 208, 0, 0, "good"},
    {"Label4", "Panel1", Kind::label, 448, 264, 0, 0, "bad"},
    {"Label5", "Panel1", Kind::label, 448, 320, 0, 0, "miss"},
    {"greati", "Panel1", Kind::picture, 0, 160, 337, 105, "great", true, true},
    {"badi", "Panel1", Kind::picture, 8, 200, 337, 105, "bad", true, true},
    {"goodi", "Panel1", Kind::picture, 48, 104, 337, 105, "good", true, true},
    {"missi", "Panel1", Kind::picture, 16, 240, 337, 105, "miss", true, true},
    {"Button1", "Panel1", Kind::button, 432, 576, 75, 25, "&list"},
    {"Button2", "Panel1", Kind::button, 536, 576, 75, 25, "&close"},
    {"Button3", "Panel1", Kind::button, 432, 616, 75, 25, "&start"},
    {"TrackBar1", "Panel1", Kind::positionBar, 400, 416, 257, 25},
    {"Button4", "Panel1", Kind::button, 536, 616, 75, 25, "s&top"},
    {"Edit1", "Panel1", Kind::editBox, 456, 528, 33, 21},
    {"Edit2", "Panel1", Kind::editBox, 512, 528, 33, 21},
    {"Edit3", "Panel1", Kind::editBox, 456, 472, 33, 21},
    {"Edit4", "Panel1", Kind::editBox, 512, 472, 33, 21},
    {"Edit5", "Panel1", Kind::editBox, 448, 336, 121, 21},
    {"Edit6", "Panel1", Kind::editBox, 448, 288, 121, 21},
    {"Edit7", "Panel1", Kind::editBox, 448, 232, 121, 21},
    {"Edit8", "Panel1", Kind::editBox, 448, 176, 121, 21},
    {"Edit9", "Panel1", Kind::editBox, 448, 136, 121, 21},
    {"Panel2", nullptr, Kind::panel, 96, 224, 185, 257},
    {"RadioButton1", "Panel2", Kind::radioButton, 32, 32, 113, 17, "&Dodoroza"},
    {"Label6", "Panel2", Kind::label, 32, 56, 81, 24, "난이도 하"},
    {"RadioButton2", "Panel2", Kind::radioButton, 32, 104, 113, 17, "&Virizivez"},
    {"Label7", "Panel2", Kind::label, 32, 128, 81, 24, "난이도 중"},
};
// clang-format on

}  // namespace zorv::layout
