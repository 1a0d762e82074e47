// StillWater: sparse ambient in D major at 70 BPM. Pads that take most of a
// second to swell in, a bell tune with a long echo, a guitar picking
// quarter notes, and for a while a soft kick. The first 27 s are pads and
// bells alone, quiet; most of the song has a clear attack only every beat
// or two, so a chart has to be sparse to stay on the music.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kOpen = "Dmaj7 Gmaj7 Bm7 Asus4 Dmaj7 Gmaj7 Em7 Asus4";
constexpr std::string_view kTurn = "Bm7 Gmaj7 Dmaj7 Asus2 Bm7 Gmaj7 Em7 A";

constexpr std::string_view kBellsOpen =
    "F#6:4 A6:4 | B6:8 | r:4 A6:2 F#6:2 | E6:8 | F#6:4 A6:4 | D7:8 | r:4 B6:2 A6:2 | E6:8 |";
constexpr std::string_view kBellsTurn =
    "D6:4 F#6:4 | B5:8 | A5:4 D6:2 F#6:2 | E6:8 | F#6:4 D6:4 | B5:4 G6:4 | E6:2 G6:2 B6:4 | A6:8 |";
constexpr std::string_view kBellsMoving =
    "A6:2 F#6:2 E6:2 D6:2 | B5:4 D6:4 | F#6:2 E6:2 D6:2 B5:2 | A5:8 |"
    " A6:2 F#6:2 E6:2 D6:2 | G6:4 B6:4 | G6:2 E6:2 B5:2 G6:2 | A6:8 |";
constexpr std::string_view kStrings = "F#5:16 | F#5:8 E5:8 | D5:16 | E5:8 C#5:8 |";

constexpr int kPadLow = 50;     // D3
constexpr int kGuitarLow = 50;  // D3
constexpr int kBassLow = 31;    // G1

}  // namespace

Song stillWater()
{
    SongBuilder b("StillWater", 70, 0x57111A7Eu, Kit::soft);
    const int pad = b.addPart({.name = "pad", .voice = Voice::warmPad, .gain = 0.4f, .reverb = 0.6f, .doubled = true});
    const int bells =
        b.addPart({.name = "bells", .voice = Voice::bell, .gain = 0.3f, .pan = 0.2f, .reverb = 0.55f, .echo = 0.4f});
    const int guitar = b.addPart({.name = "guitar",
                                  .voice = Voice::guitar,
                                  .gain = 0.45f,
                                  .pan = -0.3f,
                                  .spread = 0.15f,
                                  .reverb = 0.4f,
                                  .looseMs = 6.0f});
    const int strings =
        b.addPart({.name = "strings", .voice = Voice::strings, .gain = 0.3f, .pan = 0.15f, .reverb = 0.5f});
    const int bass = b.addPart({.name = "bass", .voice = Voice::roundBass, .gain = 0.55f, .reverb = 0.1f});

    const DrumPattern heartbeat = {{Drum::kick, "o..............."}, {Drum::rim, "........o......."}};
    const DrumPattern lastBeat = {{Drum::kick, "o..............."}};

    // Pads and bells alone, quiet.
    auto s = b.section(kOpen);
    b.comp(pad, s, "x.......", kPadLow, 0.35f);
    b.melody(bells, s, kBellsOpen, ChartRule::none, 0.45f);

    s = b.section(kTurn);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.melody(bells, s, kBellsTurn, ChartRule::none, 0.6f);
    b.arp(guitar, s, "0...2...1...3...", kGuitarLow, 0.5f);
    b.bass(bass, s, "R...............", kBassLow, 0.5f);

    for (const auto chords : {kOpen, kTurn}) {
        s = b.section(chords);
        b.comp(pad, s, "x.......", kPadLow, 0.5f);
        b.melody(bells, s, kBellsMoving, ChartRule::none, 0.7f);
        b.melody(strings, s, kStrings, ChartRule::none, 0.45f);
        b.arp(guitar, s, "0...2...1...3...", kGuitarLow, 0.6f);
        b.bass(bass, s, "R.......5.......", kBassLow, 0.6f);
        b.drums(s, heartbeat);
    }

    // The floor drops away: pads and bells again.
    s = b.section(kOpen);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.melody(bells, s, kBellsOpen, ChartRule::none, 0.55f);
    b.drums(s, {}, &lastBeat);

    s = b.section(kTurn);
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.melody(bells, s, kBellsTurn, ChartRule::none, 0.65f);
    b.melody(strings, s, kStrings, ChartRule::none, 0.4f);
    b.arp(guitar, s, "0...2...1...3...", kGuitarLow, 0.55f);
    b.bass(bass, s, "R...............", kBassLow, 0.55f);
    b.drums(s, heartbeat);

    s = b.section("Dmaj7 Dmaj7");
    b.comp(pad, s, "x.......", kPadLow, 0.4f);
    b.melody(bells, s, "F#6:4 A6:4 | D7:8 |", ChartRule::none, 0.5f);
    b.arp(guitar, s, "0...2...1...3...", kGuitarLow, 0.45f);
    b.bass(bass, s, "R...............", kBassLow, 0.45f);

    return b.finish({.tailSeconds = 6.0, .drumGain = 0.6f, .reverbDb = -9.0f, .echoDb = -13.0f});
}

}  // namespace zorv::corpus
