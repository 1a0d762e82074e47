// Dodoroza: a light tune in F major for flute, electric piano and marimba.
// The easy chart takes the melody notes that fall on beats.

#include "tools/songs/Songs.h"

#include <string>

namespace zorv::songs {
namespace {

// The verse tune up to its last bar, which changes with each return.
constexpr std::string_view kVerse =
    "C5:2 A4:1 C5:1 F5:3 E5:1 | D5:2 C5:2 A4:4 | Bb4:2 D5:1 C5:1 Bb4:2 F4:2 | G4:3 A4:1 Bb4:2 G4:2 |"
    " C5:2 A4:1 C5:1 F5:3 G5:1 | A5:2 G5:1 F5:1 D5:4 | Bb4:2 D5:2 C5:2 E5:2 |";

constexpr std::string_view kVerseChords = "F Dm Bb C F Dm Gm-C F";

constexpr std::string_view kChorus =
    "D5:3 C5:1 D5:2 F5:2 | E5:3 D5:1 C5:2 G4:2 | A4:2 C5:1 D5:1 E5:4 | F5:3 E5:1 D5:2 C5:2 |"
    " D5:2 Bb4:1 D5:1 G5:4 | E5:2 G5:2 E5:2 C5:2 | F5:2 C5:2 D5:2 F5:2 | G5:3 F5:1 E5:2 r:2 |";

constexpr std::string_view kBridge =
    "A4:3 D5:1 F5:4 | G5:2 F5:2 D5:4 | C5:3 D5:1 C5:2 A4:2 | G4:4 E4:2 G4:2 |"
    " A4:3 D5:1 F5:4 | G5:2 F5:2 D5:2 F5:2 | G5:3 F5:1 D5:2 Bb4:2 | C5:2 E5:2 G5:2 E5:2 |";

// Bell notes ringing over the later verses, an octave above the tune.
constexpr std::string_view kChimes = "A6:8 | F6:8 | D6:8 | E6:8 | C7:8 | A6:8 | Bb6:4 G6:4 | A6:8 |";

constexpr int kBassLow = 33;  // A1
constexpr int kKeysLow = 55;  // G3
constexpr int kPadLow = 53;   // F3
constexpr int kMalletLow = 65;

std::string verse(std::string_view lastBar) { return std::string(kVerse) + " " + std::string(lastBar); }

}  // namespace

Song dodoroza()
{
    SongBuilder b("Dodoroza", 104, 0xD0D020A5u, Kit::soft);
    const int lead = b.addPart({.name = "flute", .voice = Voice::flute, .gain = 1.0f, .reverb = 0.3f, .echo = 0.15f});
    const int keys = b.addPart(
        {.name = "keys", .voice = Voice::ePiano, .gain = 0.5f, .pan = -0.15f, .spread = 0.25f, .reverb = 0.25f});
    const int pad = b.addPart({.name = "pad", .voice = Voice::warmPad, .gain = 0.3f, .reverb = 0.45f, .doubled = true});
    const int mallet = b.addPart(
        {.name = "marimba", .voice = Voice::marimba, .gain = 0.45f, .pan = 0.25f, .reverb = 0.25f, .echo = 0.1f});
    const int bass = b.addPart({.name = "bass", .voice = Voice::roundBass, .gain = 0.9f, .reverb = 0.02f});
    const int bell =
        b.addPart({.name = "bell", .voice = Voice::bell, .gain = 0.16f, .pan = -0.35f, .reverb = 0.4f, .echo = 0.2f});

    const DrumPattern shaker = {{Drum::shaker, "x.o.x.o.x.o.x.o."}};
    const DrumPattern shakerKick = {
        {Drum::kick, "X.......x......."}, {Drum::shaker, "x.o.x.o.x.o.x.o."}, {Drum::rim, "............x.x."}};
    const DrumPattern groove = {{Drum::kick, "X.......x.x....."},
                                {Drum::snare, "....x.......x..."},
                                {Drum::closedHat, "x.o.x.o.x.o.x.o."},
                                {Drum::shaker, "..o...o...o...o."}};
    const DrumPattern lift = {{Drum::kick, "X.....x.x.x....."},
                              {Drum::snare, "....x.......x..o"},
                              {Drum::closedHat, "x.oox.o.x.oox.o."},
                              {Drum::shaker, "o.x.o.x.o.x.o.x."}};
    const DrumPattern fill = {{Drum::kick, "X.......x......."},
                              {Drum::snare, "....x.........xx"},
                              {Drum::tomHigh, "........x.x....."},
                              {Drum::tomLow, "............x..."},
                              {Drum::closedHat, "x.o.x.o........."}};
    const DrumPattern still = {
        {Drum::kick, "X.......o......."}, {Drum::rim, "....x.......x..."}, {Drum::shaker, "x.o.x.o.x.o.x.o."}};
    const DrumPattern ending = {{Drum::kick, "X..............."}};

    // Intro: two bars for the first arrow to rise.
    auto s = b.section("Bb C");
    b.comp(keys, s, "x..o..o.", kKeysLow, 0.55f);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.arp(mallet, s, "01234321", kMalletLow, 0.5f);
    b.bass(bass, s, "R.......", kBassLow, 0.7f);
    b.drums(s, shaker, &shakerKick);

    s = b.section(kVerseChords);
    b.melody(lead, s, verse("F5:4 r:2 C5:2 |"), ChartRule::beats, 0.85f);
    b.comp(keys, s, "x..o..o.", kKeysLow, 0.6f);
    b.comp(pad, s, "x.......", kPadLow, 0.45f);
    b.bass(bass, s, "R..R5.R.", kBassLow, 0.8f);
    b.drums(s, groove, &fill);

    s = b.section("Bb C Am Dm Gm C F/A-Bb C7");
    b.melody(lead, s, kChorus, ChartRule::beats, 0.9f);
    b.comp(keys, s, "x...o.o.", kKeysLow, 0.6f);
    b.comp(pad, s, "x.......", kPadLow, 0.55f);
    b.arp(mallet, s, "01234321", kMalletLow, 0.55f);
    b.bass(bass, s, "R.R.5.O.", kBassLow, 0.85f);
    b.drums(s, lift, &fill);
    b.hit(s.step, Drum::crash, 0.7f);

    s = b.section(kVerseChords);
    b.melody(lead, s, verse("F5:4 r:4 |"), ChartRule::beats, 0.85f);
    b.melody(bell, s, kChimes, ChartRule::none, 0.6f);
    b.comp(keys, s, "x..o..o.", kKeysLow, 0.6f);
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.arp(mallet, s, "0.2.1.3.", kMalletLow, 0.45f);
    b.bass(bass, s, "R..R5.R.", kBassLow, 0.8f);
    b.drums(s, groove, &fill);
    b.hit(s.step, Drum::crash, 0.6f);

    // Bridge: half the drums, the pad carries it.
    s = b.section("Dm Bb F C Dm Bb Gm C7");
    b.melody(lead, s, kBridge, ChartRule::beats, 0.8f);
    b.comp(keys, s, "x...o...", kKeysLow, 0.5f);
    b.comp(pad, s, "x.......", kPadLow, 0.65f);
    b.bass(bass, s, "R...R...", kBassLow, 0.75f);
    b.drums(s, still, &fill);

    s = b.section(kVerseChords);
    b.melody(lead, s, verse("F5:8 |"), ChartRule::beats, 0.9f);
    b.melody(bell, s, kChimes, ChartRule::none, 0.7f);
    b.comp(keys, s, "x..o..o.", kKeysLow, 0.6f);
    b.comp(pad, s, "x.......", kPadLow, 0.55f);
    b.arp(mallet, s, "01234321", kMalletLow, 0.5f);
    b.bass(bass, s, "R.R.5.O.", kBassLow, 0.85f);
    b.drums(s, lift, &groove);
    b.hit(s.step, Drum::crash, 0.75f);

    // Outro: the tune comes to rest on F and the last chord rings out.
    s = b.section("Bb C F");
    b.melody(lead, s, "D5:4 C5:4 | E5:4 G5:4 | F5:8 |", ChartRule::beats, 0.8f);
    b.comp(keys, s, "x...o...", kKeysLow, 0.55f);
    b.comp(pad, s, "x.......", kPadLow, 0.55f);
    b.arp(mallet, s, "01234321", kMalletLow, 0.4f);
    b.bass(bass, s, "R...R...", kBassLow, 0.8f);
    b.drums(s, still, &ending);
    b.hit(s.step + 2 * kStepsPerBar, Drum::crash, 0.5f);

    return b.finish({.tailSeconds = 3.5, .drumGain = 0.9f, .reverbDb = -13.0f, .echoDb = -21.0f});
}

std::vector<Song> allSongs() { return {dodoroza(), virizivez()}; }

}  // namespace zorv::songs
