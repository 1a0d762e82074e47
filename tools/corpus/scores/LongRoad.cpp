// LongRoad: five and a quarter minutes in F# minor / A major at 112 BPM,
// the way a long pop song changes its clothes: an intro of pad and bells, a
// marimba verse, a full chorus with a saw lead, a piano break without
// drums, a second verse on guitar and flute, an organ-and-brass bridge in
// half time, a breakdown, a last chorus and an outro. Played twice it makes
// the ten-minute case for the memory figure.

#include "tools/corpus/Corpus.h"

#include <string>

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kVerseChords = "F#m D A E F#m D E E";
constexpr std::string_view kPreChords = "D E C#m F#m D E Bm E";
constexpr std::string_view kChorusChords = "A E F#m D A E D E";
constexpr std::string_view kBridgeChords = "Bm C#m D E Bm C#m D E";

constexpr std::string_view kVerseA =
    "C#5:2 E5:2 F#5:3 E5:1 | D5:2 F#5:2 A5:4 | E5:2 C#5:2 A4:2 C#5:2 | B4:4 r:4 |"
    " C#5:2 E5:2 F#5:3 A5:1 | A5:2 F#5:2 D5:4 | E5:2 G#5:2 B5:2 G#5:2 | E5:8 |";
constexpr std::string_view kVerseB =
    "C#5:2 E5:2 F#5:3 E5:1 | D5:2 F#5:2 A5:4 | E5:2 C#5:2 A4:2 C#5:2 | B4:4 r:4 |"
    " C#5:2 E5:2 F#5:3 E5:1 | D5:2 F#5:2 A5:4 | B5:2 A5:2 G#5:2 E5:2 | E5:6 r:2 |";
constexpr std::string_view kPre =
    "D5:4 E5:4 | F#5:4 E5:2 D5:2 | C#5:4 E5:4 | F#5:8 |"
    " D5:4 E5:4 | F#5:2 G#5:2 A5:4 | B5:4 A5:2 F#5:2 | G#5:8 |";
constexpr std::string_view kChorus =
    "A5:3 G#5:1 A5:2 C#6:2 | B5:4 E5:4 | A5:2 B5:2 C#6:2 A5:2 | F#5:4 r:2 E5:2 |"
    " A5:3 G#5:1 A5:2 C#6:2 | B5:4 G#5:2 E5:2 | F#5:2 A5:2 D6:2 C#6:2 | B5:6 r:2 |";
constexpr std::string_view kBridge =
    "F#5:2 D5:2 B4:4 | G#5:2 E5:2 C#5:4 | A5:2 F#5:2 D5:4 | B5:4 G#5:4 |"
    " F#5:2 D5:2 B4:2 D5:2 | G#5:2 E5:2 C#5:2 E5:2 | A5:2 F#5:2 A5:2 D6:2 | B5:8 |";
constexpr std::string_view kBells = "C#7:8 | A6:8 | E6:8 | G#6:8 | C#7:4 E7:4 | D7:8 | B6:4 G#6:4 | E6:8 |";

constexpr int kKeysLow = 54;    // F#3
constexpr int kMalletLow = 61;  // C#4
constexpr int kPadLow = 52;     // E3
constexpr int kBassLow = 33;    // A1

std::string twice(std::string_view a, std::string_view b) { return std::string(a) + " " + std::string(b); }

}  // namespace

