#include "engine/effects/effect_makers.h"

namespace engine::fx {

std::unique_ptr<Effect> createEffect(DWORD type, int rate) {
    if (type == BASS_FX_DX8_PARAMEQ) return makeParamEq(rate);
    if (type == BASS_FX_DX8_REVERB) return makeReverb(rate);
    return nullptr;
}

}  // namespace engine::fx
