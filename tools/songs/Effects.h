#pragma once
// What the mix goes through: the room, the echo, the DC blocker and the
// limiter. Each works on whole buffers of one song.

#include "tools/songs/Dsp.h"

namespace zorv::songs::synth {

// The reverb return of `in`, into `outL` and `outR` (each of in's size).
void reverb(const Buffer& in, Buffer& outL, Buffer& outR);

// The echo return of `in` after `delay` samples, into `outL` and `outR`.
void echo(const Buffer& in, std::size_t delay, float feedback, Buffer& outL, Buffer& outR);

void blockDc(Buffer& ch);

// Brings every sample of `l` and `r` under `ceiling` (linear); returns the
// deepest reduction in dB.
double limit(Buffer& l, Buffer& r, double ceiling);

}  // namespace zorv::songs::synth
