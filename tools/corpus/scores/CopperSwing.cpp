// CopperSwing: a blues in Bb at 138 BPM with a triplet swing (the off-beat
// eighth at 66% of the beat). Walking bass, ride cymbal and brushes, piano
// comping on the Charleston rhythm, the head and two choruses on vibes, a
// piano chorus. Everybody plays a little loose, as players do.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kBlues = "Bb7 Eb7 Bb7 Bb7 Eb7 Eb7 Bb7 G7 Cm7 F7 Bb7-G7 Cm7-F7";

constexpr std::string_view kHead =
    "F5:2 D5:1 F5:1 G5:2 F5:2 | Db5:2 Eb5:1 G5:3 F5:2 | D5:1 F5:1 Bb5:2 Ab5:2 F5:2 | D5:6 r:2 |"
    " G5:2 Eb5:1 G5:1 Bb5:2 G5:2 | Gb5:3 F5:1 Eb5:4 | D5:1 F5:1 Bb5:2 D6:2 Bb5:2 | B5:4 G5:2 r:2 |"
    " C6:2 Bb5:1 G5:1 Eb5:2 C5:2 | A5:2 F5:1 Eb5:1 C5:4 | D5:2 F5:2 B4:2 D5:2 | C5:2 Eb5:2 F5:2 A4:2 |";
constexpr std::string_view kSolo1 =
    "F5:1 G5:1 Ab5:1 A5:1 Bb5:2 F5:2 | G5:1 F5:1 Eb5:1 Db5:1 C5:2 Bb4:2 | D5:1 F5:1 A5:1 C6:1 Bb5:2 r:2 |"
    " r:2 F5:1 G5:1 Ab5:2 A5:2 | Bb5:1 G5:1 Eb5:1 Db5:1 Bb4:2 G4:2 | Ab4:1 Bb4:1 Db5:1 Eb5:1 G5:4 |"
    " F5:1 D5:1 Bb4:1 D5:1 F5:2 Ab5:2 | G5:2 B5:1 D6:1 F6:2 D6:2 | Eb6:1 D6:1 C6:1 Bb5:1 G5:2 Eb5:2 |"
    " F5:1 A5:1 C6:1 Eb6:1 D6:2 C6:2 | Bb5:2 F5:2 B5:2 G5:2 | C6:2 G5:2 A5:2 F5:2 |";
constexpr std::string_view kSolo2 =
    "Bb5:3 A5:1 Ab5:2 F5:2 | G5:3 Eb5:1 Db5:4 | D5:2 F5:2 Bb5:2 D6:2 | C6:6 r:2 |"
    " Bb5:2 G5:1 Eb5:1 Bb4:4 | Db5:2 Eb5:2 E5:2 F5:2 | F5:2 D5:2 Bb4:2 F5:2 | G5:3 B5:1 D6:4 |"
    " Eb6:2 C6:2 G5:2 Eb5:2 | F5:2 A5:2 C6:2 Eb6:2 | D6:2 Bb5:2 B5:2 G5:2 | C6:4 A5:4 |";

constexpr int kPianoLow = 53;  // F3
constexpr int kBassLow = 31;   // G1

}  // namespace

Song copperSwing()
{
    SongBuilder b("CopperSwing", 138, 0xC0BB3255u, Kit::soft);
    b.swing({.percent = 66, .pairSteps = 4});
    b.looseDrums(4.0f);
    const int vibes = b.addPart(
        {.name = "vibes", .voice = Voice::vibraphone, .gain = 0.7f, .pan = 0.2f, .reverb = 0.3f, .looseMs = 8.0f});
    const int pianoLead = b.addPart(
        {.name = "piano-solo", .voice = Voice::piano, .gain = 0.6f, .pan = -0.1f, .reverb = 0.25f, .looseMs = 7.0f});
    const int comp = b.addPart({.name = "piano",
                                .voice = Voice::piano,
                                .gain = 0.45f,
                                .pan = -0.2f,
                                .spread = 0.2f,
                                .reverb = 0.25f,
                                .looseMs = 6.0f});
    const int bass = b.addPart(
        {.name = "bass", .voice = Voice::uprightBass, .gain = 0.9f, .pan = 0.05f, .reverb = 0.08f, .looseMs = 5.0f});

    // Two bars of time, the brushes answering in different places.
    const DrumPattern groove = {{Drum::ride, "x...x.x.x...x.x.x...x.x.x...x.x."},
                                {Drum::closedHat, "....o.......o.......o.......o..."},
                                {Drum::kick, "o...o...o...o...o...o...o...o..."},
                                {Drum::brush, "..........o...........o.......o."}};
    const DrumPattern turnaround = {{Drum::ride, "x...x.x.x...x..."},
                                    {Drum::closedHat, "....o.......o..."},
                                    {Drum::kick, "o...o...o...x..."},
                                    {Drum::snare, "..........o...x."}};
    // Piano and bass set it up.
    auto s = b.section("Bb7 G7 Cm7 F7");
    b.comp(comp, s, "x.....x.........", kPianoLow, 0.55f);
    b.bass(bass, s, "R...3...5...L...", kBassLow, 0.75f);
    b.drums(s, {{Drum::ride, "x...x.x.x...x.x."}});

    const auto chorus = [&](int lead, std::string_view tune, std::string_view compPattern) {
        const auto v = b.section(kBlues);
        b.melody(lead, v, tune, ChartRule::none, 0.8f);
        b.comp(comp, v, compPattern, kPianoLow, 0.5f);
        b.bass(bass, v, "R...3...5...L...", kBassLow, 0.8f);
        b.drums(v, groove, &turnaround);
    };
    chorus(vibes, kHead, "x.....x.........");
    chorus(vibes, kHead, "x.....x.........");
    chorus(vibes, kSolo1, "......x.....x...");
    chorus(vibes, kSolo2, "x.........x.....");
    chorus(pianoLead, kSolo1, "x...............");
    chorus(vibes, kHead, "x.....x.........");

    // Tag: the last four bars again, then the final chord.
    s = b.section("Cm7 F7 Bb7 Bb7");
    b.melody(vibes, s, "C6:2 Bb5:1 G5:1 Eb5:2 C5:2 | A5:2 F5:1 Eb5:1 C5:4 | Bb4:8 | r:8 |", ChartRule::none, 0.75f);
    b.comp(comp, s, "x.....x.........", kPianoLow, 0.5f);
    b.bass(bass, s, "R...3...5...L...", kBassLow, 0.75f);
    b.drums(s, groove);
    b.hit(s.step + 2 * kStepsPerBar, Drum::crash, 0.5f);

    return b.finish({.tailSeconds = 4.0, .drumGain = 0.85f, .reverbDb = -15.0f, .echoDb = -30.0f});
}

}  // namespace zorv::corpus
