#include "tools/chart/make/Features.h"

// The peak picker and the spectral whitening are among aubio's unstable API.
#define AUBIO_UNSTABLE 1
#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zorv::chartmake {
namespace {

constexpr int kDecimation = kDecodeRate / kAnalysisRate;
static_assert(kDecimation * kAnalysisRate == kDecodeRate);
constexpr uint_t kWindow = 512;
constexpr uint_t kBins = kWindow / 2 + 1;
// The pulse: the bins below 2.75 kHz, as if the window were this long at
// half the rate.
constexpr uint_t kPulseWindow = kWindow / 2;
constexpr uint_t kPulseBins = kPulseWindow / 2 + 1;
// The bass: the bins below 280 Hz (13 of 21.5 Hz).
constexpr uint_t kBassWindow = 24;
constexpr uint_t kBassBins = kBassWindow / 2 + 1;
// aubio's own specflux settings for its spectral whitening, which the
// onset object keeps to itself.
constexpr smpl_t kWhiteningRelaxSeconds = 100;
constexpr smpl_t kWhiteningFloor = 1;

// The pitch of an onset is read from the 93 ms that follow it, after the
// attack's noise, by aubio's harmonic comb ("fcomb") on A-weighted samples,
// which keeps the bass from taking over. Measured at the melody notes of the
// bundled songs: fcomb on A-weighted samples named 88 % and 80 % of them to
// the semitone, and its pitch moved the way the melody moved between
// consecutive notes 83 % and 78 % of the time; yinfft 22-44 % and 41-59 %,
// mcomb 20-95 % and 57-96 %, fcomb without the weighting 63 % and 30 %.
constexpr uint_t kPitchWindow = 1024;
constexpr std::int64_t kPitchDelaySamples = kAnalysisRate / 50;
// The weighting filter runs from rest this many samples ahead of the window:
// its response has settled by then.
constexpr uint_t kWeightingLead = 256;

struct AubioDeleter {
    void operator()(aubio_onset_t* o) const { del_aubio_onset(o); }
    void operator()(aubio_pitch_t* o) const { del_aubio_pitch(o); }
    void operator()(aubio_filter_t* f) const { del_aubio_filter(f); }
    void operator()(aubio_fft_t* f) const { del_aubio_fft(f); }
    void operator()(aubio_spectral_whitening_t* w) const { del_aubio_spectral_whitening(w); }
    void operator()(aubio_specdesc_t* d) const { del_aubio_specdesc(d); }
    void operator()(aubio_peakpicker_t* p) const { del_aubio_peakpicker(p); }
    void operator()(fvec_t* v) const { del_fvec(v); }
    void operator()(cvec_t* v) const { del_cvec(v); }
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

// What aubio_onset_do does after its phase vocoder, for "specflux": whitens
// and compresses the magnitudes, takes their flux and picks its peaks.
class Flux {
public:
    Flux(uint_t window, aubio_onset_t& settings)
        : window_(window),
          whitening_(made(new_aubio_spectral_whitening(window, kHopSamples, kAnalysisRate), "whitening")),
          descriptor_(made(new_aubio_specdesc("specflux", window), "spectral flux")),
          picker_(made(new_aubio_peakpicker(), "peak picker")),
          compression_(aubio_onset_get_compression(&settings))
    {
        aubio_spectral_whitening_set_relax_time(whitening_.get(), kWhiteningRelaxSeconds);
        aubio_spectral_whitening_set_floor(whitening_.get(), kWhiteningFloor);
        aubio_peakpicker_set_threshold(picker_.get(), aubio_onset_get_threshold(&settings));
    }

