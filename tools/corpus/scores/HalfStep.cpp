// HalfStep: hip-hop in C minor at 88 BPM with swung sixteenths (the second
// of each pair at 60%). Electric piano chords, a round bass, boom-bap drums,
// a vibraphone hook, brass stabs in the second half. The swing moves the
// hats and the off-beat chords off the straight grid while the beats stay.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kLoop = "Cm7 Abmaj7 Fm7 G7 Cm7 Abmaj7 Fm7 G7";
constexpr std::string_view kHook =
    "Eb5:1 G5:1 Bb5:2 G5:2 F5:2 | Eb5:2 C5:2 r:4 | C5:1 Eb5:1 F5:2 Ab5:2 G5:2 |"
    " F5:3 D5:1 B4:4 | Eb5:1 G5:1 Bb5:2 G5:2 F5:2 | Eb5:2 G5:2 C6:4 |"
    " Ab5:2 G5:2 F5:2 Eb5:2 | D5:4 B4:2 G4:2 |";

constexpr int kKeysLow = 55;  // G3
constexpr int kBassLow = 31;  // G1
constexpr int kBrassLow = 60;

}  // namespace

Song halfStep()
{
    SongBuilder b("HalfStep", 88, 0x4A1F5739u, Kit::punchy);
    b.swing({.percent = 60, .pairSteps = 2});
    b.looseDrums(3.0f);
    const int keys = b.addPart({.name = "keys",
                                .voice = Voice::ePiano,
                                .gain = 0.6f,
                                .pan = -0.15f,
                                .spread = 0.2f,
                                .reverb = 0.25f,
                                .looseMs = 4.0f});
    const int vibes = b.addPart({.name = "vibes",
                                 .voice = Voice::vibraphone,
                                 .gain = 0.55f,
                                 .pan = 0.25f,
                                 .reverb = 0.3f,
                                 .echo = 0.2f,
                                 .looseMs = 6.0f});
    const int brass = b.addPart({.name = "brass", .voice = Voice::brass, .gain = 0.45f, .pan = 0.1f, .reverb = 0.25f});
    const int bass = b.addPart({.name = "bass", .voice = Voice::roundBass, .gain = 0.9f, .reverb = 0.0f});

    const DrumPattern boomBap = {
        {Drum::kick, "X.....x..x......"}, {Drum::snare, "....X.......X..."}, {Drum::closedHat, "x.xox.xox.xox.xo"}};
    const DrumPattern boomBapB = {{Drum::kick, "X.....x..x....x."},
                                  {Drum::snare, "....X.......X..o"},
                                  {Drum::closedHat, "x.xox.xox.xo..x."},
                                  {Drum::openHat, "............x..."}};
    const DrumPattern hatsOnly = {{Drum::closedHat, "x.xox.xox.xox.xo"}};

    // Keys alone, then the beat.
    auto s = b.section("Cm7 Abmaj7 Fm7 G7");
    b.comp(keys, s, "x.....x...x.....", kKeysLow, 0.45f);

    const auto verse = [&](bool hook, bool stabs) {
        const auto v = b.section(kLoop);
        b.comp(keys, v, "x.....x...x...o.", kKeysLow, 0.55f);
        b.bass(bass, v, "R.....R..R...5..", kBassLow, 0.85f);
        b.drums(v, boomBap, &boomBapB);
        if (hook)
            b.melody(vibes, v, kHook, ChartRule::none, 0.75f);
        if (stabs)
            b.comp(brass, v, "....x.......x.-.", kBrassLow, 0.6f);
    };
    verse(false, false);
    verse(true, false);
    verse(false, false);
    verse(true, true);

    s = b.section("Abmaj7 G7 Abmaj7 G7");
    b.comp(keys, s, "x...............", kKeysLow, 0.45f);
    b.melody(vibes, s, "C6:4 Bb5:4 | B5:8 | C6:4 Eb6:4 | D6:8 |", ChartRule::none, 0.6f);
    b.drums(s, hatsOnly);

    verse(true, true);
    s = b.section("Cm7 Abmaj7 Fm7 G7");
    b.comp(keys, s, "x.....x...x.....", kKeysLow, 0.4f);
    b.bass(bass, s, "R...............", kBassLow, 0.6f);
    b.drums(s, {}, &boomBapB);

    return b.finish({.tailSeconds = 3.0, .drumGain = 0.9f, .reverbDb = -15.0f, .echoDb = -20.0f});
}

}  // namespace zorv::corpus
