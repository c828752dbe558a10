// The three equaliser bands and the reverb of each stream. The four sliders
// are the only setting: every new stream's effects are set from them, so the
// sound carries over from station to station.
#include "playback/equalizer.h"

#include <cmath>

#include "engine/bass.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

constexpr int kBandCount = 3;
constexpr int kReverbSlider = 3;
constexpr int kSliderBottom = 20;

// Band centres in slider order. Each band is an octave and a half wide (18
// semitones): a broad tone control for bass, middle and treble, not a peak.
constexpr float kBandCentre[kBandCount] = {125.0f, 1000.0f, 10000.0f};
constexpr float kBandWidth = 18.0f;

struct Preset {
    int commandId;
    int position[4];  // sliders 50, 51, 52, 53
};

constexpr Preset kPresets[] = {
    {IDC_PRESET_INSTR, {8, 10, 2, 9}},
    {IDC_PRESET_VOCAL, {10, 5, 10, 9}},
    {IDC_PRESET_OFF, {10, 10, 10, 20}},
};

int sliderPosition(int index) {
    return static_cast<int>(SendDlgItemMessageA(player.mainWindow, IDC_EFFECT0 + index, TBM_GETPOS, 0, 0));
}

// The top of a slider is position 0, so the top gives +10 dB and the bottom
// -10 dB, one decibel a step.
void applyBandGain(HFX band, int position) {
    BASS_DX8_PARAMEQ params{};
    BASS_FXGetParameters(band, &params);
    params.fGain = static_cast<float>(10 - position);
    BASS_FXSetParameters(band, &params);
}

// A logarithmic taper: the mix falls slowly near the top and steeply near the
// bottom, where the engine's floor of -96 dB stands for no reverb at all.
float reverbMixFor(int position) {
    if (position >= kSliderBottom) return -96.0f;
    return static_cast<float>(20.0 * std::log(1.0 - position / 20.0));
}

void applyReverbMix(HFX reverb, int position) {
    BASS_DX8_REVERB params{};
    BASS_FXGetParameters(reverb, &params);
    params.fReverbMix = reverbMixFor(position);
    BASS_FXSetParameters(reverb, &params);
}

void applySlider(const HFX* bands, HFX reverb, int index) {
    int position = sliderPosition(index);
    if (index == kReverbSlider)
        applyReverbMix(reverb, position);
    else
        applyBandGain(bands[index], position);
}

void setBandCentre(HFX band, float centre) {
    BASS_DX8_PARAMEQ params{};
    params.fBandwidth = kBandWidth;
    params.fGain = 0.0f;
    params.fCenter = centre;
    BASS_FXSetParameters(band, &params);
}

const Preset* findPreset(int commandId) {
    for (const Preset& preset : kPresets)
        if (preset.commandId == commandId) return &preset;
    return nullptr;
}

}  // namespace

// Runs on the connect thread. A failed stream or a refused effect leaves a
// handle of 0, on which every later parameter call fails harmlessly.
// The effects are fitted out before the dialog's thread can see them: a
// slider moved meanwhile would otherwise read the engine's defaults (its
// centre and width) and write them back with its gain, for the whole stream.
// The sliders are read once more after publishing, so a move made between
// the first reading and the publishing still counts.
void createStreamEffects() {
    HSTREAM stream = player.stream;
    HFX bands[kBandCount];
    for (int band = 0; band < kBandCount; ++band) {
        bands[band] = BASS_ChannelSetFX(stream, BASS_FX_DX8_PARAMEQ, 0);
        setBandCentre(bands[band], kBandCentre[band]);
    }
    HFX reverb = BASS_ChannelSetFX(stream, BASS_FX_DX8_REVERB, 0);
    for (int index = 0; index <= kReverbSlider; ++index) applySlider(bands, reverb, index);
    for (int band = 0; band < kBandCount; ++band) player.eqBand[band] = bands[band];
    player.reverbEffect = reverb;
    for (int index = 0; index <= kReverbSlider; ++index) applyEffectSlider(index);
}

// Read-modify-write: only the one field the slider stands for changes, the
// others keep what the engine (or createStreamEffects) gave them.
void applyEffectSlider(int index) {
    if (index < 0 || index > kReverbSlider) return;
    HFX bands[kBandCount];
    for (int band = 0; band < kBandCount; ++band) bands[band] = player.eqBand[band];
    applySlider(bands, player.reverbEffect, index);
}

void applyEffectPreset(int commandId) {
    const Preset* preset = findPreset(commandId);
    if (!preset) return;
    for (int index = 0; index <= kReverbSlider; ++index)
        SendDlgItemMessageA(player.mainWindow, IDC_EFFECT0 + index, TBM_SETPOS, TRUE, preset->position[index]);
    for (int index = 0; index <= kReverbSlider; ++index) applyEffectSlider(index);
}
