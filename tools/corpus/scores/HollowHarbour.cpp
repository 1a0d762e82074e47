// HollowHarbour: a folk tune in E minor in 6/8, 72 dotted quarters a minute
// (eighths 278 ms apart). A nylon guitar picks every eighth, a flute carries
// the tune, toms and a shaker keep the lilt, strings join the choruses. The
// beat is the dotted quarter, two to a bar; the guitar's even eighths make
// the three-eighth grouping something a tracker has to find.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kVerseChords = "Em C G D Em C D-B7 Em";
constexpr std::string_view kChorusChords = "C G D Em C G Am-B7 Em";

constexpr std::string_view kVerse =
    "E5:2 F#5:1 G5:2 A5:1 | G5:3 E5:3 | D5:2 E5:1 G5:2 B5:1 | A5:3 G5:3 |"
    " E5:2 F#5:1 G5:2 B5:1 | A5:2 G5:1 F#5:2 D5:1 | E5:2 F#5:1 D#5:2 B4:1 | E5:6 |";
constexpr std::string_view kChorus =
    "E5:2 G5:1 C6:3 | B5:2 G5:1 D5:3 | A5:2 B5:1 A5:2 F#5:1 | G5:3 E5:3 |"
    " E5:2 G5:1 C6:3 | D6:2 B5:1 G5:3 | A5:2 C6:1 B5:2 D#5:1 | E5:6 |";

constexpr int kGuitarLow = 52;   // E3
constexpr int kStringsLow = 55;  // G3
constexpr int kBassLow = 28;     // E1

}  // namespace

Song hollowHarbour()
{
    SongBuilder b("HollowHarbour", 72, 0x4A2B0A6Fu, Kit::soft, kSixEight);
    b.looseDrums(4.0f);
    const int flute = b.addPart(
        {.name = "flute", .voice = Voice::flute, .gain = 0.85f, .pan = 0.1f, .reverb = 0.35f, .looseMs = 8.0f});
    const int guitar = b.addPart({.name = "guitar",
                                  .voice = Voice::guitar,
                                  .gain = 0.6f,
                                  .pan = -0.25f,
                                  .spread = 0.2f,
                                  .reverb = 0.3f,
                                  .looseMs = 5.0f});
    const int strings = b.addPart(
        {.name = "strings", .voice = Voice::strings, .gain = 0.35f, .pan = 0.25f, .reverb = 0.45f, .doubled = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::uprightBass, .gain = 0.75f, .reverb = 0.08f});

    const DrumPattern lilt = {
        {Drum::kick, "X.....x....."}, {Drum::rim, "......o....."}, {Drum::shaker, "x.o.o.x.o.o."}};
    const DrumPattern toms = {{Drum::kick, "X.....x....."},
                              {Drum::tomLow, "......x...o."},
                              {Drum::rim, "......x....."},
                              {Drum::shaker, "x.o.o.x.o.o."}};
    const DrumPattern turn = {
        {Drum::kick, "X.....x....."}, {Drum::tomHigh, "......x.x..."}, {Drum::tomLow, "..........xx"}};

    // The guitar alone.
    auto s = b.section("Em C Em D");
    b.arp(guitar, s, "012321", kGuitarLow, 0.5f);

    const auto verse = [&](bool withDrums) {
        const auto v = b.section(kVerseChords);
        b.melody(flute, v, kVerse, ChartRule::none, 0.75f);
        b.arp(guitar, v, "012321", kGuitarLow, 0.55f);
        b.bass(bass, v, "R.5.", kBassLow, 0.7f);
        if (withDrums)
            b.drums(v, lilt, &turn);
    };
    const auto chorus = [&] {
        const auto v = b.section(kChorusChords);
        b.melody(flute, v, kChorus, ChartRule::none, 0.85f);
        b.arp(guitar, v, "013231", kGuitarLow, 0.6f);
        b.comp(strings, v, "x.....", kStringsLow, 0.45f);
        b.bass(bass, v, "R.R.", kBassLow, 0.8f);
        b.drums(v, toms, &turn);
    };
    const auto interlude = [&] {
        const auto v = b.section("Em C D Em");
        b.melody(flute, v, "B5:2 A5:1 G5:2 E5:1 | G5:3 E5:3 | F#5:2 E5:1 D5:2 F#5:1 | E5:6 |", ChartRule::none, 0.6f);
        b.arp(guitar, v, "012321", kGuitarLow, 0.5f);
    };

    verse(false);
    verse(true);
    chorus();
    interlude();
    verse(true);
    verse(true);
    chorus();
    chorus();
    interlude();
    chorus();

    s = b.section("C D Em Em");
    b.arp(guitar, s, "012321", kGuitarLow, 0.45f);
    b.melody(flute, s, "E5:2 G5:1 C6:3 | B5:2 A5:1 F#5:3 | E5:6 | r:6 |", ChartRule::none, 0.6f);
    b.comp(strings, s, "x.....", kStringsLow, 0.35f);
    b.bass(bass, s, "R...", kBassLow, 0.6f);
    b.drums(s, {}, &lilt);

    return b.finish({.tailSeconds = 4.0, .drumGain = 0.8f, .reverbDb = -12.0f, .echoDb = -24.0f});
}

}  // namespace zorv::corpus
