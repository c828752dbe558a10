// The effects createEffect() chooses from; null when the rate does not suit.
#pragma once

#include "engine/effects/effects.h"

namespace engine::fx {

std::unique_ptr<Effect> makeParamEq(int rate);
std::unique_ptr<Effect> makeReverb(int rate);

}  // namespace engine::fx
