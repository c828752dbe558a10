// The three equaliser bands (125 Hz, 1 kHz, 10 kHz) and the reverb of each
// stream, set from the four effect sliders 50..53.
#pragma once

// Creates the four effects on player.stream and applies the sliders to them.
// Called by the connect thread for every new stream.
void createStreamEffects();

// Turns the position of slider 50 + index (0..3) into its effect's
// parameter: a band's gain, or the reverb's mix. Any thread.
void applyEffectSlider(int index);

// Sets the four sliders to the preset of button commandId (1013, 1014 or
// 1015) and applies them. Dialog thread.
void applyEffectPreset(int commandId);
