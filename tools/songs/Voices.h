#pragma once
// The pitched voices: one note of `voice` at MIDI `pitch`, held for `gate`
// seconds at velocity `vel` (0..1), with its own release tail.

#include "tools/songs/Dsp.h"

namespace zorv::songs::synth {

Buffer renderVoice(Voice voice, int pitch, double gate, double vel, Rng& rng);

// The additive voices, each built from partials (AdditiveVoices.cpp).
Buffer strings(double hz, double gate, double vel, Rng& rng);
Buffer piano(double hz, double gate, double vel, Rng& rng);
Buffer organ(double hz, double gate, double vel, Rng& rng);
Buffer guitar(double hz, double gate, double vel, Rng& rng);
Buffer uprightBass(double hz, double gate, double vel, Rng& rng);
Buffer vibraphone(double hz, double gate, double vel, Rng& rng);
Buffer brass(double hz, double gate, double vel, Rng& rng);

}  // namespace zorv::songs::synth
