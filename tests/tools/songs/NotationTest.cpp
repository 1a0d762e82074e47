#include "tools/songs/Notation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace zorv::songs {
namespace {

TEST(SongNotation, NoteNamesGiveMidiNumbers)
{
    const struct {
        const char* name;
        int midi;
    } cases[] = {{"C4", 60}, {"A4", 69}, {"Bb3", 58}, {"F#5", 78}, {"G#4", 68}, {"Cb4", 59}, {"B#3", 60}, {"C0", 12}};
    for (const auto& c : cases)
        EXPECT_EQ(pitchFromName(c.name), c.midi) << c.name;
}

TEST(SongNotation, RejectsWhatIsNotANote)
{
    for (const char* bad : {"", "H4", "c4", "C", "C10", "Cx4", "C#", "r"}) {
        EXPECT_THROW(pitchFromName(bad), std::runtime_error) << bad;
    }
}

TEST(SongNotation, MelodyPlacesNotesAndMarks)
{
    const auto notes = parseMelody("C5:2 r:1 A4:5! | F5:3~ E5:1 G4:4 |", 2);
    ASSERT_EQ(notes.size(), 5u);
    const struct {
        int step, length, pitch;
        CueMark mark;
    } expected[] = {
        {0, 4, 72, CueMark::bySection},  {6, 10, 69, CueMark::always},    {16, 6, 77, CueMark::never},
        {22, 2, 76, CueMark::bySection}, {24, 8, 67, CueMark::bySection},
    };
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].step, expected[i].step) << i;
        EXPECT_EQ(notes[i].length, expected[i].length) << i;
        EXPECT_EQ(notes[i].pitch, expected[i].pitch) << i;
        EXPECT_EQ(notes[i].mark, expected[i].mark) << i;
    }
}

// A miscounted bar would shift every later arrow off its note.
TEST(SongNotation, MelodyRejectsMiscountedBars)
{
    const struct {
        const char* text;
        int bars;
    } cases[] = {
        {"C5:2 A4:1 | F5:5 |", 2},  // bar line in mid-bar
        {"C5:8 | F5:4 |", 2},       // line too short
        {"C5:8 | F5:10", 2},        // line too long
        {"C5:0 r:8", 1},            // empty note
        {"C5 r:8", 1},              // no length
        {"r:4! C5:4", 1},           // charted rest
        {"C5:x r:7", 1},
    };
    for (const auto& c : cases)
        EXPECT_THROW(parseMelody(c.text, c.bars), std::runtime_error) << c.text;
}

TEST(SongNotation, ChordSymbols)
{
    const struct {
        const char* symbol;
        int root, bass;
        std::vector<int> intervals;
    } cases[] = {
        {"F", 5, 5, {0, 4, 7}},      {"Dm", 2, 2, {0, 3, 7}},
        {"C7", 0, 0, {0, 4, 7, 10}}, {"Bbmaj7", 10, 10, {0, 4, 7, 11}},
        {"F/A", 5, 9, {0, 4, 7}},    {"G#dim", 8, 8, {0, 3, 6}},
        {"Dsus4", 2, 2, {0, 5, 7}},  {"Am7/G", 9, 7, {0, 3, 7, 10}},
    };
    for (const auto& c : cases) {
        const auto chord = parseChord(c.symbol);
        EXPECT_EQ(chord.root, c.root) << c.symbol;
        EXPECT_EQ(chord.bass, c.bass) << c.symbol;
        EXPECT_EQ(chord.intervals, c.intervals) << c.symbol;
    }
    for (const char* bad : {"", "Fq", "F/", "F/H", "X"})
        EXPECT_THROW(parseChord(bad), std::runtime_error) << bad;
}

TEST(SongNotation, ChordBarsShareBarsEvenly)
{
    const auto spans = parseChordBars("F Gm-C Dm-Bb-C-C");
    const std::vector<std::pair<int, int>> expected = {{0, 16}, {16, 8}, {24, 8}, {32, 4}, {36, 4}, {40, 4}, {44, 4}};
    ASSERT_EQ(spans.size(), expected.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].step, expected[i].first) << i;
        EXPECT_EQ(spans[i].length, expected[i].second) << i;
    }
    EXPECT_EQ(spans[2].chord.root, 0);
    EXPECT_THROW(parseChordBars("F-G-A"), std::runtime_error);
}

}  // namespace
}  // namespace zorv::songs
