#pragma once
// A song as the generator sees it: notes on a sixteenth grid for each part,
// drum hits, and the melody notes picked to become arrows. The synthesiser
// renders it, the chart writer turns the picked notes into a chart; both read
// the same positions, so the arrows cannot drift from the music.

#include "tools/songs/Notation.h"
#include "tools/songs/Random.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorv::songs {

// Every song renders at this rate, in samples per second.
inline constexpr int kSampleRate = 44100;

enum class Voice {
    flute,
    marimba,
    ePiano,
    warmPad,
    roundBass,
    bell,
    sawLead,
    pluck,
    sawPad,
    synthBass,
    strings,
    piano,
    organ,
    guitar,
    uprightBass,
    vibraphone,
    brass,
};
enum class Drum { kick, snare, clap, rim, closedHat, openHat, shaker, crash, tomHigh, tomLow, ride, brush };
enum class Kit { soft, punchy };

// Which melody notes of a section become arrows.
enum class ChartRule {
    none,
    beats,    // notes that start on a beat
    eighths,  // every note on the eighth grid
};

struct Note {
    int step = 0;
    int length = 0;  // steps
    int pitch = 0;   // MIDI
    float velocity = 0.8f;
    int nudge = 0;  // samples after (or, negative, before) the step: a player's looseness
};

// How a part sounds and sits in the mix.
struct PartSetup {
    std::string name;
    Voice voice = Voice::flute;
    float gain = 1.0f;
    float pan = 0.0f;      // -1 left .. 1 right
    float spread = 0.0f;   // pan added per octave above middle C
    float reverb = 0.2f;   // send
    float echo = 0.0f;     // send
    bool doubled = false;  // rendered twice, panned apart, for width
    bool ducked = false;   // pushed down by the kick
    float looseMs = 0.0f;  // each note lands up to this far off its step, either way
};

struct Part : PartSetup {
    std::vector<Note> notes;
};

struct DrumHit {
    int step = 0;
    Drum drum = Drum::kick;
    float velocity = 1.0f;
    int nudge = 0;  // samples, as Note::nudge
};

// A melody note that becomes an arrow; `phrase` groups the notes whose
// pitch range is mapped across the four lanes.
struct ChartCue {
    int step = 0;
    int pitch = 0;
    int phrase = 0;
};

// From `bar` on (0-based), the song goes at `bpm`.
struct TempoChange {
    int bar = 0;
    int bpm = 120;
};

// The second step of each pair of `pairSteps` halves (4: eighths, 2:
// sixteenths) starts `percent` of the way through the pair: 50 is straight,
// 67 a triplet shuffle. Beats stay where they are.
struct Swing {
    int percent = 50;
    int pairSteps = 4;
};

struct Song {
    std::string name;
    int bpm = 120;  // beats (of the meter) per minute at the start
    Meter meter = kFourFour;
    std::vector<TempoChange> tempoChanges;  // by ascending bar, none at bar 0
    Swing swing;
    int bars = 0;
    double tailSeconds = 3.0;  // after the last bar, for the reverb to die away
    Kit kit = Kit::soft;
    float drumGain = 1.0f;
    float duckDepth = 0.0f;
    float reverbDb = -14.0f;  // reverb return against the dry mix
    float echoDb = -20.0f;    // echo return against the dry mix
    std::uint32_t seed = 1;
    std::vector<Part> parts;
    std::vector<DrumHit> drums;
    std::vector<ChartCue> cues;
};

// Position of a grid step of a straight 4/4 song in ms of audio, rounded to
// the nearest ms.
int stepMs(int bpm, int step);
// Position of a grid step of a straight 4/4 song in samples at 44.1 kHz,
// rounded down.
std::int64_t stepSample(int bpm, int step);

