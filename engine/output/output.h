// Output devices: something that asks for mixed audio at its own pace. One
// file per backend (SDL, "No sound"), each behind this small interface.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine::out {

struct Format {
    int rate = 0;          // frames per second
    int channels = 0;      // interleaved float samples per frame
    int bufferFrames = 0;  // frames the device asks for at a time (the largest render call)
};

// Fills `frames` interleaved float frames of the output's format. Runs on the
// output's own thread: it must not allocate or wait for a control call.
using RenderFn = std::function<void(float* out, int frames)>;
// Whether anything plays (any thread): an output may stop its device while
// nothing does.
using BusyFn = std::function<bool()>;

class Output {
public:
    virtual ~Output() = default;  // stops the output and joins its thread
    virtual Format format() const = 0;
    virtual const char* driver() const = 0;
    // Starts calling render. Before it, the output is silent.
    virtual void start() = 0;
    // A stream is about to play: a device stopped while idle starts again now.
    virtual void wake() {}
};

struct DeviceName {
    std::string name;
    bool isDefault = false;
};

// SDL's audio subsystem, reference-counted so the device list can be read
// before and after the engine runs. Returns false when SDL finds no driver.
bool sdlAudioAcquire();
void sdlAudioRelease();

// The output devices SDL offers, the system default first (named "Default":
// it follows whatever the sound server calls its default). Needs
// sdlAudioAcquire().
std::vector<DeviceName> sdlDevices();

// Opens an SDL output (name null: the default), float samples, stereo and the
// given rate asked for; SDL may give another rate or channel count. Needs
// sdlAudioAcquire(). Null on failure, with a reason in *error. Once started,
// the device is closed while busy says nothing plays (after a grace) and
// opened again on wake(), and opened again when the system loses it.
std::unique_ptr<Output> openSdl(const char* name, int rate, RenderFn render, BusyFn busy, std::string* error);

// "No sound": a thread that renders in real time and discards the result.
std::unique_ptr<Output> openNoSound(int rate, RenderFn render);

}  // namespace engine::out
