// NeonRush: a breakbeat in A minor at 180 BPM, the densest of the corpus:
// sixteenth hats and plucks, a syncopated bass, a saw lead with echoes that
// land between the notes, a pad pumping under the kick. Two quieter breaks
// in half time. Most of the time something starts every 83 ms.

#include "tools/corpus/Corpus.h"

namespace zorv::corpus {
namespace {

using namespace songs;

constexpr std::string_view kChords = "Am F C G Am F G E";
constexpr std::string_view kLead =
    "E5:2 A5:2 C6:2 B5:1 A5:1 | F5:4 A5:2 C6:2 | G5:2 E5:2 C5:2 D5:1 E5:1 | D5:4 B4:4 |"
    " E5:2 A5:2 C6:2 E6:2 | D6:2 C6:2 A5:2 F5:2 | G5:2 B5:2 D6:2 B5:2 | G#5:4 E5:4 |";
constexpr std::string_view kBreakLead = "A5:8 | F5:8 | E5:8 | D5:8 | C6:8 | A5:8 | B5:8 | G#5:8 |";

constexpr int kPluckLow = 57;  // A3
constexpr int kPadLow = 52;    // E3
constexpr int kBassLow = 28;   // E1

}  // namespace

Song neonRush()
{
    SongBuilder b("NeonRush", 180, 0xAE0A5A5Fu, Kit::punchy);
    const int lead = b.addPart({.name = "lead", .voice = Voice::sawLead, .gain = 0.8f, .reverb = 0.2f, .echo = 0.3f});
    const int pluck = b.addPart({.name = "pluck",
                                 .voice = Voice::pluck,
                                 .gain = 0.5f,
                                 .pan = -0.3f,
                                 .spread = 0.2f,
                                 .reverb = 0.15f,
                                 .echo = 0.15f});
    const int pad = b.addPart(
        {.name = "pad", .voice = Voice::sawPad, .gain = 0.4f, .reverb = 0.4f, .doubled = true, .ducked = true});
    const int bass = b.addPart({.name = "bass", .voice = Voice::synthBass, .gain = 0.85f, .reverb = 0.0f});

    const DrumPattern breakbeat = {{Drum::kick, "X.........X....."},
                                   {Drum::snare, "....X..o....X..."},
                                   {Drum::closedHat, "xoxoxoxoxoxoxoxo"},
                                   {Drum::rim, ".......o......o."}};
    const DrumPattern breakbeatB = {{Drum::kick, "X.........X.x..."},
                                    {Drum::snare, "....X..o....X.oo"},
                                    {Drum::closedHat, "xoxoxoxoxoxo...."},
                                    {Drum::openHat, "............x..."}};
    const DrumPattern build = {{Drum::kick, "X...X...X...X..."}, {Drum::closedHat, "xoxoxoxoxoxoxoxo"}};
    const DrumPattern buildRoll = {
        {Drum::kick, "X...X...X...X..."}, {Drum::snare, "x.x.x.x.xxxxXXXX"}, {Drum::closedHat, "xoxoxoxo........"}};
    const DrumPattern halfTime = {
        {Drum::kick, "X..............."}, {Drum::snare, "........X......."}, {Drum::closedHat, "x...x...x...x..."}};

    const auto intro = [&](bool drums) {
        const auto v = b.section(kChords);
        b.comp(pad, v, "x.......", kPadLow, 0.5f);
        b.arp(pluck, v, "0123321001233210", kPluckLow, 0.45f);
        if (drums) {
            b.bass(bass, v, "R.R.R.R.", kBassLow, 0.7f);
            b.drums(v, build, &buildRoll);
        }
    };
    const auto drop = [&](bool doubled) {
        for (int half = 0; half < 2; ++half) {
            const auto v = b.section(kChords);
            b.melody(lead, v, kLead, ChartRule::none, 0.85f);
            if (doubled)
                b.harmony(pluck, v, kLead, 0.5f);
            else
                b.arp(pluck, v, "0123321001233210", kPluckLow, 0.5f);
            b.comp(pad, v, "x.......", kPadLow, 0.55f);
            b.bass(bass, v, "R..R..R.R.....R.", kBassLow, 0.9f);
            b.drums(v, breakbeat, &breakbeatB);
            b.hit(v.step, Drum::crash, 0.7f);
        }
    };
    const auto breakdown = [&](int sections) {
        for (int k = 0; k < sections; ++k) {
            const auto v = b.section(kChords);
            b.melody(lead, v, kBreakLead, ChartRule::none, 0.6f);
            b.comp(pad, v, "x.......", kPadLow, 0.6f);
            b.arp(pluck, v, "0.2.1.3.", kPluckLow, 0.4f);
            b.bass(bass, v, "R.......", kBassLow, 0.6f);
            b.drums(v, halfTime);
        }
    };

    intro(false);
    intro(true);
    drop(false);
    breakdown(2);
    intro(true);
    drop(false);
    drop(true);
    breakdown(1);
    {
        const auto v = b.section(kChords);
        b.melody(lead, v, kLead, ChartRule::none, 0.85f);
        b.arp(pluck, v, "0123321001233210", kPluckLow, 0.5f);
        b.comp(pad, v, "x.......", kPadLow, 0.55f);
        b.bass(bass, v, "R..R..R.R.....R.", kBassLow, 0.9f);
        b.drums(v, breakbeat, &breakbeatB);
    }
    auto s = b.section("Am F G Am");
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.arp(pluck, s, "0123321001233210", kPluckLow, 0.4f);
    b.drums(s, build);
    s = b.section("Am");
    b.comp(pad, s, "x.......", kPadLow, 0.5f);
    b.hit(s.step, Drum::crash, 0.8f);
    b.hit(s.step, Drum::kick, 1.0f);

    return b.finish({.tailSeconds = 3.0, .drumGain = 0.8f, .duckDepth = 0.4f, .reverbDb = -15.0f, .echoDb = -17.0f});
}

}  // namespace zorv::corpus
