#pragma once
// A MediaPlayer for tests: reports whatever length and position the test sets
// and records the calls made to it. No audio, no clock.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/MediaPlayer.h"

namespace zorv::test {

class FakeMediaPlayer final : public MediaPlayer {
public:
    // Set by the test; returned as they are by length() and position().
    std::int32_t lengthMs = 0;
    std::int32_t positionMs = 0;
    // When not empty, open() throws MediaError with this message.
    std::string failOpenWith;

    // What was called, in order: "setFileName:<name>", "open", "play", "stop".
    // open() is recorded even when it throws.
    std::vector<std::string> calls;
    std::string fileName;

    void setFileName(const std::string& name) override
    {
        calls.push_back("setFileName:" + name);
        fileName = name;
    }
    void open() override
    {
        calls.push_back("open");
        if (!failOpenWith.empty())
            throw MediaError(failOpenWith);
    }
    void play() override { calls.push_back("play"); }
    void stop() override { calls.push_back("stop"); }
    std::int32_t length() const override { return lengthMs; }
    std::int32_t position() override { return positionMs; }
};

}  // namespace zorv::test