    // The peak's position in hops back from the current one, 0 for none.
    smpl_t run(cvec_t& magnitudes)
    {
        aubio_spectral_whitening_do(whitening_.get(), &magnitudes);
        if (compression_ > 0)
            cvec_logmag(&magnitudes, compression_);
        aubio_specdesc_do(descriptor_.get(), &magnitudes, value_.get());
        aubio_peakpicker_do(picker_.get(), value_.get(), peak_.get());
        return peak_->data[0];
    }
    float value() const { return value_->data[0]; }
    uint_t window() const { return window_; }

private:
    uint_t window_;
    AubioPtr<aubio_spectral_whitening_t> whitening_;
    AubioPtr<aubio_specdesc_t> descriptor_;
    AubioPtr<aubio_peakpicker_t> picker_;
    AubioPtr<fvec_t> value_ = made(new_fvec(1), "buffers");
    AubioPtr<fvec_t> peak_ = made(new_fvec(1), "buffers");
    smpl_t compression_;
};

}  // namespace

// Why not aubio_onset itself: its phase vocoder works out every bin's phase
// (an arc tangent each), which spectral flux never reads: 22 % of a whole
// run went there. And the pulse and the bass, on which the beats are found,
// would need vocoders of their own. Here one FFT's magnitudes feed all
// three, through aubio's own whitening, flux and peak picking, with
// aubio_onset's settings; the onsets are aubio_onset's to the sample
// (tested); docs/performance.md has the cost. The beats are our own
// (Tempo.h, Beats.h): aubio's tracker made three-against-two errors.
struct Analyser::Impl {
    AubioPtr<aubio_onset_t> settings;  // aubio's specflux onset detector, for its settings
    AubioPtr<fvec_t> window = made(new_aubio_window(const_cast<char_t*>("hanningz"), kWindow), "window");
    AubioPtr<fvec_t> frame = made(new_fvec(kWindow), "buffers");
    AubioPtr<fvec_t> hop = made(new_fvec(kHopSamples), "buffers");
    AubioPtr<fvec_t> complex = made(new_fvec(kWindow), "buffers");
    AubioPtr<aubio_fft_t> fft = made(new_aubio_fft(kWindow), "FFT");
    AubioPtr<cvec_t> spectrum = made(new_cvec(kWindow), "buffers");
    AubioPtr<cvec_t> low = made(new_cvec(kPulseWindow), "buffers");
    AubioPtr<cvec_t> lowest = made(new_cvec(kBassWindow), "buffers");
    std::unique_ptr<Flux> flux;
    std::unique_ptr<Flux> pulse;
    std::unique_ptr<Flux> bass;

    std::vector<float> history = std::vector<float>(kWindow, 0.0f);  // the last kWindow samples
    std::uint64_t samples = 0;
    uint_t inHop = 0;
    int inDecimation = 0;
    float sum = 0;
    float peak = 0;
    std::uint64_t lastOnset = 0;  // in samples, aubio_onset's last_onset

    std::vector<std::int16_t> mono;
    std::vector<float> strength;
    std::vector<float> pulseStrength;
    std::vector<float> bassStrength;
    std::vector<Onset> onsets;

    Impl()
    {
        aubio_log_set_level_function(AUBIO_LOG_WRN, quietAubio, nullptr);
        settings = made(new_aubio_onset("specflux", kWindow, kHopSamples, kAnalysisRate), "onset detector");
        aubio_onset_set_delay(settings.get(), kOnsetDelaySamples);
        flux = std::make_unique<Flux>(kWindow, *settings);
        pulse = std::make_unique<Flux>(kPulseWindow, *settings);
        bass = std::make_unique<Flux>(kBassWindow, *settings);
    }

    void sample(float x)
    {
        peak = std::max(peak, std::fabs(x));
        mono.push_back(static_cast<std::int16_t>(std::lround(std::clamp(x, -1.0f, 1.0f) * 32767.0f)));
        hop->data[inHop++] = x;
        if (inHop == kHopSamples) {
            inHop = 0;
            runHop();
        }
    }

    // aubio_pvoc_do without the phases: slide, window, shift, FFT, magnitudes.
    void magnitudes()
    {
        std::copy(history.begin() + kHopSamples, history.end(), history.begin());
        std::copy(hop->data, hop->data + kHopSamples, history.end() - kHopSamples);
        std::copy(history.begin(), history.end(), frame->data);
        fvec_weight(frame.get(), window.get());
        fvec_shift(frame.get());
        aubio_fft_do_complex(fft.get(), frame.get(), complex.get());
        aubio_fft_get_norm(complex.get(), spectrum.get());
        std::copy(spectrum->norm, spectrum->norm + kPulseBins, low->norm);
        std::copy(spectrum->norm, spectrum->norm + kBassBins, lowest->norm);
    }

