#pragma once
// The charts made for songs opened from the desktop, kept so that opening
// the same song again starts at once. One folder per song, or pair of songs,
// named by a key of their bytes, so a renamed song is found again and a
// changed one is charted anew. A folder is complete whenever it exists under
// its key's name: it is made under a scratch name beside it and renamed into
// place. The kKeptFolders used last are kept, the oldest removed first.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/open/Errors.h"

namespace zorv::opensong {

inline constexpr std::size_t kKeptFolders = 50;

// Where the folders go: $XDG_DATA_HOME/zorv/songs, or
// $HOME/.local/share/zorv/songs when XDG_DATA_HOME is unset, empty or not
// absolute (the XDG base directory rules ignore a relative one). Empty when
// there is no home either. Either argument may be null.
std::filesystem::path cacheFolderFor(const char* xdgDataHome, const char* home);

// The key of the folder for `songs`, in order: 32 hex digits of a SHA-256
// over each song's bytes and `salt` (whatever else the charts depend on).
// Throws SongError (unreadable) naming the song that cannot be read, or
// Cancelled.
std::string contentKey(const std::vector<std::filesystem::path>& songs, std::string_view salt,
                       const CancelCheck& cancelled);

// Holds a key against other processes while its folder is made: an flock on
// ".<key>.lock" in the cache folder. The holder removes that file when it
// lets go, so none pile up; whoever then holds a lock on a file no longer
// under that name tries again.
class KeyLock {
public:
    KeyLock(const std::filesystem::path& cache, std::string_view key);
    ~KeyLock();
    KeyLock(const KeyLock&) = delete;
    KeyLock& operator=(const KeyLock&) = delete;

    // One attempt; true when held. Throws CacheError when the lock file
    // cannot be made.
    bool tryHold();
    // Waits for it, polling `cancelled` every 50 ms (Cancelled).
    void hold(const CancelCheck& cancelled);

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

class SongCache {
public:
    // Creates `folder` if need be; throws CacheError when it cannot.
    explicit SongCache(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return folder_; }
    // The complete folder of `key`, touched as used now; empty when there is
    // none.
    std::filesystem::path find(std::string_view key) const;
    // A new empty scratch folder for `key`. Removes the scratch folders of
    // `key` left by runs that ended before finishing: the caller holds the
    // key's lock, so no other run is filling one.
    std::filesystem::path scratch(std::string_view key) const;
    // Renames `scratch` into place as `key`'s folder (or drops it when the
    // folder is there already), touches it, and removes the folders beyond
    // the kKeptFolders used last, with scratch folders and lock files that
    // nobody holds. Returns the folder. Throws CacheError.
    std::filesystem::path commit(std::string_view key, const std::filesystem::path& scratch) const;

private:
    void removeScratch(std::string_view key) const;
    void prune(std::string_view keep) const;

    std::filesystem::path folder_;
};

}  // namespace zorv::opensong
