#include "tools/chartmake/Analysis.h"

// aubio_tempo runs its own phase vocoder on the same samples as the pulse
// below; its beat tracker, which aubio keeps among its unstable API, fed the
// pulse instead does the same work for one vocoder less.
#define AUBIO_UNSTABLE 1
#include <aubio/aubio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <stdexcept>

namespace zorv::chartmake {
namespace {

constexpr int kDecimation = kDecodeRate / kAnalysisRate;
static_assert(kDecimation * kAnalysisRate == kDecodeRate);
constexpr uint_t kOnsetWindow = 512;

// The pitch of an onset is read from the 93 ms that follow it, after the
// attack's noise, by aubio's harmonic comb ("fcomb") on A-weighted samples,
// which keeps the bass from taking over. Measured at the melody notes of the
// bundled songs: fcomb on A-weighted samples named 88 % and 80 % of them to
// the semitone, and its pitch moved the way the melody moved between
// consecutive notes 83 % and 78 % of the time; yinfft 22-44 % and 41-59 %,
// mcomb 20-95 % and 57-96 %, fcomb without the weighting 63 % and 30 %.
constexpr uint_t kPitchWindow = 1024;
constexpr std::int64_t kPitchDelaySamples = kAnalysisRate / 50;
// The weighting filter runs over each pitch window only, from rest, this
// many samples ahead of it: its response has settled by then. Filtering
// every sample instead cost 5 % of the whole run.
constexpr uint_t kWeightingLead = 256;
// aubio's tempo, and the onset strength the beats are searched on, run at
// half the analysis rate with the same 11.6 ms hop. Below 2.75 kHz hi-hats
// count for little: on full-band flux the beat search put every beat of a
// kick-and-hat song on the hats between the beats; on this, all on the
// kicks, and the bundled songs' beats as good or better (98.9 % and 93.7 %
// on true beats, against 97.9 % and 93.7 %). aubio's tempo costs half as
// much there (2150x against 1170x real time) for the same period on the
// bundled songs (105.4 and 127.9 BPM). Not a coarser hop instead: aubio's
// preferred tempo is set in hops, and at 23 ms it halved both songs' tempo.
constexpr uint_t kTempoRate = kAnalysisRate / 2;
constexpr uint_t kTempoHop = kHopSamples / 2;
constexpr uint_t kTempoWindow = kOnsetWindow / 2;
// aubio_tempo's sizes: 6 s of onset strength, moved on by a quarter.
constexpr uint_t kTempoFrame = 512;
constexpr uint_t kTempoStep = kTempoFrame / 4;
// Recent analysis samples kept for the pitch windows; aubio reports an onset
// about 60 ms after it happened, so 1.5 s leaves ample room.
constexpr std::size_t kRingSamples = 16384;

struct AubioDeleter {
    void operator()(aubio_onset_t* o) const { del_aubio_onset(o); }
    void operator()(aubio_beattracking_t* o) const { del_aubio_beattracking(o); }
    void operator()(aubio_pitch_t* o) const { del_aubio_pitch(o); }
    void operator()(aubio_filter_t* f) const { del_aubio_filter(f); }
    void operator()(fvec_t* v) const { del_fvec(v); }
};
template <typename T>
using AubioPtr = std::unique_ptr<T, AubioDeleter>;

template <typename T>
AubioPtr<T> made(T* object, const char* what)
{
    if (object == nullptr)
        throw std::runtime_error(std::string("aubio could not set up its ") + what);
    return AubioPtr<T>(object);
}

// aubio warns on stderr about things our settings never meet; its errors
// surface as the null objects made() turns into exceptions.
void quietAubio(sint_t, const char_t*, void*) {}

}  // namespace

struct Analyser::Impl {
    AubioPtr<aubio_onset_t> onset;
    AubioPtr<aubio_beattracking_t> tempo;
    AubioPtr<aubio_onset_t> pulse;
    AubioPtr<aubio_pitch_t> pitch;
    AubioPtr<aubio_filter_t> weighting;
    AubioPtr<fvec_t> weighted = made(new_fvec(kWeightingLead + kPitchWindow), "buffers");
    AubioPtr<fvec_t> tempoIn = made(new_fvec(kTempoHop), "buffers");
    AubioPtr<fvec_t> hop = made(new_fvec(kHopSamples), "buffers");
    AubioPtr<fvec_t> onsetOut = made(new_fvec(1), "buffers");
    AubioPtr<fvec_t> tempoFrame = made(new_fvec(kTempoFrame), "buffers");
    AubioPtr<fvec_t> tempoOut = made(new_fvec(kTempoStep), "buffers");
    uint_t tempoBlock = 0;
    AubioPtr<fvec_t> pulseOut = made(new_fvec(1), "buffers");
    AubioPtr<fvec_t> pitchIn = made(new_fvec(kPitchWindow), "buffers");
    AubioPtr<fvec_t> pitchOut = made(new_fvec(1), "buffers");