    void runHop()
    {
        magnitudes();
        const smpl_t found = flux->run(*spectrum);
        strength.push_back(flux->value());
        pulse->run(*low);
        pulseStrength.push_back(pulse->value());
        bass->run(*lowest);
        bassStrength.push_back(bass->value());
        noteOnset(found);
        samples += kHopSamples;
    }

    // aubio_onset_do's bookkeeping: not in silence, not within minioi of the
    // last one, sound at the very start of the song as an onset, and aubio's
    // delay taken off; what is left is where the sound starts.
    void noteOnset(smpl_t found)
    {
        const bool silent = aubio_silence_detection(hop.get(), aubio_onset_get_silence(settings.get())) == 1;
        const std::uint64_t delay = aubio_onset_get_delay(settings.get());
        const std::uint64_t minioi = aubio_onset_get_minioi(settings.get());
        if (found > 0) {
            const auto at = samples + static_cast<std::uint64_t>(std::lround(found * kHopSamples));
            if (silent || lastOnset + minioi >= at || (lastOnset > 0 && delay > at))
                return;
            lastOnset = std::max(delay, at);
        } else {
            if (silent || samples > delay || !(samples == 0 || lastOnset + minioi < samples))
                return;
            lastOnset = samples + delay;
        }
        const double ms = static_cast<double>(lastOnset - delay) * 1000.0 / kAnalysisRate;
        if (onsets.empty() || ms > onsets.back().ms)
            onsets.push_back({ms, 0.0f});
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
    f.bass = std::move(a.bassStrength);
    f.onsets = std::move(a.onsets);
    f.mono = std::move(a.mono);
    return f;
}

Features analyseFile(const std::string& path, const DecodeProgress& progress)
{
    Analyser analyser;
    const DecodedAudio audio = decodeAudio(
        path, [&](const std::int16_t* samples, std::size_t frames) { analyser.feed(samples, frames); }, progress);
    return analyser.finish(audio);
}

struct PitchReader::Impl {
    AubioPtr<aubio_pitch_t> pitch = made(new_aubio_pitch("fcomb", kPitchWindow, kPitchWindow, kAnalysisRate), "pitch");
    AubioPtr<aubio_filter_t> weighting = made(new_aubio_filter_a_weighting(kAnalysisRate), "A-weighting filter");
    AubioPtr<fvec_t> weighted = made(new_fvec(kWeightingLead + kPitchWindow), "buffers");
    AubioPtr<fvec_t> in = made(new_fvec(kPitchWindow), "buffers");
    AubioPtr<fvec_t> out = made(new_fvec(1), "buffers");

    Impl() { aubio_pitch_set_unit(pitch.get(), "midi"); }
};

PitchReader::PitchReader() : impl_(std::make_unique<Impl>()) {}
PitchReader::~PitchReader() = default;

float PitchReader::at(const Features& features, double ms)
{
    Impl& p = *impl_;
    const auto start = static_cast<std::int64_t>(std::llround(ms * kAnalysisRate / 1000.0)) + kPitchDelaySamples;
    const auto n = static_cast<std::int64_t>(features.mono.size());
    for (uint_t i = 0; i < kWeightingLead + kPitchWindow; ++i) {
        const std::int64_t at = start - kWeightingLead + i;
        p.weighted->data[i] = at >= 0 && at < n ? features.mono[static_cast<std::size_t>(at)] / 32768.0f : 0.0f;
    }
    aubio_filter_do_reset(p.weighting.get());
    aubio_filter_do(p.weighting.get(), p.weighted.get());
    std::copy(p.weighted->data + kWeightingLead, p.weighted->data + kWeightingLead + kPitchWindow, p.in->data);
    aubio_pitch_do(p.pitch.get(), p.in.get(), p.out.get());
    return std::max(0.0f, p.out->data[0]);
}

}  // namespace zorv::chartmake
