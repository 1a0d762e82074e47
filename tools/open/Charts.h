#pragma once
// The songs folder made for songs opened with the game: the panel's two
// slots filled from them. One song fills both with the same music, easy in
// the first slot and hard in the second, so the panel becomes a choice of
// level; two songs take a slot each, both medium.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

#include "tools/chart/make/Placement.h"
#include "tools/open/Errors.h"

namespace zorv::opensong {

inline constexpr std::size_t kMostSongs = 2;

struct SlotSong {
    std::size_t song = 0;  // index into the songs opened
    chartmake::Level level = chartmake::Level::medium;
};

// Slot 1 first; `songCount` is 1 or kMostSongs.
std::vector<SlotSong> slotsFor(std::size_t songCount);

// How far the work is, 0..1, and the song being worked on. Called on the
// calling thread, a few times a second while a song is decoded.
using ChartProgress = std::function<void(double done, const std::filesystem::path& song)>;

// Charts `songs` (one or kMostSongs) into `folder`, which exists and is
// empty: both slot charts, and each song's audio once under a name a chart
// can carry. Throws SongError, chartmake::FileError or Cancelled; the
// folder's contents are then undefined (the caller removes it).
void chartSongs(const std::vector<std::filesystem::path>& songs, const std::filesystem::path& folder,
                const CancelCheck& cancelled, const ChartProgress& progress);

}  // namespace zorv::opensong