// The same through the song's meter, tempo changes and swing. Each tempo
// segment starts on the sample its predecessor's grid puts it on, so the
// rounding never accumulates more than a sample per change. Steps past the
// last bar go on at the last tempo.
std::int64_t stepSample(const Song& song, int step);
int stepMs(const Song& song, int step);
// Where a note or hit sounds: its step plus its nudge, never before 0.
std::int64_t onsetSample(const Song& song, int step, int nudge);
// How long a note of `length` steps from `step` is held, in seconds.
double gateSeconds(const Song& song, int step, int length);
// Length of the rendered audio in samples and in whole ms.
std::int64_t songSamples(const Song& song);
int songMs(const Song& song);

// Short lower-case names for the truth files: "saw-lead", "closed-hat".
std::string_view voiceName(Voice voice);
std::string_view drumName(Drum drum);

struct Section {
    int index = 0;
    int step = 0;  // first step of the section
    int bars = 0;
    std::vector<ChordSpan> chords;  // absolute steps
};

// A bar's worth of characters (16 in 4/4) for each drum; a pattern twice as
// long covers two bars. 'X' accent, 'x' normal, 'o' soft, anything else silence.
using DrumPattern = std::vector<std::pair<Drum, std::string_view>>;

// Writes a song section by section. The arrangement helpers read patterns
// with one character per slot, the slot being a bar divided by the pattern
// length (8: eighths, 16: sixteenths); '.' holds the previous note, '-' is
// silence. A held note is struck again when the chord changes under it.
class SongBuilder {
public:
    SongBuilder(std::string name, int bpm, std::uint32_t seed, Kit kit, Meter meter = kFourFour);

    // Swing for the whole song; throws unless the pair divides the beat.
    void swing(Swing swing);
    // The tempo from the next section on. Throws unless bpm > 0.
    void tempo(int bpm);
    // Drum hits land up to this far off their steps, either way.
    void looseDrums(float ms) { drumLooseMs_ = ms; }

    int addPart(const PartSetup& setup);
    Section section(std::string_view chords);

    // The tune. Notes the rule accepts become chart cues (unless marked).
    void melody(int part, const Section& sec, std::string_view notation, ChartRule rule, float velocity);
    // A second voice under the tune: for each tune note the highest chord
    // tone at least a minor third below it. Never charted.
    void harmony(int part, const Section& sec, std::string_view notation, float velocity);
    // 'R' bass note (slash bass included), 'O' its octave, '5' and '3' the
    // chord's fifth and third above it, 'L' the fifth below.
    void bass(int part, const Section& sec, std::string_view pattern, int lowest, float velocity);
    // Block chords, voice-led, lowest note at or above `lowest`. 'x' strikes,
    // 'o' strikes softly.
    void comp(int part, const Section& sec, std::string_view pattern, int lowest, float velocity);
    // Broken chords: digit k is the k-th chord tone at or above `lowest`.
    void arp(int part, const Section& sec, std::string_view pattern, int lowest, float velocity);
    // The pattern on every bar; `lastBar`, if given, replaces it on the last.
    void drums(const Section& sec, const DrumPattern& pattern, const DrumPattern* lastBar = nullptr);
    void hit(int step, Drum drum, float velocity);

    struct Finish {
        double tailSeconds = 3.0;
        float drumGain = 1.0f;
        float duckDepth = 0.0f;
        float reverbDb = -14.0f;
        float echoDb = -20.0f;
    };
    Song finish(const Finish& mix);

private:
    struct Event {
        int step;
        int length;
        char symbol;
    };
    std::vector<Event> events(const Section& sec, std::string_view pattern) const;
    float humanise(float velocity);
    int nudge(float looseMs);
    void addNote(int part, const Note& note);

    Song song_;
    Rng rng_;
    Rng timing_;
    float drumLooseMs_ = 0.0f;
    int sections_ = 0;
    int lastBassRoot_ = 0;
    std::map<int, std::vector<int>> lastVoicing_;  // per part
};

}  // namespace zorv::songs
