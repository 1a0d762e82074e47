#pragma once
// The corpus the chart maker is measured on: songs of our own synthesiser,
// chosen to cover what a player's music folder holds (slow and fast, swing,
// waltz and 6/8 time, a tempo change, a quiet intro, dense and sparse
// arrangements, a long song) and to be honest work for an onset detector:
// soft attacks, pads, reverb and echoes next to clear hits.

#include "tools/songs/Score.h"

#include <string>
#include <vector>

namespace zorv::corpus {

struct Piece {
    std::string name;  // file name without extension; a plain audio name
    songs::Song song;
    int plays = 1;  // the audio is the song played this many times back to back
};

// Every song once, then the ten-minute case for the memory figure: the
// longest song played twice.
std::vector<Piece> corpus();

// The scores, one per file in scores/.
songs::Song amberlight();     // ballad, 76 BPM, quiet piano intro
songs::Song copperSwing();    // jazz swing, 138 BPM, triplet feel
songs::Song hollowHarbour();  // 6/8 folk, 72 dotted quarters a minute
songs::Song glassWaltz();     // 3/4 waltz, 152 BPM
songs::Song neonRush();       // dense breakbeat, 180 BPM
songs::Song turningTide();    // 92 BPM, then 124 BPM, slowing at the end
songs::Song longRoad();       // 112 BPM, five and a half minutes
songs::Song stillWater();     // sparse ambient, 70 BPM
songs::Song halfStep();       // hip-hop, 88 BPM, swung sixteenths

}  // namespace zorv::corpus
