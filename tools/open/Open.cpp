#include "tools/open/Open.h"

#include <cstdint>
#include <system_error>

#include "tools/chart/make/Decode.h"
#include "tools/chart/make/Files.h"
#include "tools/open/SongCache.h"

namespace fs = std::filesystem;

namespace zorv::opensong {
namespace {

// Room the charts need beside the songs' copies, with some to spare.
constexpr std::uintmax_t kChartsBytes = 1 << 20;

// Refuses before minutes of work when the songs' copies cannot fit.
void checkRoom(const std::vector<fs::path>& songs, const fs::path& cache)
{
    std::error_code error;
    std::uintmax_t needed = kChartsBytes;
    for (const fs::path& song : songs)
        needed += fs::file_size(song, error);
    const fs::space_info space = fs::space(cache, error);
    if (!error && space.available < needed)
        throw CacheError("the disk is full: " + cache.string() + " has " + std::to_string(space.available / 1024) +
                         " KB free, the songs need " + std::to_string(needed / 1024) + " KB");
}

fs::path make(const SongCache& cache, const std::string& key, const std::vector<fs::path>& songs,
              const CancelCheck& cancelled, const ChartProgress& progress)
{
    checkRoom(songs, cache.folder());
    const fs::path scratch = cache.scratch(key);
    std::error_code error;
    try {
        chartSongs(songs, scratch, cancelled, progress);
        if (cancelled && cancelled())
            throw Cancelled();  // however late: the player asked for nothing to start
        return cache.commit(key, scratch);
    } catch (const chartmake::FileError& e) {
        fs::remove_all(scratch, error);
        throw CacheError(e.what());
    } catch (...) {
        fs::remove_all(scratch, error);
        throw;
    }
}

}  // namespace

fs::path openSongs(const std::vector<fs::path>& songs, const fs::path& cache, std::string_view salt,
                   const CancelCheck& cancelled, const ChartProgress& progress)
{
    // Every song is tried before anything else, as the game's player would
    // refuse it; the cache is not touched for a song that cannot be played.
    for (const fs::path& song : songs) {
        if (const std::string refusal = chartmake::refusalBeforeDecoding(song.string()); !refusal.empty())
            throw SongError(song, SongError::Kind::unreadable, refusal);
    }
    const std::string key = contentKey(songs, salt, cancelled);
    const SongCache songCache(cache);
    if (fs::path found = songCache.find(key); !found.empty())
        return found;
    KeyLock lock(songCache.folder(), key);
    lock.hold(cancelled);
    // Another open of the same songs may have made it while we waited.
    if (fs::path found = songCache.find(key); !found.empty())
        return found;
    return make(songCache, key, songs, cancelled, progress);
}

}  // namespace zorv::opensong
