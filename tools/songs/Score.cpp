#include "tools/songs/Score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace zorv::songs {
namespace {

const ChordSpan& chordAt(const Section& sec, int step)
{
    for (const auto& span : sec.chords) {
        if (step >= span.step && step < span.step + span.length)
            return span;
    }
    throw std::runtime_error("no chord at step " + std::to_string(step));
}

bool startsChord(const Section& sec, int step)
{
    return std::any_of(sec.chords.begin(), sec.chords.end(),
                       [step](const ChordSpan& span) { return span.step == step; });
}

std::vector<int> pitchClasses(const Chord& chord)
{
    std::vector<int> pcs;
    for (const int interval : chord.intervals) {
        const int pc = (chord.root + interval) % 12;
        if (std::find(pcs.begin(), pcs.end(), pc) == pcs.end())
            pcs.push_back(pc);
    }
    return pcs;
}

bool inChord(const std::vector<int>& pcs, int pitch)
{
    return std::find(pcs.begin(), pcs.end(), pitch % 12) != pcs.end();
}

// Smallest pitch above `from` with pitch class `pc`.
int nextAbove(int from, int pc)
{
    int p = from + 1;
    while (p % 12 != pc)
        ++p;
    return p;
}

int nextBelow(int from, int pc)
{
    int p = from - 1;
    while (p % 12 != pc)
        --p;
    return p;
}

double mean(const std::vector<int>& v)
{
    double sum = 0;
    for (const int x : v)
        sum += x;
    return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

// Close-position voicings of the chord inside [lowest, lowest + 19]; picks the
// one nearest the previous voicing so the inner voices move little.
std::vector<int> voiceChord(const Chord& chord, int lowest, const std::vector<int>& previous)
{
    const auto pcs = pitchClasses(chord);
    std::vector<int> best;
    double bestCost = 1e9;
    for (std::size_t rot = 0; rot < pcs.size(); ++rot) {
        for (int start = lowest; start < lowest + 12; ++start) {
            if (start % 12 != pcs[rot])
                continue;
            std::vector<int> v{start};
            for (std::size_t i = 1; i < pcs.size(); ++i)
                v.push_back(nextAbove(v.back(), pcs[(rot + i) % pcs.size()]));
            if (v.back() > lowest + 19)
                continue;
            const double cost = previous.empty()
                                    ? std::abs(mean(v) - (lowest + 7))
                                    : std::abs(mean(v) - mean(previous)) + 0.5 * std::abs(v.back() - previous.back());
            if (cost < bestCost) {
                bestCost = cost;
                best = v;
            }
        }
    }
    if (best.empty())
        throw std::runtime_error("chord does not fit above pitch " + std::to_string(lowest));
    return best;
}

}  // namespace

int stepMs(int bpm, int step)
{
    return static_cast<int>((static_cast<std::int64_t>(step) * 30000 + bpm) / (2 * static_cast<std::int64_t>(bpm)));
}

std::int64_t stepSample(int bpm, int step) { return static_cast<std::int64_t>(step) * 15 * kSampleRate / bpm; }

namespace {

// Samples per step times the tempo: a step lasts this / bpm samples.
std::int64_t stepScale(const Meter& meter) { return std::int64_t{60} * kSampleRate / meter.stepsPerBeat; }

// Straight time, one tempo, no swing: the game's own songs. Their timing
// stays the integer formula it always was, so they render as they always did.
bool plainTiming(const Song& song)
{
    return song.tempoChanges.empty() && song.swing.percent == 50 && song.meter.stepsPerBeat == kStepsPerBeat;
}

// Offset of a step within its swing pair, in 1/(50 * pairSteps) of a pair.
std::int64_t swingUnits(const Swing& swing, int within)
{
    const int half = swing.pairSteps / 2;
    if (within < half)
        return std::int64_t{within} * swing.percent;
    return std::int64_t{half} * swing.percent + std::int64_t{within - half} * (100 - swing.percent);
}

}  // namespace

std::int64_t stepSample(const Song& song, int step)
{
    if (plainTiming(song))
        return stepSample(song.bpm, step);
    const std::int64_t scale = stepScale(song.meter);
    int bpm = song.bpm;
    int from = 0;
    std::int64_t at = 0;
    for (const auto& change : song.tempoChanges) {
        const int changeStep = change.bar * song.meter.stepsPerBar;
        if (changeStep > step)
            break;
        at += (changeStep - from) * scale / bpm;
        from = changeStep;
        bpm = change.bpm;
    }
    if (song.swing.percent == 50)
        return at + (step - from) * scale / bpm;
    const int pairs = song.swing.pairSteps;
    const int pairStart = from + (step - from) / pairs * pairs;
    const std::int64_t units = swingUnits(song.swing, step - pairStart);
    return at + (pairStart - from) * scale / bpm + units * scale / (std::int64_t{50} * bpm);
}

int stepMs(const Song& song, int step)
{
    if (plainTiming(song))
        return stepMs(song.bpm, step);
    return static_cast<int>(std::llround(static_cast<double>(stepSample(song, step)) * 1000.0 / kSampleRate));
}

std::int64_t onsetSample(const Song& song, int step, int nudge)
{
    return std::max<std::int64_t>(0, stepSample(song, step) + nudge);
}

double gateSeconds(const Song& song, int step, int length)
{
    if (plainTiming(song)) {
        const double stepSeconds = 15.0 / song.bpm;
        return length * stepSeconds;
    }
    return static_cast<double>(stepSample(song, step + length) - stepSample(song, step)) / kSampleRate;
}

std::int64_t songSamples(const Song& song)
{
    return stepSample(song, song.bars * song.meter.stepsPerBar) + std::llround(song.tailSeconds * kSampleRate);
}

int songMs(const Song& song) { return static_cast<int>(songSamples(song) * 1000 / kSampleRate); }

std::string_view voiceName(Voice voice)
{
    switch (voice) {
    case Voice::flute: return "flute";
    case Voice::marimba: return "marimba";
    case Voice::ePiano: return "epiano";
    case Voice::warmPad: return "warm-pad";
    case Voice::roundBass: return "round-bass";
    case Voice::bell: return "bell";
    case Voice::sawLead: return "saw-lead";
    case Voice::pluck: return "pluck";
    case Voice::sawPad: return "saw-pad";
    case Voice::synthBass: return "synth-bass";
    case Voice::strings: return "strings";
    case Voice::piano: return "piano";
    case Voice::organ: return "organ";
    case Voice::guitar: return "guitar";
    case Voice::uprightBass: return "upright-bass";
    case Voice::vibraphone: return "vibraphone";
    case Voice::brass: return "brass";
    }
    throw std::logic_error("unknown voice");
}

std::string_view drumName(Drum drum)
{
    switch (drum) {
    case Drum::kick: return "kick";
    case Drum::snare: return "snare";
    case Drum::clap: return "clap";
    case Drum::rim: return "rim";
    case Drum::closedHat: return "closed-hat";
    case Drum::openHat: return "open-hat";
    case Drum::shaker: return "shaker";
    case Drum::crash: return "crash";
    case Drum::tomHigh: return "tom-high";
    case Drum::tomLow: return "tom-low";
    case Drum::ride: return "ride";
    case Drum::brush: return "brush";
    }
    throw std::logic_error("unknown drum");
}

SongBuilder::SongBuilder(std::string name, int bpm, std::uint32_t seed, Kit kit, Meter meter)
    : rng_(seed), timing_(seed ^ 0x7F4A7C15u)
{
    song_.name = std::move(name);
    song_.bpm = bpm;
    song_.meter = meter;
    song_.seed = seed;
    song_.kit = kit;
}

void SongBuilder::swing(Swing swing)
{
    if (swing.pairSteps < 2 || swing.pairSteps % 2 != 0 || song_.meter.stepsPerBeat % swing.pairSteps != 0 ||
        swing.percent <= 0 || swing.percent >= 100) {
        throw std::runtime_error("swing pairs must split the beat evenly");
    }
    song_.swing = swing;
}

void SongBuilder::tempo(int bpm)
{
    if (bpm <= 0)
        throw std::runtime_error("tempo must be above 0");
    if (song_.bars == 0) {
        song_.bpm = bpm;
    } else {
        song_.tempoChanges.push_back({song_.bars, bpm});
    }
}

int SongBuilder::nudge(float looseMs)
{
    if (looseMs <= 0)
        return 0;
    return static_cast<int>(std::lround(timing_.bipolar() * looseMs * kSampleRate / 1000.0));
}

void SongBuilder::addNote(int part, const Note& note)
{
    auto& p = song_.parts.at(static_cast<std::size_t>(part));
    Note placed = note;
    placed.nudge = nudge(p.looseMs);
    p.notes.push_back(placed);
}

int SongBuilder::addPart(const PartSetup& setup)
{
    Part part;
    static_cast<PartSetup&>(part) = setup;
    song_.parts.push_back(std::move(part));
    return static_cast<int>(song_.parts.size()) - 1;
}

Section SongBuilder::section(std::string_view chords)
{
    Section sec;
    sec.index = sections_++;
    sec.step = song_.bars * song_.meter.stepsPerBar;
    sec.chords = parseChordBars(chords, song_.meter);
    sec.bars = sec.chords.empty() ? 0 : sec.chords.back().step / song_.meter.stepsPerBar + 1;
    for (auto& span : sec.chords)
        span.step += sec.step;
    song_.bars += sec.bars;
    return sec;
}

float SongBuilder::humanise(float velocity)
{
    return std::clamp(velocity * static_cast<float>(1.0 + 0.06 * rng_.bipolar()), 0.05f, 1.0f);
}

std::vector<SongBuilder::Event> SongBuilder::events(const Section& sec, std::string_view pattern) const
{
    const int barSteps = song_.meter.stepsPerBar;
    const int slots = static_cast<int>(pattern.size());
    if (slots == 0 || barSteps % slots != 0) {
        throw std::runtime_error("pattern '" + std::string(pattern) + "' does not divide a bar");
    }
    const int slot = barSteps / slots;
    std::vector<Event> out;
    bool holding = false;
    for (int bar = 0; bar < sec.bars; ++bar) {
        for (int i = 0; i < slots; ++i) {
            const int step = sec.step + bar * barSteps + i * slot;
            const char c = pattern[static_cast<std::size_t>(i)];
            if (c == '.' && holding) {
                if (startsChord(sec, step)) {
                    out.push_back({step, slot, out.back().symbol});
                } else {
                    out.back().length += slot;
                }
            } else if (c == '-' || c == '.') {
                holding = false;
            } else {
                out.push_back({step, slot, c});
                holding = true;
            }
        }
    }
    return out;
}

void SongBuilder::melody(int part, const Section& sec, std::string_view notation, ChartRule rule, float velocity)
{
    const int beat = song_.meter.stepsPerBeat;
    for (const auto& n : parseMelody(notation, sec.bars, song_.meter)) {
        const float accent = n.step % beat == 0 ? 1.0f : 0.9f;
        addNote(part, {sec.step + n.step, n.length, n.pitch, humanise(velocity * accent)});
        const bool byRule = (rule == ChartRule::beats && n.step % beat == 0) ||
                            (rule == ChartRule::eighths && n.step % kStepsPerEighth == 0);
        if (n.mark == CueMark::always || (n.mark == CueMark::bySection && byRule)) {
            song_.cues.push_back({sec.step + n.step, n.pitch, sec.index});
        }
    }
}

void SongBuilder::harmony(int part, const Section& sec, std::string_view notation, float velocity)
{
    for (const auto& n : parseMelody(notation, sec.bars, song_.meter)) {
        const int step = sec.step + n.step;
        const auto pcs = pitchClasses(chordAt(sec, step).chord);
        for (int p = n.pitch - 3; p >= n.pitch - 9; --p) {
            if (inChord(pcs, p)) {
                addNote(part, {step, n.length, p, humanise(velocity)});
                break;
            }
        }
    }
}

void SongBuilder::bass(int part, const Section& sec, std::string_view pattern, int lowest, float velocity)
{
    const auto& notes = song_.parts.at(static_cast<std::size_t>(part)).notes;
    int spanStep = -1;
    int root = 0;
    for (const auto& e : events(sec, pattern)) {
        const auto& span = chordAt(sec, e.step);
        const Chord& chord = span.chord;
        if (span.step != spanStep) {
            // The bass register follows the previous root, so the line walks
            // instead of leaping between octaves at every change.
            const int previous = notes.empty() ? lowest + 5 : lastBassRoot_;
            int best = -1;
            for (int p = lowest; p <= lowest + 14; ++p) {
                if (p % 12 == chord.bass && (best < 0 || std::abs(p - previous) < std::abs(best - previous)))
                    best = p;
            }
            root = best;
            lastBassRoot_ = root;
            spanStep = span.step;
        }
        const int fifth = (chord.root + 7) % 12;
        int pitch = root;
        switch (e.symbol) {
        case 'R': break;
        case 'O': pitch = root + 12; break;
        case '5': pitch = nextAbove(root, fifth); break;
        case 'L': pitch = nextBelow(root, fifth); break;
        case '3': pitch = nextAbove(root, (chord.root + chord.intervals.at(1)) % 12); break;
        default: throw std::runtime_error(std::string("bass symbol '") + e.symbol + "'");
        }
        addNote(part, {e.step, e.length, pitch, humanise(velocity)});
    }
}

void SongBuilder::comp(int part, const Section& sec, std::string_view pattern, int lowest, float velocity)
{
    int spanStep = -1;
    std::vector<int> voicing;
    for (const auto& e : events(sec, pattern)) {
        const auto& span = chordAt(sec, e.step);
        if (span.step != spanStep) {
            voicing = voiceChord(span.chord, lowest, lastVoicing_[part]);
            lastVoicing_[part] = voicing;
            spanStep = span.step;
        }
        if (e.symbol != 'x' && e.symbol != 'o')
            throw std::runtime_error(std::string("comp symbol '") + e.symbol + "'");
        const float v = e.symbol == 'x' ? velocity : velocity * 0.7f;
        for (const int pitch : voicing)
            addNote(part, {e.step, e.length, pitch, humanise(v)});
    }
}

void SongBuilder::arp(int part, const Section& sec, std::string_view pattern, int lowest, float velocity)
{
    for (const auto& e : events(sec, pattern)) {
        if (e.symbol < '0' || e.symbol > '9')
            throw std::runtime_error(std::string("arp symbol '") + e.symbol + "'");
        const auto pcs = pitchClasses(chordAt(sec, e.step).chord);
        int index = e.symbol - '0';
        for (int p = lowest;; ++p) {
            if (inChord(pcs, p) && index-- == 0) {
                const float accent = (e.step - sec.step) % song_.meter.stepsPerBeat == 0 ? 1.0f : 0.85f;
                addNote(part, {e.step, e.length, p, humanise(velocity * accent)});
                break;
            }
        }
    }
}

void SongBuilder::drums(const Section& sec, const DrumPattern& pattern, const DrumPattern* lastBar)
{
    const int barSteps = song_.meter.stepsPerBar;
    for (int bar = 0; bar < sec.bars; ++bar) {
        const auto& use = (lastBar != nullptr && bar == sec.bars - 1) ? *lastBar : pattern;
        for (const auto& [drum, text] : use) {
            const int bars = static_cast<int>(text.size()) / barSteps;
            if (bars == 0 || static_cast<int>(text.size()) % barSteps != 0) {
                throw std::runtime_error("drum pattern '" + std::string(text) + "' is not whole bars");
            }
            const int offset = (bar % bars) * barSteps;
            for (int i = 0; i < barSteps; ++i) {
                const char c = text[static_cast<std::size_t>(offset + i)];
                const float v = c == 'X' ? 1.0f : c == 'x' ? 0.8f : c == 'o' ? 0.5f : 0.0f;
                if (v > 0)
                    hit(sec.step + bar * barSteps + i, drum, v);
            }
        }
    }
}

void SongBuilder::hit(int step, Drum drum, float velocity)
{
    const float v = humanise(velocity);
    song_.drums.push_back({step, drum, v, nudge(drumLooseMs_)});
}

Song SongBuilder::finish(const Finish& mix)
{
    song_.tailSeconds = mix.tailSeconds;
    song_.drumGain = mix.drumGain;
    song_.duckDepth = mix.duckDepth;
    song_.reverbDb = mix.reverbDb;
    song_.echoDb = mix.echoDb;
    for (auto& part : song_.parts) {
        std::stable_sort(part.notes.begin(), part.notes.end(),
                         [](const Note& a, const Note& b) { return a.step < b.step; });
    }
    std::stable_sort(song_.drums.begin(), song_.drums.end(),
                     [](const DrumHit& a, const DrumHit& b) { return a.step < b.step; });
    std::stable_sort(song_.cues.begin(), song_.cues.end(),
                     [](const ChartCue& a, const ChartCue& b) { return a.step < b.step; });
    return song_;
}

}  // namespace zorv::songs
