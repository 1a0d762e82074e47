#include "Midi.h"
#include "PersonCharts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zorv::corpus {
namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (const int v : values)
        out += static_cast<char>(v);
    return out;
}

std::string big(std::uint32_t value, int count)
{
    std::string out;
    for (int i = count - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
}

// A format 1 file at 96 ticks per quarter with the given track bodies, each
// closed by an end-of-track event.
std::string smf(std::initializer_list<std::string> tracks, int division = 96)
{
    std::string out = "MThd" + big(6, 4) + big(1, 2) + big(static_cast<std::uint32_t>(tracks.size()), 2) +
                      big(static_cast<std::uint32_t>(division), 2);
    for (const auto& body : tracks) {
        const std::string closed = body + bytes({0x00, 0xff, 0x2f, 0x00});
        out += "MTrk" + big(static_cast<std::uint32_t>(closed.size()), 4) + closed;
    }
    return out;
}

// Tempo track: 120 BPM, then 240 BPM from tick 192; 3/4 from the start.
const std::string kTempoTrack = bytes({0x00, 0xff, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08,  //
                                       0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20,        //
                                       0x81, 0x40, 0xff, 0x51, 0x03, 0x03, 0xd0, 0x90});

struct Expected {
    int key;
    std::int64_t tick, endTick;
};

// Each way a note-on, a note-off and the tempo can be written.
TEST(MidiReader, ReadsNotesAndTheTempoMapAsWritten)
{
    const struct {
        const char* what;
        std::string track;
        std::vector<Expected> notes;
    } cases[] = {
        {"note-on then note-off", bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}), {{60, 0, 96}}},
        {"velocity 0 ends a note", bytes({0x00, 0x90, 72, 100, 0x30, 0x90, 72, 0}), {{72, 0, 48}}},
        {"running status carries note-ons and offs",
         bytes({0x00, 0x90, 60, 100, 0x00, 62, 90, 0x60, 60, 0, 0x00, 62, 0}),
         {{60, 0, 96}, {62, 0, 96}}},
        {"a meta event between keeps the running status",
         bytes({0x00, 0x90, 84, 1, 0x10, 0xff, 0x01, 0x01, 'x', 0x10, 84, 0}),
         {{84, 0, 32}}},
        {"a two-byte delta and an unended note",
         bytes({0x81, 0x00, 0x90, 96, 100, 0x81, 0x00, 0xc0, 5}),
         {{96, 128, 256}}},
    };
    for (const auto& c : cases) {
        const MidiFile midi = parseMidi(smf({kTempoTrack, c.track}));
        ASSERT_EQ(midi.notes.size(), c.notes.size()) << c.what;
        for (std::size_t i = 0; i < c.notes.size(); ++i) {
            EXPECT_EQ(midi.notes[i].key, c.notes[i].key) << c.what;
            EXPECT_EQ(midi.notes[i].tick, c.notes[i].tick) << c.what;
            EXPECT_EQ(midi.notes[i].endTick, c.notes[i].endTick) << c.what;
        }
        // 192 ticks at 120 BPM, then 250 ms a quarter.
        EXPECT_DOUBLE_EQ(midi.msAt(96), 500) << c.what;
        EXPECT_DOUBLE_EQ(midi.msAt(192), 1000) << c.what;
        EXPECT_DOUBLE_EQ(midi.msAt(288), 1250) << c.what;
        EXPECT_DOUBLE_EQ(midi.bpmAt(300), 240) << c.what;
        ASSERT_EQ(midi.meters.size(), 1u) << c.what;
        EXPECT_EQ(midi.meters[0].numerator, 3) << c.what;
    }
}

TEST(MidiReader, RefusesWhatItCannotRead)
{
    const std::string good = smf({kTempoTrack});
    const struct {
        const char* what;
        std::string file;
    } cases[] = {
        {"no header", "RIFF" + good.substr(4)},
        {"cut inside a track", good.substr(0, good.size() - 3)},
        {"SMPTE division", smf({kTempoTrack}, 0xe728)},
        {"a five-byte delta", smf({bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})})},
        {"data with no status", smf({bytes({0x00, 60, 1})})},
        {"a length past the end", smf({bytes({0x00, 0xff, 0x01, 0x7f, 'x'})})},
    };
    for (const auto& c : cases)
        EXPECT_THROW(parseMidi(c.file), MidiError) << c.what;
}

// The levels by key, a chord as one time, the grid through the tempo change
// and the bars of 3/4.
TEST(PersonCharts, SplitsTheLevelsAndLaysTheGridOnTheTempoMap)
{
    const std::string notes = bytes({0x00, 0x90, 60, 100, 0x00, 61,   100,  0x00, 74,  100,  // chord on easy, medium
                                     0x60, 0x90, 76, 100, 0x81, 0x40, 0x90, 100,  100, 0x60, 0x90, 65, 100});
    const PersonCharts person = personCharts(parseMidi(smf({kTempoTrack, notes})));
    EXPECT_EQ(person.levels[0], (std::vector<double>{0}));
    EXPECT_EQ(person.levels[1], (std::vector<double>{0, 500}));
    EXPECT_TRUE(person.levels[2].empty());
    EXPECT_EQ(person.levels[3], (std::vector<double>{1250}));  // key 65 is no button
    EXPECT_EQ(person.hardest(), 3);
    EXPECT_EQ(person.quarters, (std::vector<double>{0, 500, 1000, 1250, 1500}));
    EXPECT_EQ(person.eighths, (std::vector<double>{0, 250, 500, 750, 1000, 1125, 1250, 1375, 1500}));
    EXPECT_EQ(person.bars, (std::vector<double>{0, 1250}));
    EXPECT_DOUBLE_EQ(person.tempoBpm, 120);  // 1000 ms at 120 against 250 at 240
}

}  // namespace
}  // namespace zorv::corpus
