#include "tools/chart/make/Placement.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <set>

#include "charting/Charting.h"
#include "core/Lanes.h"
#include "tools/chart/make/Phrases.h"

namespace zorv::chartmake {
namespace {

struct LevelRule {
    Level level;
    std::string_view name;
    double notesPerSecond;
    // At most this share of kMaxNotes, and of the onsets sure enough to
    // chart: long songs and sparse ones differ by level too.
    double share;
    // Between any two notes: easy's lets quarters in up to 150 BPM, medium's
    // eighths up to 166.
    std::int32_t minGapMs;
    Place finest;  // the finest place of the grid its notes may fall on
};

// The bundled charts, written by hand from the scores, run at 1.2 notes a
// second (easy) and 1.8 (medium). Easy keeps to the beat, medium to its
// eighths (and a swing's thirds), hard follows the music's own rhythm.
constexpr LevelRule kRules[] = {
    {Level::easy, "easy", 1.1, 0.6, 395, otherBeats},
    {Level::medium, "medium", 1.9, 0.8, 180, eighths},
    {Level::hard, "hard", 2.8, 1.0, charting::kMinNoteGapMs, offGrid},
};
static_assert(kRules[2].minGapMs >= charting::kMinNoteGapMs);

const LevelRule& ruleOf(Level level) { return kRules[static_cast<int>(level)]; }

// Each finer place halves a passage's claim to it: a passage half as
// intense gets its quarters when a twice as intense one gets its eighths.
constexpr float kFinerClaim = 0.5f;

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
// to be music, each where its note would go.
std::vector<Candidate> candidatesOf(const Features& features, const Beats& beats, LeftOut& leftOut)
{
    std::vector<float> all;
    for (const Onset& onset : features.onsets)
        all.push_back(onset.strength);
    const std::vector<float> relative = relativeStrength(features.onsets, kNoiseShare * percentile(all, 0.9));
    const std::vector<RhythmOnset> rhythm = rhythmOf(features, beats);
    const double lastMs = std::min<double>(features.audio.lengthMs, features.durationMs);
    const std::vector<double> phrases = phraseStarts(beats, lastMs);
    std::vector<Candidate> result;
    for (std::size_t i = 0; i < features.onsets.size(); ++i) {
        const RhythmOnset& r = rhythm[i];
        const auto ms = static_cast<std::int32_t>(std::lround(r.gridMs));
        if (ms < charting::kLeadMs) {
            ++leftOut.inLead;
            continue;
        }
        if (ms > lastMs)
            continue;
        if (relative[i] < sureFrom(r.metre)) {
            ++leftOut.unsure;
            continue;
        }
        result.push_back({ms, r.loudness, relative[i], placeOf(r, beats.perBar), phraseOf(phrases, ms), r.bar, r.slot});
    }
    return result;
}

// Above this tempo easy keeps to the first and third beats of a bar: half
// notes. On a song at 150 BPM, letting the other beats in where those had
// no onset took easy's notes on the song's beats from 90 % to 83 %.
constexpr double kHalvesFromBpm = 135;

Place finestOf(const LevelRule& rule, bool halves)
{
    return halves && rule.level == Level::easy ? thirdBeat : rule.finest;
}

// Whether a note at `ms` keeps `gap` from every note in `times`.
bool hasRoom(const std::set<std::int32_t>& times, std::int32_t ms, std::int32_t gap)
{
    const auto next = times.lower_bound(ms);
    if (next != times.end() && *next - ms < gap)
        return false;
    return next == times.begin() || ms - *std::prev(next) >= gap;
}

// The game holds kNotesInFlightPerLane arrows a lane, each for
// kFiveNoteSpanMs, and a lane's arrows kMinLaneGapMs apart: no more notes
// than that fit in those spans, whatever the lanes. The lanes also follow
// the melody, so a place is only taken where its notes leave room for
// that: at most kRoomShare of the notes that fit. (At the full count, a
// band recording at 150 BPM lost 36 of its 298 hard notes for want of a
// lane, every one a hole in a run of eighths.)
constexpr double kRoomShare = 0.9;
constexpr int kMostInFlight = static_cast<int>(kRoomShare * kLaneCount * charting::kNotesInFlightPerLane);

// Whether the notes around `ms` (it among them) crowd more than `most`
// into any span of `spanMs`.
bool crowds(const std::set<std::int32_t>& times, std::int32_t ms, std::int32_t spanMs, int most)
{
    std::vector<std::int32_t> near(times.lower_bound(ms - spanMs + 1), times.lower_bound(ms + spanMs));
    for (std::size_t from = 0, to = 0; from < near.size() && near[from] <= ms; ++from) {
        while (to < near.size() && near[to] - near[from] < spanMs)
            ++to;
        if (static_cast<int>(to - from) > most)
            return true;
    }
    return false;
}

bool crowds(const std::set<std::int32_t>& times, std::int32_t ms)
{
    return crowds(times, ms, charting::kFiveNoteSpanMs, kMostInFlight) ||
           crowds(times, ms, charting::kMinLaneGapMs, kLaneCount);
}

// Takes a phrase's notes at one place: every candidate there with room.
// Undone, and false, when they would take the notes past `wanted` or crowd
// the lanes.
bool takePlace(std::set<std::int32_t>& times, const std::vector<const Candidate*>& group, std::int32_t gap,
               std::size_t wanted)
{
    std::vector<std::int32_t> added;
    bool crowded = false;
    for (const Candidate* c : group) {
        if (hasRoom(times, c->ms, gap)) {
            times.insert(c->ms);
            added.push_back(c->ms);
        }
    }
    for (std::int32_t ms : added)
        crowded = crowded || crowds(times, ms);
    if (times.size() <= wanted && !crowded)
        return true;
    for (std::int32_t ms : added)
        times.erase(ms);
    return false;
}

// The notes of one level: the level below's, then whole places of whole
// phrases, the most intense phrase's coarsest place first, each finer
// place claiming kFinerClaim of the one before; a phrase whose next place
// does not fit in `wanted` takes no finer one.
void levelNotes(std::set<std::int32_t>& times, Phrases& phrases, const LevelRule& rule, Place finest,
                std::size_t wanted)
{
    struct Step {
        float claim;
        std::size_t phrase;
        // Between equal claims: the phrase's index with its bits reversed,
        // which spreads them over the whole song (a van der Corput
        // sequence) instead of taking them from its start.
        std::uint32_t spread;
    };
    std::vector<Step> steps;
    for (std::size_t k = 0; k < phrases.groups.size(); ++k)
        steps.push_back({phrases.intensity[k] * std::pow(kFinerClaim, static_cast<float>(phrases.reached[k])), k,
                         reversedBits(static_cast<std::uint32_t>(k))});
    std::vector<bool> closed(steps.size(), false);
    // Each phrase's next place, best claim first, until none is left.
    for (;;) {
        const auto best = std::max_element(steps.begin(), steps.end(), [&](const Step& a, const Step& b) {
            const bool aOpen = !closed[a.phrase], bOpen = !closed[b.phrase];
            if (aOpen != bOpen)
                return bOpen;
            return a.claim != b.claim ? a.claim < b.claim : a.spread > b.spread;
        });
        if (best == steps.end() || closed[best->phrase])
            return;
        int& reached = phrases.reached[best->phrase];
        if (reached > finest) {
            closed[best->phrase] = true;
            continue;
        }
        const auto place = static_cast<std::size_t>(reached);
        // A beat the music does not play through is passed over: its notes
        // would be passing ones. Without eighths played through, nothing
        // finer is a rhythm.
        const bool played = phrases.played[best->phrase][place];
        if ((!played && reached >= eighths) ||
            (played && !takePlace(times, phrases.groups[best->phrase][place], rule.minGapMs, wanted))) {
            closed[best->phrase] = true;
            continue;
        }
        ++reached;
        best->claim *= kFinerClaim;
    }
}

// Where notes are more than kLongestBareMs apart (or from the lead or the
// end) and a candidate the level allows lies between, the one nearest the
// middle of the stretch is taken, until no such stretch is left.
void fillBareStretches(std::set<std::int32_t>& times, const std::vector<Candidate>& candidates, Place finest,
                       std::int32_t gap, std::int32_t endMs)
{
    for (bool added = true; added && times.size() < static_cast<std::size_t>(charting::kMaxNotes);) {
        added = false;
        std::int32_t from = charting::kLeadMs;
        std::vector<std::int32_t> bounds(times.begin(), times.end());
        bounds.push_back(endMs);
        for (std::int32_t to : bounds) {
            if (to - from > kLongestBareMs) {
                const Candidate* best = nullptr;
                const auto fromMiddle = [&](const Candidate& c) { return std::abs(c.ms - (from + to) / 2); };
                for (const Candidate& c : candidates) {
                    if (c.place > finest || c.ms <= from || c.ms >= to || !hasRoom(times, c.ms, gap))
                        continue;
                    if (best == nullptr || fromMiddle(c) < fromMiddle(*best) ||
                        (fromMiddle(c) == fromMiddle(*best) && c.loudness > best->loudness))
                        best = &c;
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
    const std::vector<Candidate> candidates = candidatesOf(features, beats, placement.leftOut);
    const bool halves = beats.bpm > kHalvesFromBpm;
    const double playableSeconds = std::max(0.0, features.durationMs - charting::kLeadMs) / 1000.0;
    const auto endMs = static_cast<std::int32_t>(std::min<double>(features.audio.lengthMs, features.durationMs));
    Phrases phrases = phrasesOf(candidates, beats, endMs);

    // Each level holds the notes of the level below, so the levels nest.
    std::set<std::int32_t> times;
    for (const LevelRule& rule : kRules) {
        const Place finest = finestOf(rule, halves);
        const auto byDensity = static_cast<int>(std::lround(rule.notesPerSecond * playableSeconds));
        const auto most = static_cast<int>(rule.share * charting::kMaxNotes);
        const auto offered = static_cast<int>(std::lround(rule.share * static_cast<double>(candidates.size())));
        placement.wanted = std::max(1, std::min({byDensity, most, offered}));
        placement.capped = byDensity > most && offered >= most;
        placement.sparse = offered < std::min(byDensity, most);
        levelNotes(times, phrases, rule, finest, static_cast<std::size_t>(placement.wanted));
        fillBareStretches(times, candidates, finest, rule.minGapMs, endMs);
        if (rule.level == level) {
            // A swing's thirds sit on a finer place than medium keeps to,
            // but medium takes them: off the level's grid is what it left.
            placement.leftOut.offBeat =
                static_cast<int>(std::count_if(candidates.begin(), candidates.end(), [&](const Candidate& c) {
                    return c.place > finest && times.count(c.ms) == 0;
                }));
            break;
        }
    }
    PitchReader pitch;
    for (std::int32_t ms : times) {
        const auto c =
            std::find_if(candidates.begin(), candidates.end(), [&](const Candidate& x) { return x.ms == ms; });
        placement.picks.push_back({ms, pitch.at(features, ms), c != candidates.end() && c->place <= otherBeats});
    }
    placement.leftOut.thinned =
        std::max(0, static_cast<int>(candidates.size()) - placement.leftOut.offBeat - static_cast<int>(times.size()));
    return placement;
}

}  // namespace zorv::chartmake
