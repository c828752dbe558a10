// SDL2 output: SDL's audio thread calls our render function for each buffer.
#include <SDL.h>

#include <mutex>

#include "engine/output/device_keeper.h"
#include "engine/output/output.h"

namespace engine::out {

namespace {

// About 70 ms at 44.1 kHz. PulseAudio asks for a quarter of a buffer at a
// time, and each request wakes its client's thread and SDL's: at 46 ms those
// wake-ups cost SDL's thread more than our mixing, effects and decoding
// together, and 70 ms takes a quarter of the output's time off. A station
// still starts within 100 ms of its first bytes (bench/first_sample.sh), and
// a slider's change reaches the ear within a fourteenth of a second.
constexpr int kBufferFrames = 3072;

std::mutex sdlMutex;  // SDL's subsystem calls are not thread-safe
int sdlUsers = 0;     // guarded by sdlMutex

// SDL keeps per-thread data (its error text) that it frees only for threads
// it made; ours are the program's, so each call drops it before returning.
struct ThreadDataCleanup {
    ~ThreadDataCleanup() { SDL_TLSCleanup(); }
};

class SdlOutput : public Output {
public:
    SdlOutput(RenderFn render, BusyFn busy)
        : render_(std::move(render)),
          keeper_(std::make_unique<DeviceKeeper>(DeviceOps{[this] { return reopen(); }, [this] { closeIdle(); },
                                                           [this] { return lost(); }, std::move(busy)})) {}
    ~SdlOutput() override {
        keeper_.reset();  // no reopening from here on
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for the audio thread
    }

    bool open(const char* name, int rate, std::string* error) {
        if (name) name_ = name;
        if (const char* driver = SDL_GetCurrentAudioDriver()) driver_ = driver;
        // SDL's disk driver writes a file and costs nothing to keep; closing
        // it would start its file afresh. It is kept open, unwatched.
        keepOpen_ = driver_ == "disk";
        SDL_AudioSpec have{};
        int allowed = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
        device_ = SDL_OpenAudioDevice(name, 0, &spec(rate, 2), &have, allowed);
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
        {
            std::lock_guard lock(sdlMutex);
            SDL_PauseAudioDevice(device_, 0);
        }
        if (!keepOpen_) keeper_->start();
    }
    void wake() override { keeper_->wake(); }

private:
    SDL_AudioSpec& spec(int rate, int channels) {
        want_ = {};
        want_.freq = rate;
        want_.format = AUDIO_F32SYS;
        want_.channels = Uint8(channels);
        want_.samples = kBufferFrames;
        want_.callback = &SdlOutput::callback;
        want_.userdata = this;
        return want_;
    }

    // The keeper's thread: the device again, in the format the mixer was
    // made for (SDL converts if the device now differs).
    bool reopen() {
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        const char* name = name_.empty() ? nullptr : name_.c_str();
        device_ = SDL_OpenAudioDevice(name, 0, &spec(format_.rate, format_.channels), nullptr, 0);
        // A restarted sound server is reached only by a new connection,
        // which SDL makes when its driver starts again.
        if (device_ == 0 && !driver_.empty() && SDL_AudioInit(driver_.c_str()) == 0)
            device_ = SDL_OpenAudioDevice(name, 0, &spec(format_.rate, format_.channels), nullptr, 0);
        if (device_ == 0) return false;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void closeIdle() {
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }

    // SDL keeps calling back a device it lost, at the device's pace, so
    // that nothing else notices; only its status tells.
    bool lost() {
        std::lock_guard lock(sdlMutex);
        return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
    }

    static void callback(void* user, Uint8* stream, int bytes) {
        auto* self = static_cast<SdlOutput*>(user);
        int frames = bytes / int(sizeof(float) * self->format_.channels);
        self->render_(reinterpret_cast<float*>(stream), frames);
    }

    RenderFn render_;
    // Set by open(), before any other thread runs.
    std::string name_;
    std::string driver_;
    bool keepOpen_ = false;
    Format format_;
    SDL_AudioDeviceID device_ = 0;  // guarded by sdlMutex
    SDL_AudioSpec want_{};          // guarded by sdlMutex (SDL reads it while opening)
    std::unique_ptr<DeviceKeeper> keeper_;
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

std::unique_ptr<Output> openSdl(const char* name, int rate, RenderFn render, BusyFn busy, std::string* error) {
    auto output = std::make_unique<SdlOutput>(std::move(render), std::move(busy));
    {
        std::lock_guard lock(sdlMutex);
        ThreadDataCleanup cleanup;
        if (output->open(name, rate, error)) return output;
    }
    return nullptr;  // its destructor takes the lock: never opened, nothing to close
}

}  // namespace engine::out
