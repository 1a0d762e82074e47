#pragma once
// The drum kit: one hit of `drum` at velocity `vel` (0..1), and where it
// sits in the mix.

#include "tools/songs/Dsp.h"

namespace zorv::songs::synth {

Buffer renderDrum(Drum drum, double vel, Kit kit, Rng& rng);

struct DrumMix {
    double gain, pan, reverb;
};

DrumMix drumMix(Drum drum);

}  // namespace zorv::songs::synth
