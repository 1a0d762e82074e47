#pragma once
// The media player the game needs: open a file by name, play it from the
// start, stop, and report length and position in milliseconds.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zorv {

// Raised by open() and play(); the message names the file and the reason.
class MediaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    virtual void setFileName(const std::string& name) = 0;
    // Synchronous. Closes any file open before. Throws MediaError for an empty
    // name, a missing file, a file that does not decode as audio, or no usable
    // audio device; the player then has no file open.
    virtual void open() = 0;
    // Plays the open file from its beginning. Throws MediaError with no file open.
    virtual void play() = 0;
    // Halts playback; the position stays where it stopped. Harmless when idle.
    virtual void stop() = 0;
    // Length of the open file in ms, 0 with none open.
    virtual std::int32_t length() const = 0;
    // What the listener hears now, in ms: 0..length(), never running backwards
    // while playing; length() after the end; 0 with no file open. Never throws.
    virtual std::int32_t position() = 0;
};

}  // namespace zorv
