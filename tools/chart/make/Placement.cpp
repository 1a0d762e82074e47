#include "tools/chart/make/Placement.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <set>

#include "charting/Charting.h"

namespace zorv::chartmake {
namespace {

struct LevelRule {
    Level level;
    std::string_view name;
    double notesPerSecond;
    // At most this share of kMaxNotes, and of the onsets sure enough to
    // chart: long songs and sparse ones differ by level too.
    double share;
    std::int32_t minGapMs;  // between any two notes
    // Where on the grid its notes may fall: on a beat, an eighth, a
    // sixteenth, a triplet, off the grid.
    std::array<bool, 5> allows;
};

// The bundled charts, written by hand from the scores, run at 1.2 notes a
// second (easy) and 1.8 (medium). Easy keeps to the beat, medium to its
// eighths (and a swing's thirds), hard follows the music's own rhythm.
constexpr LevelRule kRules[] = {
    {Level::easy, "easy", 1.1, 0.6, 450, {true, false, false, false, false}},
    {Level::medium, "medium", 1.9, 0.8, 200, {true, true, false, false, false}},
    {Level::hard, "hard", 2.8, 1.0, charting::kMinNoteGapMs, {true, true, true, true, true}},
};
static_assert(kRules[2].minGapMs >= charting::kMinNoteGapMs);

const LevelRule& ruleOf(Level level) { return kRules[static_cast<int>(level)]; }

// How an onset ranks by where it falls: on a beat, an eighth, a sixteenth,
// a triplet, off the grid. Each step down halves, so that a passage gets
// all its beats before its eighths and all its eighths before its
// sixteenths, and its notes run evenly: a louder passage gets its eighths
// before a quiet one gets its beats.
constexpr std::array<float, 5> kRank = {1.0f, 0.5f, 0.25f, 0.3f, 0.1f};
// What falls on or after the third beat of a bar ranks this much lower than
// on or after its first, and on or after the second and fourth lower still,
// so that a passage with room for only some of its beats gets whole notes,
// then half notes, evenly, rather than a scatter of its quarters.
constexpr float kThirdOfBar = 0.85f;
constexpr float kOffBeatOfBar = 0.7f;
// A place fewer than this share of a rhythm's bars play ranks below every
// place the rhythm plays throughout: a fill, not the pattern. (Ranking the
// onsets weaker than the loud ones around them lower still broke the
// patterns of band recordings, steadiness 0.41 to 0.26, and kept no echo
// out that the sureness thresholds below do not.)
constexpr float kPatternPresence = 0.5f;

// An onset's strength is judged against the strong onsets around it (their
// 90th percentile within this many ms either side), so a quiet verse is
// charted as well as a loud chorus.
constexpr double kNeighbourhoodMs = 8000;
// How strong, against that, an onset must be to be charted where it falls.
// Measured on the corpus against its scores (onsets not within 20 ms of a
// note of the score, of all onsets at least that strong): on a beat, 1 of
// 1833 from 0.4 (5 of 1933 from 0.3); half way between beats, none of 759
// from 0.5 (15 of 1314 from 0.3); anywhere else, none of 265 from 0.7, but
// 23 of 718 from 0.5 and 108 of 1539 from 0.3: echoes and reverb tails.
// Off the beat, only what stands out is sure to be music.
constexpr float kSureOnBeat = 0.4f;
constexpr float kSureHalfBeat = 0.5f;
constexpr float kSureElsewhere = 0.7f;
// Below this share of the song's 90th percentile an onset is noise, even
// in a passage where nothing is louder.
constexpr float kNoiseShare = 0.02f;

struct Candidate {
    std::int32_t ms;
    float score;  // by the rhythm: how strongly the passage plays there, weighed by place
    float own;    // the onset's own strength, to break ties
    Metre metre;
    int inBar;
    // Last tie-break: the onset's index with its bits reversed, which
    // spreads equals over the whole song (a van der Corput sequence)
    // instead of taking them from its start.
    std::uint32_t spread;
};

std::uint32_t reversedBits(std::uint32_t x)
{
    std::uint32_t r = 0;
    for (int bit = 0; bit < 32; ++bit, x >>= 1)
        r = (r << 1) | (x & 1u);
    return r;
}

float percentile(std::vector<float> values, double share)
{
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

// Strength against the neighbourhood's 90th percentile, or `floor` if more.
std::vector<float> relativeStrength(const std::vector<Onset>& onsets, float floor)
{
    std::vector<float> result(onsets.size());
    std::vector<float> around;
    std::size_t from = 0;
    std::size_t to = 0;
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        while (onsets[from].ms < onsets[i].ms - kNeighbourhoodMs)
            ++from;
        while (to < onsets.size() && onsets[to].ms <= onsets[i].ms + kNeighbourhoodMs)
            ++to;
        around.clear();
        for (std::size_t j = from; j < to; ++j)
            around.push_back(onsets[j].strength);
        const float reference = std::max(percentile(around, 0.9), floor);
        result[i] = onsets[i].strength / reference;
    }
    return result;
}

float sureFrom(Metre metre)
{
    return metre == Metre::beat ? kSureOnBeat : metre == Metre::eighth ? kSureHalfBeat : kSureElsewhere;
}

// The onsets after the lead and within the player's length that are sure
// to be music, each scored by its rhythm.
std::vector<Candidate> candidatesOf(const Features& features, const Beats& beats, LeftOut& leftOut)
{
    std::vector<float> all;
    for (const Onset& onset : features.onsets)
        all.push_back(onset.strength);
    const std::vector<float> relative = relativeStrength(features.onsets, kNoiseShare * percentile(all, 0.9));
    const std::vector<RhythmOnset> rhythm = rhythmOf(features, beats);
    const double lastMs = std::min<double>(features.audio.lengthMs, features.durationMs);
    std::vector<Candidate> result;
    for (std::size_t i = 0; i < features.onsets.size(); ++i) {
        const auto ms = static_cast<std::int32_t>(std::lround(features.onsets[i].ms));
        if (ms < charting::kLeadMs) {
            ++leftOut.inLead;
            continue;
        }
        if (ms > lastMs)
            continue;
        const RhythmOnset& r = rhythm[i];
        if (relative[i] < sureFrom(r.metre)) {
            ++leftOut.unsure;
            continue;
        }
        const float pattern = r.presence >= kPatternPresence ? 1.0f : 0.2f * r.presence;
        const float inBar = r.inBar == 0 ? 1.0f : r.inBar == 2 ? kThirdOfBar : kOffBeatOfBar;
        const float rank = kRank[static_cast<std::size_t>(r.metre)] * inBar;
        result.push_back({ms, rank * r.loudness * pattern, relative[i], r.metre, r.inBar,
                          reversedBits(static_cast<std::uint32_t>(i))});
    }
    return result;
}

// Above this tempo easy keeps to the first and third beats of a bar: half
// notes. On a song at 150 BPM, letting the other beats in where those had
// no onset took easy's notes on the song's beats from 90 % to 83 %.
constexpr double kHalvesFromBpm = 135;

bool allowed(const Candidate& c, const LevelRule& rule, bool halves)
{
    if (!rule.allows[static_cast<std::size_t>(c.metre)])
        return false;
    return !(halves && rule.level == Level::easy && c.inBar % 2 != 0);
}

// Whether a note at `ms` keeps `gap` from every note in `times`.
bool hasRoom(const std::set<std::int32_t>& times, std::int32_t ms, std::int32_t gap)
{
    const auto next = times.lower_bound(ms);
    if (next != times.end() && *next - ms < gap)
        return false;
    return next == times.begin() || ms - *std::prev(next) >= gap;
}

// Where notes are more than kLongestBareMs apart (or from the lead or the
// end) and an allowed candidate lies between, the best-scored one nearest
// the middle of the stretch is taken, until no such stretch is left.
void fillBareStretches(std::set<std::int32_t>& times, const std::vector<const Candidate*>& order, std::int32_t gap,
                       std::int32_t endMs)
{
    for (bool added = true; added && times.size() < static_cast<std::size_t>(charting::kMaxNotes);) {
        added = false;
        std::int32_t from = charting::kLeadMs;
        std::vector<std::int32_t> bounds(times.begin(), times.end());
        bounds.push_back(endMs);
        for (std::int32_t to : bounds) {
            if (to - from > kLongestBareMs) {
                const Candidate* best = nullptr;
                for (const Candidate* c : order) {
                    if (c->ms > from && c->ms < to && hasRoom(times, c->ms, gap) &&
                        (best == nullptr || c->score > best->score))
                        best = c;
                }
                if (best != nullptr) {
                    times.insert(best->ms);
                    added = true;
                    break;
                }
            }
            from = to;
        }
    }
}

// The notes of one level: the level below's, then its own candidates best
// first, each keeping the level's spacing, up to `wanted`.
std::set<std::int32_t> levelNotes(const std::vector<Candidate>& byScore, const LevelRule& rule, bool halves,
                                  std::set<std::int32_t> times, std::size_t wanted, std::int32_t endMs)
{
    std::vector<const Candidate*> order;
    for (const Candidate& c : byScore) {
        if (allowed(c, rule, halves))
            order.push_back(&c);
    }
    for (const Candidate* c : order) {
        if (times.size() >= wanted)
            break;
        if (hasRoom(times, c->ms, rule.minGapMs))
            times.insert(c->ms);
    }
    fillBareStretches(times, order, rule.minGapMs, endMs);
    return times;
}

}  // namespace

std::string_view levelName(Level level) { return ruleOf(level).name; }

std::optional<Level> levelNamed(std::string_view name)
{
    for (const LevelRule& rule : kRules) {
        if (rule.name == name)
            return rule.level;
    }
    return std::nullopt;
}

Placement placeNotes(const Features& features, const Beats& beats, Level level)
{
    Placement placement;
    std::vector<Candidate> byScore = candidatesOf(features, beats, placement.leftOut);
    std::stable_sort(byScore.begin(), byScore.end(), [](const Candidate& a, const Candidate& b) {
        if (a.score != b.score)
            return a.score > b.score;
        return a.own != b.own ? a.own > b.own : a.spread < b.spread;
    });
    const bool halves = beats.bpm > kHalvesFromBpm;
    const double playableSeconds = std::max(0.0, features.durationMs - charting::kLeadMs) / 1000.0;
    const auto endMs = static_cast<std::int32_t>(std::min<double>(features.audio.lengthMs, features.durationMs));

    // Each level holds the notes of the level below, so the levels nest.
    std::set<std::int32_t> times;
    for (const LevelRule& rule : kRules) {
        std::size_t sure = 0;
        for (const Candidate& c : byScore)
            sure += allowed(c, rule, halves) ? 1 : 0;
        const auto byDensity = static_cast<int>(std::lround(rule.notesPerSecond * playableSeconds));
        const auto most = static_cast<int>(rule.share * charting::kMaxNotes);
        const auto offered = static_cast<int>(std::lround(rule.share * static_cast<double>(byScore.size())));
        placement.wanted = std::max(1, std::min({byDensity, most, offered}));
        placement.capped = byDensity > most && offered >= most;
        placement.sparse = offered < std::min(byDensity, most);
        times = levelNotes(byScore, rule, halves, std::move(times), static_cast<std::size_t>(placement.wanted), endMs);
        if (rule.level == level) {
            placement.leftOut.offBeat = static_cast<int>(byScore.size() - sure);
            break;
        }
    }
    PitchReader pitch;
    for (std::int32_t ms : times) {
        const auto c = std::find_if(byScore.begin(), byScore.end(), [&](const Candidate& x) { return x.ms == ms; });
        placement.picks.push_back({ms, pitch.at(features, ms), c != byScore.end() && c->metre == Metre::beat});
    }
    placement.leftOut.thinned =
        std::max(0, static_cast<int>(byScore.size()) - placement.leftOut.offBeat - static_cast<int>(times.size()));
    return placement;
}

}  // namespace zorv::chartmake
