#pragma once
// The game's songs, each a score written in code.

#include "tools/songs/Score.h"

#include <vector>

namespace zorv::songs {

Song dodoroza();   // easy: 104 BPM, F major, arrows on beats
Song virizivez();  // medium: 126 BPM, A minor, arrows on eighths

std::vector<Song> allSongs();

}  // namespace zorv::songs
