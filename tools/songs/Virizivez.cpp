// Virizivez: a driving A minor tune for a saw lead over plucks and a ducked
// pad. The medium chart takes every melody note, eighths included.

#include "tools/songs/Songs.h"

#include <string>

namespace zorv::songs {
namespace {

constexpr std::string_view kVerseChords = "Am Am F G Am Am Dm E";
constexpr std::string_view kVerseHead =
    "A4:1 C5:1 E5:2 D5:1 C5:1 D5:2 | E5:3 C5:1 A4:4 | A4:1 C5:1 F5:2 E5:1 D5:1 C5:2 | D5:3 B4:1 G4:4 |";
constexpr std::string_view kVerseTail =
    " A4:1 C5:1 E5:2 G5:1 F5:1 E5:2 | A5:3 G5:1 E5:4 | F5:1 E5:1 D5:2 A4:1 D5:1 F5:2 | E5:3 D5:1 B4:2 G#4:2 |";
constexpr std::string_view kVerseTail2 =
    " C5:1 E5:1 A5:2 G5:1 E5:1 C5:2 | E5:3 D5:1 C5:2 A4:2 | F5:1 E5:1 D5:2 F5:1 G5:1 A5:2 | G#5:3 F5:1 E5:2 B4:2 |";

constexpr std::string_view kBuildChords = "Fmaj7 G Em Am Dm F E E";
constexpr std::string_view kBuild =
    "C5:2 A4:1 C5:1 F5:2 E5:2 | D5:2 B4:1 D5:1 G5:4 | G5:2 E5:1 B4:1 E5:2 G5:2 | A5:4 E5:2 C5:2 |"
    " D5:1 E5:1 F5:2 A5:2 F5:2 | A5:3 G5:1 F5:2 C5:2 | B4:2 E5:2 G#5:2 B5:2 | B5:4 G#5:2 E5:2 |";

constexpr std::string_view kChorusChords = "F G Am C F G E Am";
constexpr std::string_view kChorus =
    "F5:1 G5:1 A5:2 G5:1 F5:1 C5:2 | D5:1 E5:1 G5:2 F5:1 E5:1 D5:2 | E5:1 D5:1 C5:2 E5:2 A5:2 | G5:3 E5:1 C5:2 E5:2 |"
    " F5:1 G5:1 A5:2 G5:1 F5:1 C6:2 | B5:3 A5:1 G5:2 D5:2 | E5:1 F5:1 G#5:2 B5:2 G#5:2 | A5:6 r:2 |";

constexpr int kBassLow = 33;   // A1
constexpr int kPadLow = 52;    // E3
constexpr int kPluckLow = 57;  // A3

}  // namespace

Song virizivez()
{
    SongBuilder b("Virizivez", 126, 0x5121E2u, Kit::punchy);
    const int lead = b.addPart({.name = "lead", .voice = Voice::sawLead, .gain = 0.9f, .reverb = 0.22f, .echo = 0.25f});
    const int second = b.addPart(
        {.name = "second", .voice = Voice::sawLead, .gain = 0.38f, .pan = 0.25f, .reverb = 0.3f, .echo = 0.1f});
    const int pluck = b.addPart({.name = "pluck",
                                 .voice = Voice::pluck,
                                 .gain = 0.6f,
                                 .pan = -0.25f,
                                 .spread = 0.2f,
                                 .reverb = 0.2f,
                                 .echo = 0.18f});
    const int pad = b.addPart(
        {.name = "pad", .voice = Voice::sawPad, .gain = 0.4f, .reverb = 0.4f, .doubled = true, .ducked = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::synthBass, .gain = 0.85f, .reverb = 0.0f});

    const DrumPattern none = {};
    const DrumPattern hats = {{Drum::closedHat, "..x...x...x...x."}};
    const DrumPattern pulse = {{Drum::kick, "X...x...x...x..."}, {Drum::closedHat, "..x...x...x...x."}};
    const DrumPattern pulseRoll = {
        {Drum::kick, "X...x...x...x..."}, {Drum::closedHat, "..x...x........."}, {Drum::snare, "........o.o.xxXX"}};
    const DrumPattern verse = {{Drum::kick, "X.....x...x....."},
                               {Drum::snare, "....x.......x..."},
                               {Drum::clap, "....o.......o..."},
                               {Drum::closedHat, "o.x.o.x.o.x.o.x."}};
    const DrumPattern verseFill = {{Drum::kick, "X.....x...x....."},
                                   {Drum::snare, "....x.....x.x.xx"},
                                   {Drum::tomHigh, "........x......."},
                                   {Drum::tomLow, ".........x......"},
                                   {Drum::closedHat, "o.x.o.x........."}};
    const DrumPattern build = {
        {Drum::kick, "X...x...X...x..."}, {Drum::snare, "....x.......x..."}, {Drum::closedHat, "xoxoxoxoxoxoxoxo"}};
    const DrumPattern buildRoll = {
        {Drum::kick, "X...x...X...x..."}, {Drum::snare, "x.x.x.x.xxxxXXXX"}, {Drum::closedHat, "xoxoxoxo........"}};
    const DrumPattern chorus = {{Drum::kick, "X...x...X...x..."},
                                {Drum::clap, "....x.......x..."},
                                {Drum::snare, "....o.......o..."},
                                {Drum::openHat, "..x...x...x...x."},
                                {Drum::closedHat, ".o.o.o.o.o.o.o.o"}};
    const DrumPattern chorusFill = {{Drum::kick, "X...x...X...x..."},
                                    {Drum::clap, "....x..........."},
                                    {Drum::snare, "....o...x.x.xxXX"},
                                    {Drum::openHat, "..x...x........."}};
    const DrumPattern lastHit = {{Drum::kick, "X..............."}};

    // Intro: plucks alone, then the pulse; four bars before the first arrow.
    auto s = b.section("Am Am");
    b.arp(pluck, s, "0.1.2.3.4.3.2.1.", kPluckLow, 0.7f);
    b.comp(pad, s, "x.......", kPadLow, 0.55f);
    b.bass(bass, s, "R.......", kBassLow, 0.6f);
    b.drums(s, none, &hats);

    s = b.section("F G");
    b.arp(pluck, s, "0.1.2.3.4.3.2.1.", kPluckLow, 0.6f);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.bass(bass, s, "R.R.R.R.", kBassLow, 0.7f);
    b.drums(s, pulse, &pulseRoll);

    const auto verseSection = [&](std::string_view tail, bool crash) {
        const auto v = b.section(kVerseChords);
        b.melody(lead, v, std::string(kVerseHead) + std::string(tail), ChartRule::eighths, 0.8f);
        b.arp(pluck, v, "0.1.2.3.4.3.2.1.", kPluckLow, 0.55f);
        b.comp(pad, v, "x.......", kPadLow, 0.4f);
        b.bass(bass, v, "R..R..R.", kBassLow, 0.85f);
        b.drums(v, verse, &verseFill);
        if (crash)
            b.hit(v.step, Drum::crash, 0.6f);
    };
    const auto buildSection = [&] {
        const auto v = b.section(kBuildChords);
        b.melody(lead, v, kBuild, ChartRule::eighths, 0.85f);
        b.arp(pluck, v, "0123012301230123", kPluckLow, 0.45f);
        b.comp(pad, v, "x.......", kPadLow, 0.5f);
        b.bass(bass, v, "RRRRRRRR", kBassLow, 0.8f);
        b.drums(v, build, &buildRoll);
    };
    const auto chorusSection = [&](bool doubledTune) {
        const auto v = b.section(kChorusChords);
        b.melody(lead, v, kChorus, ChartRule::eighths, 0.9f);
        if (doubledTune)
            b.harmony(second, v, kChorus, 0.7f);
        b.arp(pluck, v, "0.2.4.2.3.2.4.2.", kPluckLow, 0.5f);
        b.comp(pad, v, "x.......", kPadLow, 0.6f);
        b.bass(bass, v, "RORORORO", kBassLow, 0.9f);
        b.drums(v, chorus, &chorusFill);
        b.hit(v.step, Drum::crash, 0.8f);
    };

    verseSection(kVerseTail, false);
    buildSection();
    chorusSection(false);

    // Break: no drums and no arrows, a breath before the second round.
    s = b.section("Am F C G");
    b.arp(pluck, s, "0.1.2.3.4.3.2.1.", kPluckLow, 0.55f);
    b.comp(pad, s, "x.......", kPadLow, 0.55f);
    b.bass(bass, s, "R.......", kBassLow, 0.7f);
    b.drums(s, none, &pulseRoll);

    verseSection(kVerseTail2, true);
    buildSection();
    chorusSection(true);

    // Outro: the pulse carries on for two bars, then the last chord rings.
    s = b.section("F G");
    b.arp(pluck, s, "0.1.2.3.4.3.2.1.", kPluckLow, 0.45f);
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.bass(bass, s, "R.R.R.R.", kBassLow, 0.75f);
    b.drums(s, pulse);

    s = b.section("Am");
    b.arp(pluck, s, "0.1.2.4.........", kPluckLow, 0.45f);
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.bass(bass, s, "R.......", kBassLow, 0.75f);
    b.drums(s, lastHit);
    b.hit(s.step, Drum::crash, 0.6f);

    return b.finish({.tailSeconds = 3.0, .drumGain = 0.7f, .duckDepth = 0.35f, .reverbDb = -14.0f, .echoDb = -19.0f});
}

}  // namespace zorv::songs
