#pragma once
// A Standard MIDI File reader for the charts people wrote for real
// recordings: the tempo map (ticks per quarter, set-tempo events), the time
// signatures and the notes, with each tick turned into ms from the start of
// the song. Formats 0 and 1; the tempo events of every track make one map,
// as players of format 1 files read them. SMPTE time division is refused.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::corpus {

// The bytes are no Standard MIDI File, are cut short, or use what we do not
// read (SMPTE division). The message names the cause.
class MidiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct MidiNote {
    int track = 0;
    int channel = 0;  // 0..15
    int key = 0;      // 0..127
    std::int64_t tick = 0;
    std::int64_t endTick = 0;  // its note-off (note-on with velocity 0 counts); the track's end without one
};

struct MidiTempo {
    std::int64_t tick = 0;
    std::int32_t microsPerQuarter = 500'000;
};

struct MidiMeter {
    std::int64_t tick = 0;
    int numerator = 4;
    int denominator = 4;  // the note value of a beat: 4 a quarter, 8 an eighth
};

struct MidiFile {
    int ticksPerQuarter = 0;
    std::vector<MidiTempo> tempos;    // ascending by tick, the first at tick 0 (120 BPM when the file sets none)
    std::vector<MidiMeter> meters;    // ascending by tick; empty when the file has none
    std::vector<MidiNote> notes;      // ascending by tick, then track, then key
    std::vector<std::string> tracks;  // each track's name ("" when unnamed), by track number
    std::int64_t endTick = 0;         // the latest end of a track

    // Ms from tick 0 to `tick` (>= 0) through the tempo map.
    double msAt(std::int64_t tick) const;
    // The tempo in force at `tick`, in quarter notes per minute.
    double bpmAt(std::int64_t tick) const;
};

MidiFile parseMidi(std::string_view bytes);

}  // namespace zorv::corpus