Song longRoad()
{
    SongBuilder b("LongRoad", 112, 0x10E6F0ADu, Kit::soft);
    b.looseDrums(2.0f);
    const auto part = [&b](const char* name, Voice voice, float gain, float pan, float reverb, float echo = 0.0f,
                           float loose = 0.0f) {
        return b.addPart(
            {.name = name, .voice = voice, .gain = gain, .pan = pan, .reverb = reverb, .echo = echo, .looseMs = loose});
    };
    const int lead = part("lead", Voice::sawLead, 0.75f, 0.0f, 0.25f, 0.2f);
    const int flute = part("flute", Voice::flute, 0.85f, 0.1f, 0.3f, 0.1f, 6.0f);
    const int marimba = part("marimba", Voice::marimba, 0.55f, -0.2f, 0.25f, 0.1f, 4.0f);
    const int guitar = part("guitar", Voice::guitar, 0.55f, -0.3f, 0.3f, 0.0f, 5.0f);
    const int keys = part("keys", Voice::ePiano, 0.45f, 0.2f, 0.25f);
    const int piano = part("piano", Voice::piano, 0.7f, -0.05f, 0.35f, 0.0f, 4.0f);
    const int organ = part("organ", Voice::organ, 0.3f, -0.2f, 0.2f);
    const int brass = part("brass", Voice::brass, 0.6f, 0.15f, 0.25f, 0.1f);
    const int bells = part("bells", Voice::bell, 0.22f, 0.3f, 0.5f, 0.35f);
    const int pluck = part("pluck", Voice::pluck, 0.4f, 0.3f, 0.2f, 0.15f);
    const int strings = b.addPart(
        {.name = "strings", .voice = Voice::strings, .gain = 0.3f, .reverb = 0.45f, .doubled = true, .ducked = true});
    const int pad = b.addPart(
        {.name = "pad", .voice = Voice::warmPad, .gain = 0.3f, .reverb = 0.55f, .doubled = true, .ducked = true});
    const int bass = part("bass", Voice::roundBass, 0.85f, 0.0f, 0.03f);

    const DrumPattern soft = {
        {Drum::kick, "X.......x......."}, {Drum::rim, "....x.......x..."}, {Drum::shaker, "x.o.x.o.x.o.x.o."}};
    const DrumPattern full = {{Drum::kick, "X.....x.X.x....."},
                              {Drum::snare, "....X.......X..."},
                              {Drum::closedHat, "x.o.x.o.x.o.x.o."},
                              {Drum::openHat, "..............x."}};
    const DrumPattern fill = {{Drum::kick, "X.....x.X......."},
                              {Drum::snare, "....X.....x.xxXX"},
                              {Drum::tomHigh, "........x......."},
                              {Drum::tomLow, ".........x......"}};
    const DrumPattern halfTime = {
        {Drum::kick, "X.........x....."}, {Drum::snare, "........X......."}, {Drum::ride, "x.x.x.x.x.x.x.x."}};

    // Intro: pad and bells.
    auto s = b.section(kVerseChords);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.melody(bells, s, kBells, ChartRule::none, 0.5f);

    const auto verse = [&](int tune, int backing, float level) {
        const auto v = b.section(twice(kVerseChords, kVerseChords));
        b.melody(tune, v, twice(kVerseA, kVerseB), ChartRule::none, 0.8f * level);
        b.arp(backing, v, "0.1.2.1.0.1.2.1.", kMalletLow, 0.5f * level);
        b.comp(keys, v, "x.......x.......", kKeysLow, 0.4f * level);
        b.bass(bass, v, "R.....R...R.....", kBassLow, 0.75f * level);
        b.drums(v, soft, &fill);
    };
    const auto pre = [&] {
        const auto v = b.section(kPreChords);
        b.melody(lead, v, kPre, ChartRule::none, 0.7f);
        b.comp(strings, v, "x.......", kPadLow, 0.5f);
        b.arp(pluck, v, "0123012301230123", kMalletLow, 0.45f);
        b.bass(bass, v, "R.R.R.R.R.R.R.R.", kBassLow, 0.75f);
        b.drums(v, soft, &fill);
    };
    const auto chorus = [&](float level) {
        const auto v = b.section(twice(kChorusChords, kChorusChords));
        b.melody(lead, v, twice(kChorus, kChorus), ChartRule::none, 0.85f * level);
        b.harmony(flute, v, twice(kChorus, kChorus), 0.5f * level);
        b.comp(strings, v, "x.......", kPadLow, 0.55f * level);
        b.arp(pluck, v, "0.2.4.2.3.2.4.2.", kMalletLow, 0.5f * level);
        b.comp(keys, v, "x...x...x...x...", kKeysLow, 0.4f * level);
        b.bass(bass, v, "RORORORO", kBassLow, 0.85f * level);
        b.drums(v, full, &fill);
        b.hit(v.step, Drum::crash, 0.8f);
    };

    verse(marimba, pluck, 0.9f);
    pre();
    chorus(0.9f);

    // Break: piano and pad, no drums.
    s = b.section(kVerseChords);
    b.arp(piano, s, "0.1.2.3.4.3.2.1.", kKeysLow, 0.5f);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.bass(bass, s, "R...............", kBassLow, 0.5f);

    verse(flute, guitar, 1.0f);
    pre();
    chorus(1.0f);

    // Bridge: organ and brass in half time.
    s = b.section(twice(kBridgeChords, kBridgeChords));
    b.melody(brass, s, twice(kBridge, kBridge), ChartRule::none, 0.8f);
    b.comp(organ, s, "x.......x.......", kKeysLow, 0.6f);
    b.bass(bass, s, "R.........R.....", kBassLow, 0.8f);
    b.drums(s, halfTime, &fill);

    // Breakdown: pad and bells, the piano picking up again at the end.
    s = b.section(kVerseChords);
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.melody(bells, s, kBells, ChartRule::none, 0.55f);
    b.arp(piano, s, "0...1...2...1...", kKeysLow, 0.4f);

    chorus(1.0f);

    // Outro: the chorus chords thinning out, the last chord ringing.
    s = b.section(twice(kChorusChords, "A E D A"));
    b.arp(piano, s, "0.1.2.3.4.3.2.1.", kKeysLow, 0.45f);
    b.melody(bells, s, twice(kBells, "C#7:8 | B6:8 | A6:8 | r:8 |"), ChartRule::none, 0.45f);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.bass(bass, s, "R.......R.......", kBassLow, 0.6f);
    b.drums(s, soft);

    return b.finish({.tailSeconds = 5.0, .drumGain = 0.75f, .duckDepth = 0.25f, .reverbDb = -13.0f, .echoDb = -20.0f});
}

}  // namespace zorv::corpus
