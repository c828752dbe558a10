// The three equaliser bands and the reverb of each stream, set by the sliders.
#pragma once

void createStreamEffects();
void applyEffectSlider(int index);   // slider 50 + index
void applyEffectPreset(int commandId);  // 1013, 1014, 1015