    std::array<float, kRingSamples> ring{};
    std::int64_t samples = 0;  // analysis samples so far
    uint_t inHop = 0;
    int inDecimation = 0;
    float sum = 0;
    float peak = 0;
    std::deque<std::size_t> pitchPending;  // indexes into onsets

    std::vector<float> strength;
    std::vector<float> periodHops;
    std::vector<float> pulseStrength;
    std::vector<Onset> onsets;

    Impl()
    {
        aubio_log_set_level_function(AUBIO_LOG_WRN, quietAubio, nullptr);
        onset = made(new_aubio_onset("specflux", kOnsetWindow, kHopSamples, kAnalysisRate), "onset detector");
        tempo = made(new_aubio_beattracking(kTempoFrame, kTempoHop, kTempoRate), "beat tracker");
        pulse = made(new_aubio_onset("specflux", kTempoWindow, kTempoHop, kTempoRate), "onset detector");
        pitch = made(new_aubio_pitch("fcomb", kPitchWindow, kPitchWindow, kAnalysisRate), "pitch detector");
        aubio_pitch_set_unit(pitch.get(), "midi");
        weighting = made(new_aubio_filter_a_weighting(kAnalysisRate), "A-weighting filter");
    }

    void sample(float x)
    {
        peak = std::max(peak, std::fabs(x));
        ring[static_cast<std::size_t>(samples) % kRingSamples] = x;
        ++samples;
        hop->data[inHop++] = x;
        if (inHop == kHopSamples) {
            inHop = 0;
            runHop();
        }
    }

    void runHop()
    {
        aubio_onset_do(onset.get(), hop.get(), onsetOut.get());
        strength.push_back(aubio_onset_get_descriptor(onset.get()));
        if (onsetOut->data[0] > 0) {
            // aubio takes its detection delay off; what is left is where the
            // sound starts.
            const uint_t at = aubio_onset_get_last(onset.get());
            if (onsets.empty() || at * 1000.0 / kAnalysisRate > onsets.back().ms) {
                onsets.push_back({at * 1000.0 / kAnalysisRate, 0.0f, 0.0f});
                pitchPending.push_back(onsets.size() - 1);
            }
        }
        for (uint_t i = 0; i < kTempoHop; ++i)
            tempoIn->data[i] = (hop->data[2 * i] + hop->data[2 * i + 1]) / 2;
        aubio_onset_do(pulse.get(), tempoIn.get(), pulseOut.get());
        pulseStrength.push_back(aubio_onset_get_descriptor(pulse.get()));
        trackTempo(aubio_onset_get_thresholded_descriptor(pulse.get()));
        periodHops.push_back(aubio_beattracking_get_period(tempo.get()) / kTempoHop);
        while (!pitchPending.empty() && pitchReady(pitchPending.front(), false))
            pitchPending.pop_front();
    }

