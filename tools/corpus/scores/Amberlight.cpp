// Amberlight: a ballad in Bb major at 76 BPM. Eight bars of solo piano,
// played softly, open it (25 s); then a flute sings the tune over piano,
// strings, bass and brushes. The flute breathes in over 30 ms and the
// strings over 180 ms, so the clean attacks are the piano's and the bass's.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kVerseChords = "Bb F/A Gm Eb Bb F/A Eb F";
constexpr std::string_view kChorusChords = "Eb F Dm Gm Eb F Bb Bb";

constexpr std::string_view kVerse =
    "D5:3 C5:1 Bb4:2 C5:2 | D5:4 F5:2 D5:2 | C5:3 Bb4:1 G4:4 | Bb4:2 C5:2 Eb5:4 |"
    " D5:3 C5:1 Bb4:2 C5:2 | D5:4 F5:2 G5:2 | F5:3 Eb5:1 C5:2 D5:2 | C5:8 |";
constexpr std::string_view kChorus =
    "G5:3 F5:1 Eb5:2 Bb4:2 | A4:2 C5:2 F5:4 | F5:3 Eb5:1 D5:2 A4:2 | Bb4:2 D5:2 G5:4 |"
    " G5:3 F5:1 Eb5:2 G5:2 | A5:4 C6:2 A5:2 | Bb5:6 F5:2 | D5:8 |";

constexpr int kPianoLow = 46;    // Bb2
constexpr int kStringsLow = 53;  // F3
constexpr int kBassLow = 31;     // G1

}  // namespace

Song amberlight()
{
    SongBuilder b("Amberlight", 76, 0xA3B1E417u, Kit::soft);
    b.looseDrums(3.0f);
    const int flute = b.addPart(
        {.name = "flute", .voice = Voice::flute, .gain = 0.9f, .reverb = 0.35f, .echo = 0.12f, .looseMs = 8.0f});
    const int piano = b.addPart({.name = "piano",
                                 .voice = Voice::piano,
                                 .gain = 0.7f,
                                 .pan = -0.1f,
                                 .spread = 0.3f,
                                 .reverb = 0.35f,
                                 .looseMs = 5.0f});
    const int high = b.addPart(
        {.name = "piano-tune", .voice = Voice::piano, .gain = 0.45f, .pan = 0.1f, .reverb = 0.35f, .looseMs = 5.0f});
    const int strings = b.addPart(
        {.name = "strings", .voice = Voice::strings, .gain = 0.35f, .pan = 0.2f, .reverb = 0.5f, .doubled = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::roundBass, .gain = 0.8f, .reverb = 0.05f});

    const DrumPattern brushes = {
        {Drum::kick, "x.......o......."}, {Drum::brush, "....x.......x..."}, {Drum::closedHat, "o.o.o.o.o.o.o.o."}};
    const DrumPattern ride = {
        {Drum::kick, "x.......o.x....."}, {Drum::brush, "....x.......x..."}, {Drum::ride, "x...x.x.x...x.x."}};
    const DrumPattern fill = {
        {Drum::kick, "x.......o......."}, {Drum::brush, "....x.......x.xx"}, {Drum::tomLow, "..........x....."}};

    // Piano alone, softly, the tune in its right hand.
    auto s = b.section(kVerseChords);
    b.arp(piano, s, "0.1.2.3.4.3.2.1.", kPianoLow, 0.3f);
    b.melody(high, s, kVerse, ChartRule::none, 0.35f);

    const auto verse = [&](float level) {
        const auto v = b.section(kVerseChords);
        b.melody(flute, v, kVerse, ChartRule::none, 0.75f * level);
        b.arp(piano, v, "0.1.2.1.3.1.2.1.", kPianoLow, 0.45f * level);
        b.comp(strings, v, "x.......", kStringsLow, 0.35f * level);
        b.bass(bass, v, "R.......5.......", kBassLow, 0.7f * level);
        b.drums(v, brushes, &fill);
    };
    const auto chorus = [&](float level) {
        const auto v = b.section(kChorusChords);
        b.melody(flute, v, kChorus, ChartRule::none, 0.85f * level);
        b.melody(high, v, kChorus, ChartRule::none, 0.45f * level);
        b.arp(piano, v, "0.2.1.2.3.2.1.2.", kPianoLow, 0.5f * level);
        b.comp(strings, v, "x...x...", kStringsLow, 0.45f * level);
        b.bass(bass, v, "R...R...5...R...", kBassLow, 0.8f * level);
        b.drums(v, ride, &fill);
        b.hit(v.step, Drum::crash, 0.5f);
    };

    verse(0.9f);
    chorus(0.9f);
    s = b.section("Gm Eb Bb F");
    b.arp(piano, s, "0.1.2.3.4.3.2.1.", kPianoLow, 0.45f);
    b.comp(strings, s, "x.......", kStringsLow, 0.4f);
    b.bass(bass, s, "R...............", kBassLow, 0.6f);
    verse(1.0f);
    chorus(1.0f);

    s = b.section("Eb F Bb Bb");
    b.arp(piano, s, "0.1.2.3.4.3.2.1.", kPianoLow, 0.35f);
    b.melody(flute, s, "G5:3 F5:1 Eb5:2 C5:2 | D5:4 C5:4 | Bb4:8 | r:8 |", ChartRule::none, 0.6f);
    b.comp(strings, s, "x.......", kStringsLow, 0.35f);
    b.bass(bass, s, "R...............", kBassLow, 0.55f);

    return b.finish({.tailSeconds = 5.0, .drumGain = 0.8f, .reverbDb = -11.0f, .echoDb = -20.0f});
}

}  // namespace zorv::corpus
