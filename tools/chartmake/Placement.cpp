#include "tools/chartmake/Placement.h"

#include <algorithm>
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
    float halfBeatWeight;   // an onset half way between beats, against one on a beat
    float offBeatWeight;    // anywhere else; 0 leaves them out
};

// The bundled charts, written by hand from the scores, run at 1.2 notes a
// second (easy) and 1.8 (medium).
constexpr LevelRule kRules[] = {
    {Level::easy, "easy", 1.1, 0.6, 450, 0.0f, 0.0f},
    {Level::medium, "medium", 1.9, 0.8, 200, 0.7f, 0.4f},
    {Level::hard, "hard", 2.8, 1.0, charting::kMinNoteGapMs, 0.85f, 0.6f},
};
static_assert(kRules[2].minGapMs >= charting::kMinNoteGapMs);

const LevelRule& ruleOf(Level level) { return kRules[static_cast<int>(level)]; }

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
    float score;
    bool onBeat;
};

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

enum class Metre { beat, halfBeat, other };

Metre metreOf(double ms, const std::vector<double>& beats)
{
    const auto after = std::lower_bound(beats.begin(), beats.end(), ms);
    if (after != beats.end() && *after - ms <= kOnBeatMs)
        return Metre::beat;
    if (after != beats.begin() && ms - *std::prev(after) <= kOnBeatMs)
        return Metre::beat;
    if (after != beats.end() && after != beats.begin()) {
        const double half = (*after + *std::prev(after)) / 2;
        if (std::fabs(ms - half) <= kOnBeatMs)
            return Metre::halfBeat;
    }
    return Metre::other;
}

// Takes candidates strongest first, each at least `gap` ms from every one
// taken before.
std::vector<const Candidate*> spaced(const std::vector<Candidate>& byScore, std::int32_t gap, std::size_t most)
{
    std::vector<const Candidate*> taken;
    std::set<std::int32_t> times;
    for (const Candidate& c : byScore) {
        if (taken.size() == most)
            break;
        const auto next = times.lower_bound(c.ms);
        if (next != times.end() && *next - c.ms < gap)
            continue;
        if (next != times.begin() && c.ms - *std::prev(next) < gap)
            continue;
        times.insert(c.ms);
        taken.push_back(&c);
    }
    return taken;
}

// The gap search overshoots where onsets are evenly spaced: past the gap
// between them, the count halves. Fills up to `wanted` from the strongest
// left over that keep `gap`, on a tie the one farthest from any taken, so
// the fill spreads rather than piling up at the start.
void fill(std::vector<const Candidate*>& taken, const std::vector<Candidate>& byScore, std::int32_t gap,
          std::size_t wanted)
{
    std::set<std::int32_t> times;
    for (const Candidate* c : taken)
        times.insert(c->ms);
    auto room = [&](std::int32_t ms) {
        const auto next = times.lower_bound(ms);
        const std::int32_t after = next == times.end() ? INT32_MAX : *next - ms;
        const std::int32_t before = next == times.begin() ? INT32_MAX : ms - *std::prev(next);
        return std::min(after, before);
    };
    while (taken.size() < wanted) {
        const Candidate* best = nullptr;
        std::int32_t bestRoom = 0;
        for (const Candidate& c : byScore) {
            if (best != nullptr && c.score < best->score)
                break;
            const std::int32_t r = room(c.ms);
            if (r >= gap && r > bestRoom) {
                best = &c;
                bestRoom = r;
            }
        }
        if (best == nullptr)
            return;
        taken.push_back(best);
        times.insert(best->ms);
    }
}

// The onsets sure enough to chart, each scored for `rule`; easy's are the
// ones on beats.
std::vector<Candidate> candidatesFor(const Features& features, const Beats& beats, const LevelRule& rule,
                                     LeftOut& leftOut, std::size_t& sure)
{
    std::vector<float> all;
    for (const Onset& onset : features.onsets)
        all.push_back(onset.strength);
    const std::vector<float> relative = relativeStrength(features.onsets, kNoiseShare * percentile(all, 0.9));
    const double lastMs = std::min<double>(features.audio.lengthMs, features.durationMs);
    std::vector<Candidate> result;
    sure = 0;
    for (std::size_t i = 0; i < features.onsets.size(); ++i) {
        const auto ms = static_cast<std::int32_t>(std::lround(features.onsets[i].ms));
        if (ms < charting::kLeadMs) {
            ++leftOut.inLead;
            continue;
        }
        if (ms > lastMs)
            continue;
        const Metre metre = beats.ms.empty() ? Metre::beat : metreOf(features.onsets[i].ms, beats.ms);
        const float needed = metre == Metre::beat       ? kSureOnBeat
                             : metre == Metre::halfBeat ? kSureHalfBeat
                                                        : kSureElsewhere;
        if (relative[i] < needed) {
            ++leftOut.unsure;
            continue;
        }
        ++sure;
        const float weight = metre == Metre::beat       ? 1.0f
                             : metre == Metre::halfBeat ? rule.halfBeatWeight
                                                        : rule.offBeatWeight;
        if (weight <= 0) {
            ++leftOut.offBeat;
            continue;
        }
        result.push_back({ms, std::min(relative[i], 2.0f) * weight, metre == Metre::beat});
    }
    return result;
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
    const LevelRule& rule = ruleOf(level);
    Placement placement;
    std::size_t sure = 0;
    std::vector<Candidate> byScore = candidatesFor(features, beats, rule, placement.leftOut, sure);
    std::stable_sort(byScore.begin(), byScore.end(), [](const Candidate& a, const Candidate& b) {
        return a.score != b.score ? a.score > b.score : a.ms < b.ms;
    });

    const double playableSeconds = std::max(0.0, features.durationMs - charting::kLeadMs) / 1000.0;
    const auto byDensity = static_cast<int>(std::lround(rule.notesPerSecond * playableSeconds));
    const auto most = static_cast<int>(rule.share * charting::kMaxNotes);
    const auto offered = static_cast<int>(std::lround(rule.share * static_cast<double>(sure)));
    placement.wanted = std::max(1, std::min({byDensity, most, offered}));
    placement.capped = byDensity > most && offered >= most;
    placement.sparse = offered < std::min(byDensity, most);
    const auto wanted = static_cast<std::size_t>(placement.wanted);

    // The smallest spacing at which the strongest-first pass takes no more
    // than wanted: notes then spread evenly wherever there are onsets.
    std::int32_t low = rule.minGapMs;
    std::int32_t high = std::max(low, static_cast<std::int32_t>(features.durationMs) + 1);
    while (low < high) {
        const std::int32_t gap = low + (high - low) / 2;
        if (spaced(byScore, gap, wanted + 1).size() <= wanted)
            high = gap;
        else
            low = gap + 1;
    }
    std::vector<const Candidate*> taken = spaced(byScore, low, wanted);
    fill(taken, byScore, rule.minGapMs, wanted);
    PitchReader pitch;
    for (const Candidate* c : taken)
        placement.picks.push_back({c->ms, pitch.at(features, c->ms), c->onBeat});
    std::sort(placement.picks.begin(), placement.picks.end(), [](const Pick& a, const Pick& b) { return a.ms < b.ms; });
    placement.leftOut.thinned = static_cast<int>(byScore.size() - placement.picks.size());
    return placement;
}

}  // namespace zorv::chartmake
