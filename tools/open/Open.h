#pragma once
// Opening songs with the game: the songs folder for them, found in the cache
// or charted into it.

#include <filesystem>
#include <string_view>
#include <vector>

#include "tools/open/Charts.h"
#include "tools/open/Errors.h"

namespace zorv::opensong {

// The songs folder for `songs` (one or kMostSongs) in the cache folder
// `cache`: the one made before for the same bytes, or one charted now
// (chartSongs) and put in place whole. A second open of the same songs
// meanwhile waits for the first and takes its folder. `salt` is what the
// charts depend on besides the songs (the chart maker's version).
// Throws SongError, CacheError or Cancelled; then nothing is left in the
// cache that was not there before.
std::filesystem::path openSongs(const std::vector<std::filesystem::path>& songs, const std::filesystem::path& cache,
                                std::string_view salt, const CancelCheck& cancelled, const ChartProgress& progress);

}  // namespace zorv::opensong
