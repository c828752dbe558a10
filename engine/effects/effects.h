// The DirectX 8 style channel effects: parametric EQ band and reverb.
// Each object belongs to one channel; the owner serialises calls (the mixer
// applies parameters between blocks), and process() never allocates.
#pragma once

#include <cstddef>
#include <memory>
#include "engine/bass.h"

namespace engine::fx {

class Effect {
public:
    virtual ~Effect() = default;
    // Validates and takes a BASS_DX8_* record; false (nothing changed) when a
    // value is out of its range.
    virtual bool setParameters(const void* params) = 0;
    virtual void getParameters(void* params) const = 0;
    // Processes interleaved float frames in place.
    virtual void process(float* samples, size_t frames, int channels) = 0;
};

// BASS_FX_DX8_PARAMEQ, a peaking filter: centre 80..16000 Hz and at most a
// third of the rate (8000 by default, or a third of the rate when lower),
// bandwidth 1..36 semitones (default 12), gain -15..+15 dB (default 0).
// BASS_FX_DX8_REVERB: input gain -96..0 dB (0), mix -96..0 dB (0), time
// 0.001..3000 ms (1000), high-frequency ratio 0.001..0.999 (0.001).
// A new effect of BASS_FX_DX8_PARAMEQ or BASS_FX_DX8_REVERB with its defaults,
// for audio at `rate` Hz (the rate process() will be given); null for any
// other type, and for a rate too low for the effect (under 240 Hz for the EQ,
// under 1000 Hz for the reverb).
std::unique_ptr<Effect> createEffect(DWORD type, int rate);

}  // namespace engine::fx
