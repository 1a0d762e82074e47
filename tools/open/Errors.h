#pragma once
// What can stop a song from opening, for the window to say in plain words
// and for scripts to tell apart by exit status.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace zorv::opensong {

// Polled between steps and inside long ones; true once the player cancelled.
using CancelCheck = std::function<bool()>;

// Thrown wherever a CancelCheck said so.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// A song that cannot be charted: which one and why. The reason is the cause
// only, as the chart maker words it ("it is silent", "no such file").
class SongError : public std::runtime_error {
public:
    enum class Kind {
        unreadable,  // no file, not audio the game's player plays, cannot be read
        noChart,     // audio, but it cannot hold a chart: silent, too short
        internal,    // the chart made does not play as written: our fault
    };
    SongError(std::filesystem::path song, Kind kind, const std::string& reason)
        : std::runtime_error(reason), song_(std::move(song)), kind_(kind)
    {}
    const std::filesystem::path& song() const { return song_; }
    Kind kind() const { return kind_; }

private:
    std::filesystem::path song_;
    Kind kind_;
};

// The data folder cannot hold the charts: cannot be created or written, the
// disk is full. The message names the place and the cause.
class CacheError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace zorv::opensong
