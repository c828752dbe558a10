// The equaliser and reverb are built in a later step; until then each stream
// plays without effects and the sliders only keep their positions.
#include "playback/equalizer.h"

void createStreamEffects() {}
void applyEffectSlider(int) {}
void applyEffectPreset(int) {}