    // What aubio_tempo does with its onset strength: a window of it, moved on
    // by a quarter, goes to the beat tracker each quarter.
    void trackTempo(float thresholded)
    {
        tempoFrame->data[kTempoFrame - kTempoStep + tempoBlock] = thresholded;
        if (++tempoBlock < kTempoStep)
            return;
        aubio_beattracking_do(tempo.get(), tempoFrame.get(), tempoOut.get());
        std::copy(tempoFrame->data + kTempoStep, tempoFrame->data + kTempoFrame, tempoFrame->data);
        std::fill(tempoFrame->data + kTempoFrame - kTempoStep, tempoFrame->data + kTempoFrame, 0.0f);
        tempoBlock = 0;
    }

    // Reads the pitch of onsets[index] once its window has been heard, or
    // with `atEnd` from whatever is left of it.
    bool pitchReady(std::size_t index, bool atEnd)
    {
        const auto start =
            static_cast<std::int64_t>(std::llround(onsets[index].ms * kAnalysisRate / 1000.0)) + kPitchDelaySamples;
        if (!atEnd && samples < start + static_cast<std::int64_t>(kPitchWindow))
            return false;
        for (uint_t i = 0; i < kWeightingLead + kPitchWindow; ++i) {
            const std::int64_t at = start - kWeightingLead + i;
            const bool kept = at >= 0 && at < samples && samples - at <= static_cast<std::int64_t>(kRingSamples);
            weighted->data[i] = kept ? ring[static_cast<std::size_t>(at) % kRingSamples] : 0.0f;
        }
        aubio_filter_do_reset(weighting.get());
        aubio_filter_do(weighting.get(), weighted.get());
        std::copy(weighted->data + kWeightingLead, weighted->data + kWeightingLead + kPitchWindow, pitchIn->data);
        aubio_pitch_do(pitch.get(), pitchIn.get(), pitchOut.get());
        if (pitchOut->data[0] > 0)
            onsets[index].pitch = pitchOut->data[0];
        return true;
    }
};

Analyser::Analyser() : impl_(std::make_unique<Impl>()) {}
Analyser::~Analyser() = default;

void Analyser::feed(const std::int16_t* samples, std::size_t frames)
{
    Impl& a = *impl_;
    // A box filter over four frames of both channels: aliasing above 5.5 kHz
    // folds back, but onsets stay where they are, and so does a melody.
    constexpr float kScale = 1.0f / (32768.0f * kDecimation * kDecodeChannels);
    for (std::size_t i = 0; i < frames; ++i) {
        a.sum += static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1]);
        if (++a.inDecimation == kDecimation) {
            a.sample(a.sum * kScale);
            a.sum = 0;
            a.inDecimation = 0;
        }
    }
}

Features Analyser::finish(const DecodedAudio& audio)
{
    Impl& a = *impl_;
    for (std::size_t index : a.pitchPending)
        a.pitchReady(index, true);
    a.pitchPending.clear();

    Features f;
    f.audio = audio;
    f.durationMs = audio.frames * 1000.0 / kDecodeRate;
    f.peak = a.peak;
    // An onset's strength: the peak of the flux in the hops just after it.
    for (Onset& onset : a.onsets) {
        const auto first = static_cast<std::size_t>(std::max(0.0, onset.ms / kHopMs));
        float best = 0;
        for (std::size_t k = first; k < first + 4 && k < a.strength.size(); ++k)
            best = std::max(best, a.strength[k]);
        onset.strength = std::max(best, 1e-6f);
    }
    f.strength = std::move(a.strength);
    f.pulse = std::move(a.pulseStrength);
    f.periodHops = std::move(a.periodHops);
    f.onsets = std::move(a.onsets);
    return f;
}

Features analyseFile(const std::string& path, const DecodeProgress& progress)
{
    Analyser analyser;
    const DecodedAudio audio = decodeAudio(
        path, [&](const std::int16_t* samples, std::size_t frames) { analyser.feed(samples, frames); }, progress);
    return analyser.finish(audio);
}

}  // namespace zorv::chartmake
