// TurningTide: D major, 92 BPM in a half-time feel for the first 20 bars,
// then 124 BPM from the second verse on; the last four bars slow down bar
// by bar (116, 106, 96, 84) to the final chord. Organ chords (no decay, only
// a key click to find them by), piano and brass leads, strings, rock drums.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kVerseChords = "D A/C# Bm G D A G A";
constexpr std::string_view kChorusChords = "G A F#m Bm G A D D";
constexpr std::string_view kBridgeChords = "Em F#m G A Em F#m G A";

constexpr std::string_view kVerse =
    "F#5:2 E5:1 D5:1 E5:2 F#5:2 | E5:3 C#5:1 A4:4 | D5:2 F#5:2 B5:2 A5:2 | G5:4 r:2 F#5:1 E5:1 |"
    " F#5:2 E5:1 D5:1 E5:2 F#5:2 | A5:3 G5:1 E5:4 | D5:2 E5:2 G5:2 B5:2 | A5:6 r:2 |";
constexpr std::string_view kChorus =
    "B5:3 A5:1 G5:2 D5:2 | C#5:2 E5:2 A5:4 | A5:3 G5:1 F#5:2 C#5:2 | D5:2 F#5:2 B5:4 |"
    " B5:3 A5:1 G5:2 B5:2 | C#6:3 B5:1 A5:2 E5:2 | F#5:8 | r:4 A4:2 D5:2 |";
constexpr std::string_view kBridge =
    "G5:4 F#5:4 | A5:4 C#5:4 | B5:2 A5:2 G5:2 F#5:2 | E5:8 |"
    " G5:4 F#5:4 | A5:4 C#6:4 | D6:2 C#6:2 B5:2 A5:2 | A5:8 |";

constexpr int kOrganLow = 55;    // G3
constexpr int kPianoLow = 50;    // D3
constexpr int kStringsLow = 57;  // A3
constexpr int kBassLow = 31;     // G1

}  // namespace

Song turningTide()
{
    SongBuilder b("TurningTide", 92, 0x7ADE0C4Bu, Kit::punchy);
    const int piano = b.addPart(
        {.name = "piano", .voice = Voice::piano, .gain = 0.75f, .pan = -0.1f, .reverb = 0.25f, .looseMs = 4.0f});
    const int brass =
        b.addPart({.name = "brass", .voice = Voice::brass, .gain = 0.65f, .pan = 0.15f, .reverb = 0.25f, .echo = 0.1f});
    const int organ = b.addPart(
        {.name = "organ", .voice = Voice::organ, .gain = 0.35f, .pan = -0.2f, .spread = 0.2f, .reverb = 0.2f});
    const int keys =
        b.addPart({.name = "keys", .voice = Voice::piano, .gain = 0.4f, .pan = 0.25f, .spread = 0.2f, .reverb = 0.25f});
    const int strings = b.addPart(
        {.name = "strings", .voice = Voice::strings, .gain = 0.35f, .reverb = 0.45f, .doubled = true, .ducked = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::synthBass, .gain = 0.8f, .reverb = 0.0f});

    const DrumPattern halfTime = {
        {Drum::kick, "X.........x....."}, {Drum::snare, "........X......."}, {Drum::closedHat, "x.x.x.x.x.x.x.x."}};
    const DrumPattern halfFill = {
        {Drum::kick, "X.........x....."}, {Drum::snare, "........X...x.xx"}, {Drum::closedHat, "x.x.x.x.x......."}};
    const DrumPattern rock = {{Drum::kick, "X.....x.X......."},
                              {Drum::snare, "....X.......X..."},
                              {Drum::closedHat, "x.x.x.x.x.x.x.x."},
                              {Drum::openHat, "..............x."}};
    const DrumPattern rockFill = {{Drum::kick, "X.....x.X......."},
                                  {Drum::snare, "....X.....x.x.x."},
                                  {Drum::tomHigh, "............x..."},
                                  {Drum::tomLow, "..............xx"}};

    // Organ and piano.
    auto s = b.section("D A/C# G A");
    b.comp(organ, s, "x...............", kOrganLow, 0.6f);
    b.arp(keys, s, "0.1.2.1.0.1.2.1.", kPianoLow, 0.5f);

    const auto verse = [&](const DrumPattern& groove, const DrumPattern& fill) {
        const auto v = b.section(kVerseChords);
        b.melody(piano, v, kVerse, ChartRule::none, 0.75f);
        b.comp(organ, v, "x.......x.......", kOrganLow, 0.6f);
        b.bass(bass, v, "R.....R.R.....5.", kBassLow, 0.8f);
        b.drums(v, groove, &fill);
    };
    const auto chorus = [&](const DrumPattern& groove, const DrumPattern& fill) {
        const auto v = b.section(kChorusChords);
        b.melody(brass, v, kChorus, ChartRule::none, 0.85f);
        b.melody(piano, v, kChorus, ChartRule::none, 0.5f);
        b.comp(strings, v, "x.......", kStringsLow, 0.5f);
        b.comp(organ, v, "x...x...x...x...", kOrganLow, 0.55f);
        b.bass(bass, v, "R.R.R.R.R.R.R.R.", kBassLow, 0.85f);
        b.drums(v, groove, &fill);
        b.hit(v.step, Drum::crash, 0.7f);
    };

    verse(halfTime, halfFill);
    chorus(halfTime, halfFill);

    b.tempo(124);
    verse(rock, rockFill);
    chorus(rock, rockFill);
    s = b.section(kBridgeChords);
    b.melody(brass, s, kBridge, ChartRule::none, 0.8f);
    b.arp(keys, s, "0.1.2.3.0.1.2.3.", kPianoLow, 0.5f);
    b.comp(strings, s, "x.......", kStringsLow, 0.45f);
    b.bass(bass, s, "R.......R.......", kBassLow, 0.75f);
    b.drums(s, halfTime, &rockFill);
    verse(rock, rockFill);
    chorus(rock, rockFill);

    // Slowing to the end, a bar at a time.
    const std::string_view last[] = {"G", "A", "D", "D"};
    const int tempos[] = {116, 106, 96, 84};
    for (int i = 0; i < 4; ++i) {
        b.tempo(tempos[i]);
        s = b.section(last[i]);
        b.comp(organ, s, "x.......", kOrganLow, 0.55f);
        b.comp(strings, s, "x.......", kStringsLow, 0.45f);
        b.bass(bass, s, "R.......", kBassLow, 0.7f);
        if (i < 3) {
            b.arp(keys, s, "0.1.2.3.", kPianoLow, 0.5f);
            b.hit(s.step, Drum::kick, 0.7f);
            b.hit(s.step + 8, Drum::snare, 0.6f);
        } else {
            b.hit(s.step, Drum::crash, 0.7f);
            b.hit(s.step, Drum::kick, 0.9f);
        }
    }

    return b.finish({.tailSeconds = 5.0, .drumGain = 0.8f, .duckDepth = 0.2f, .reverbDb = -14.0f, .echoDb = -22.0f});
}

}  // namespace zorv::corpus
