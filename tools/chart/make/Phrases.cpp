#include "tools/chart/make/Phrases.h"

#include <algorithm>
#include <map>
#include <set>

namespace zorv::chartmake {

Place placeOf(const RhythmOnset& r, int perBar)
{
    switch (r.metre) {
    case Metre::beat: return r.inBar <= 0 ? firstBeat : r.inBar == 2 && perBar == 4 ? thirdBeat : otherBeats;
    case Metre::eighth: return eighths;
    case Metre::sixteenth:
    case Metre::triplet: return finer;
    default: return offGrid;
    }
}

namespace {

// Whether beat j begins a bar; beats without places in the bar take them
// in turn.
bool barStartsAt(const Beats& beats, std::size_t j)
{
    const auto inBar = [&](std::size_t k) {
        return k < beats.inBar.size() ? beats.inBar[k] : static_cast<int>(k % static_cast<std::size_t>(beats.perBar));
    };
    return j == 0 || inBar(j) <= inBar(j - 1);
}

// The bars of the phrase beginning at `from` and ending at `to`: counted
// on the beats, kPhraseBars but for the first and last phrases.
int barsBetween(const Beats& beats, double from, double to)
{
    int bars = 0;
    for (std::size_t j = 0; j < beats.ms.size(); ++j)
        bars += barStartsAt(beats, j) && beats.ms[j] >= from && beats.ms[j] < to ? 1 : 0;
    return std::max(bars, 1);
}

}  // namespace

std::vector<double> phraseStarts(const Beats& beats, double endMs)
{
    std::vector<double> starts;
    int bars = 0;
    for (std::size_t j = 0; j < beats.ms.size(); ++j) {
        if (barStartsAt(beats, j) && bars++ % kPhraseBars == 0)
            starts.push_back(beats.ms[j]);
    }
    if (starts.empty())
        for (double t = 0; t < endMs; t += kPhraseMsWithoutBeats)
            starts.push_back(t);
    return starts;
}

int phraseOf(const std::vector<double>& starts, double ms)
{
    const auto after = std::upper_bound(starts.begin(), starts.end(), ms);
    return std::max(0, static_cast<int>(after - starts.begin()) - 1);
}

namespace {

// A phrase takes the beats, or the eighths, only where the music plays at
// least this share of them through the phrase; where it plays fewer, they
// are passing notes, and a rhythm with passing notes does not repeat.
constexpr double kRhythmShare = 0.5;

// How many of a bar's slots are of `place`; 0 for the places the music
// need not play throughout.
int slotsOf(Place place, int perBar, bool thirds)
{
    switch (place) {
    case firstBeat: return 1;
    case thirdBeat: return perBar == 4 ? 1 : 0;
    case otherBeats: return perBar - (perBar == 4 ? 2 : 1);
    case eighths: return thirds ? 2 * perBar : perBar;
    default: return 0;
    }
}

bool playedThrough(const std::vector<const Candidate*>& group, Place place, int perBar, bool thirds, int bars)
{
    std::set<std::pair<int, int>> slots;
    for (const Candidate* c : group)
        slots.insert({c->bar, c->slot});
    return static_cast<double>(slots.size()) >= kRhythmShare * slotsOf(place, perBar, thirds) * bars;
}

// A phrase in a swing or in six-eight moves in thirds of the beat rather
// than halves: where it plays more onsets on thirds than on halves, the
// thirds are its eighths (the next place after the beats) and the halves
// go with the sixteenths. Whether it does.
bool movesInThirds(std::array<std::vector<const Candidate*>, kPlaces>& groups)
{
    auto& halves = groups[eighths];
    auto& finer = groups[Place::finer];
    const auto onThird = [](const Candidate* c) { return c->slot >= 0 && c->slot % 4 == 0 && c->slot % 12 != 0; };
    const auto thirds = std::count_if(finer.begin(), finer.end(), onThird);
    if (thirds <= static_cast<std::ptrdiff_t>(halves.size()))
        return false;
    std::vector<const Candidate*> rest = halves;
    halves.clear();
    for (const Candidate* c : finer)
        (onThird(c) ? halves : rest).push_back(c);
    finer = rest;
    return true;
}

// Where a phrase does not play its eighths through, it may still play a
// riff: the same places in most bars, the slots at least this share of its
// bars play. What it plays finer than eighths is all its own rhythm where
// its eighths run through, and else only such a riff.
constexpr double kRiffShare = 0.75;

// Keeps the candidates at the slots of a riff.
void keepRiff(std::vector<const Candidate*>& group, int bars)
{
    std::map<int, std::set<int>> barsAt;
    for (const Candidate* c : group)
        barsAt[c->slot].insert(c->bar);
    std::erase_if(group, [&](const Candidate* c) {
        return c->slot < 0 || static_cast<double>(barsAt[c->slot].size()) < kRiffShare * bars;
    });
}

}  // namespace

Phrases phrasesOf(const std::vector<Candidate>& candidates, const Beats& beats, double endMs)
{
    const std::vector<double> starts = phraseStarts(beats, endMs);
    Phrases p;
    p.groups.resize(starts.size());
    p.intensity.assign(starts.size(), 0);
    p.reached.assign(starts.size(), 0);
    p.played.resize(starts.size());
    p.riff.assign(starts.size(), false);
    for (const Candidate& c : candidates) {
        const auto k = static_cast<std::size_t>(c.phrase);
        p.intensity[k] += c.loudness;
        p.groups[k][static_cast<std::size_t>(c.place)].push_back(&c);
        if (c.place == firstBeat && p.groups[k][phraseFirst].empty())
            p.groups[k][phraseFirst].push_back(&c);
    }
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const double to = k + 1 < starts.size() ? starts[k + 1] : std::max(endMs, starts[k] + 1);
        p.intensity[k] /= static_cast<float>(std::max(1.0, (to - starts[k]) / 1000.0));
        const int bars = barsBetween(beats, starts[k], to);
        const bool thirds = movesInThirds(p.groups[k]);
        for (int place = 0; place < kPlaces; ++place) {
            auto& group = p.groups[k][static_cast<std::size_t>(place)];
            bool& played = p.played[k][static_cast<std::size_t>(place)];
            played = beats.ms.empty() || playedThrough(group, static_cast<Place>(place), beats.perBar, thirds, bars);
            const bool eighthsThrough = place > eighths && p.played[k][eighths] && !p.riff[k];
            if (!beats.ms.empty() && place >= eighths && (!played || (place >= finer && !eighthsThrough))) {
                p.riff[k] = p.riff[k] || place == eighths;
                keepRiff(group, bars);
                played = !group.empty();
            }
            std::stable_sort(group.begin(), group.end(), [](const Candidate* x, const Candidate* y) {
                return x->own != y->own ? x->own > y->own : x->ms < y->ms;
            });
        }
    }
    return p;
}

}  // namespace zorv::chartmake
