// GlassWaltz: a quick waltz in G major, 3/4 at 152 BPM (a bar every 1.18 s).
// Bass on one, piano chords on two and three, the tune on flute, then on
// strings in the middle section; a marimba answers, a light kick, rim and
// shaker keep time. The downbeat is the bass's, the other beats the piano's.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kAChords = "G G D7 D7 D7 D7 G G G G7 C C G D7 D7 G";
constexpr std::string_view kA =
    "B4:2 D5:2 G5:2 | G5:4 F#5:2 | E5:2 F#5:2 A5:2 | A5:6 | A5:2 C6:2 B5:2 | A5:4 F#5:2 | D5:2 E5:2 F#5:2 |"
    " G5:4 D5:2 | B4:2 D5:2 G5:2 | B5:4 A5:2 | C5:2 E5:2 G5:2 | C6:6 | D5:2 G5:2 B5:2 | A5:2 F#5:2 D5:2 |"
    " A5:4 F#5:2 | G5:6 |";
constexpr std::string_view kBChords = "Em Em B7 B7 B7 B7 Em Em Am Am Em Em B7 B7 Em D7";
constexpr std::string_view kB =
    "B5:2 G5:2 E5:2 | B5:4 A5:2 | F#5:2 A5:2 D#5:2 | F#5:6 | A5:2 F#5:2 D#5:2 | B4:4 D#5:2 | F#5:2 G5:2 A5:2 |"
    " G5:6 | C6:2 A5:2 E5:2 | C6:4 B5:2 | B5:2 G5:2 E5:2 | G5:4 F#5:2 | F#5:2 D#5:2 B4:2 | A5:4 G5:2 | E5:6 |"
    " F#5:2 A5:2 C6:2 |";
constexpr std::string_view kCChords = "C C G7 G7 G7 G7 C C F F C Am D7 D7 G D7";
constexpr std::string_view kC =
    "E5:4 G5:2 | C6:6 | B5:2 A5:2 G5:2 | F5:6 | D5:4 F5:2 | B5:6 | A5:2 G5:2 F5:2 | E5:6 | F5:2 A5:2 C6:2 |"
    " A5:4 F5:2 | E5:2 G5:2 C6:2 | C6:4 A5:2 | F#5:2 A5:2 C6:2 | D6:4 C6:2 | B5:2 D6:2 B5:2 | A5:2 F#5:2 D5:2 |";

constexpr int kPianoLow = 55;   // G3
constexpr int kMalletLow = 67;  // G4
constexpr int kStringsLow = 55;
constexpr int kBassLow = 31;  // G1

}  // namespace

Song glassWaltz()
{
    SongBuilder b("GlassWaltz", 152, 0x61A5500Bu, Kit::soft, kThreeFour);
    b.looseDrums(3.0f);
    const int flute = b.addPart(
        {.name = "flute", .voice = Voice::flute, .gain = 0.85f, .pan = 0.1f, .reverb = 0.3f, .looseMs = 6.0f});
    const int violins = b.addPart(
        {.name = "violins", .voice = Voice::strings, .gain = 0.7f, .pan = -0.1f, .reverb = 0.4f, .doubled = true});
    const int marimba = b.addPart({.name = "marimba",
                                   .voice = Voice::marimba,
                                   .gain = 0.5f,
                                   .pan = 0.3f,
                                   .reverb = 0.25f,
                                   .echo = 0.1f,
                                   .looseMs = 4.0f});
    const int piano = b.addPart({.name = "piano",
                                 .voice = Voice::piano,
                                 .gain = 0.55f,
                                 .pan = -0.2f,
                                 .spread = 0.2f,
                                 .reverb = 0.3f,
                                 .looseMs = 4.0f});
    const int strings = b.addPart(
        {.name = "strings", .voice = Voice::strings, .gain = 0.3f, .pan = 0.2f, .reverb = 0.45f, .doubled = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::uprightBass, .gain = 0.85f, .reverb = 0.05f});

    const DrumPattern time = {
        {Drum::kick, "X..........."}, {Drum::rim, "....o...o..."}, {Drum::shaker, "x.o.x.o.x.o."}};
    const DrumPattern turn = {
        {Drum::kick, "X..........."}, {Drum::rim, "....o...o.o."}, {Drum::tomHigh, "........x..."}};

    const auto section = [&](std::string_view chords, int lead, std::string_view tune, bool answer, float level) {
        const auto v = b.section(chords);
        b.melody(lead, v, tune, ChartRule::none, 0.8f * level);
        b.comp(piano, v, "-xx", kPianoLow, 0.5f * level);
        b.bass(bass, v, "R--", kBassLow, 0.8f * level);
        if (answer)
            b.arp(marimba, v, "--2-1-", kMalletLow, 0.5f * level);
        b.drums(v, time, &turn);
    };

    // Piano and bass for four bars.
    auto s = b.section("G G D7 G");
    b.comp(piano, s, "-xx", kPianoLow, 0.45f);
    b.bass(bass, s, "R...........", kBassLow, 0.7f);

    section(kAChords, flute, kA, false, 0.9f);
    section(kBChords, flute, kB, true, 0.9f);
    section(kAChords, flute, kA, true, 1.0f);
    {
        const auto v = b.section(kCChords);
        b.melody(violins, v, kC, ChartRule::none, 0.8f);
        b.comp(strings, v, "x..", kStringsLow, 0.4f);
        b.comp(piano, v, "-xx", kPianoLow, 0.45f);
        b.bass(bass, v, "R-5", kBassLow, 0.75f);
        b.arp(marimba, v, "024420", kMalletLow, 0.4f);
        b.drums(v, time, &turn);
    }
    section(kBChords, flute, kB, true, 1.0f);
    section(kAChords, flute, kA, true, 1.0f);

    // Coda.
    s = b.section("G C G D7 G G G G");
    b.melody(flute, s, "B5:6 | C6:4 E5:2 | D5:2 G5:2 B5:2 | A5:4 F#5:2 | G5:6 | r:6 | G4:6 | r:6 |", ChartRule::none,
             0.7f);
    b.comp(piano, s, "-xx", kPianoLow, 0.45f);
    b.bass(bass, s, "R...........", kBassLow, 0.7f);
    b.drums(s, time, &turn);

    return b.finish({.tailSeconds = 4.0, .drumGain = 0.7f, .reverbDb = -13.0f, .echoDb = -24.0f});
}

}  // namespace zorv::corpus
