// SDL2 output: SDL's audio thread calls our render function for each buffer.
#include <SDL.h>

#include <mutex>

#include "engine/output/output.h"

namespace engine::out {

namespace {

// About 23 ms at 44.1 kHz: low latency, yet enough slack on a busy machine.
constexpr int kBufferFrames = 1024;

std::mutex sdlMutex;  // SDL's subsystem calls are not thread-safe
int sdlUsers = 0;     // guarded by sdlMutex

// SDL keeps per-thread data (its error text) that it frees only for threads
// it made; ours are the program's, so each call drops it before returning.
struct ThreadDataCleanup {
    ~ThreadDataCleanup() { SDL_TLSCleanup(); }
};

class SdlOutput : public Output {
public:
    SdlOutput(RenderFn render) : render_(std::move(render)) {}
    ~SdlOutput() override {
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for the audio thread
    }

    bool open(const char* name, int rate, std::string* error) {
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kBufferFrames;
        want.callback = &SdlOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        int allowed = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
        device_ = SDL_OpenAudioDevice(name, 0, &want, &have, allowed);
        if (device_ == 0) {
            *error = SDL_GetError();
            return false;
        }
        format_ = {have.freq, have.channels, have.samples};
        return true;
    }

    Format format() const override { return format_; }
    const char* driver() const override { return "sdl"; }
    void start() override {
        std::lock_guard lock(sdlMutex);
        SDL_PauseAudioDevice(device_, 0);
    }

private:
    static void callback(void* user, Uint8* stream, int bytes) {
        auto* self = static_cast<SdlOutput*>(user);
        int frames = bytes / int(sizeof(float) * self->format_.channels);
        self->render_(reinterpret_cast<float*>(stream), frames);
    }

    RenderFn render_;
    SDL_AudioDeviceID device_ = 0;
    Format format_;
};

}  // namespace

bool sdlAudioAcquire() {
    std::lock_guard lock(sdlMutex);
    ThreadDataCleanup cleanup;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    ++sdlUsers;
    return true;
}

void sdlAudioRelease() {
    std::lock_guard lock(sdlMutex);
    ThreadDataCleanup cleanup;
    if (sdlUsers == 0) return;
    --sdlUsers;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::vector<DeviceName> sdlDevices() {
    std::lock_guard lock(sdlMutex);
    ThreadDataCleanup cleanup;
    std::vector<DeviceName> devices{{"Default", true}};
    int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name) devices.push_back({name, false});
    }
    return devices;
}

std::unique_ptr<Output> openSdl(const char* name, int rate, RenderFn render, std::string* error) {
    auto output = std::make_unique<SdlOutput>(std::move(render));
    {
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        if (output->open(name, rate, error)) return output;
    }
    return nullptr;  // its destructor takes the lock: never opened, nothing to close
}

}  // namespace engine::out
