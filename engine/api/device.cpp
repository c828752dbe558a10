// The device calls: BASS_Init, BASS_Free, BASS_GetInfo, BASS_GetDeviceInfo,
// the master volume, the version and the mixer's load.
//
// Devices: 0 is "No sound"; 1 is "Default", SDL's default output (opened
// with no name, so it follows the sound server's default); 2.. are the
// outputs SDL lists by name.
#include <cmath>
#include <mutex>
#include <set>
#include <string>

#include "engine/api/errors.h"
#include "engine/core/runtime.h"
#include "engine/core/streams.h"

using namespace engine;

namespace {

constexpr DWORD kDefaultRate = 44100;

// Device names handed out stay valid for the life of the process.
const char* internName(const std::string& name) {
    static std::mutex mutex;
    static auto* names = new std::set<std::string>;
    std::lock_guard lock(mutex);
    return names->insert(name).first->c_str();
}

std::vector<out::DeviceName> listSdlOutputs() {
    if (!out::sdlAudioAcquire()) return {};
    auto devices = out::sdlDevices();
    out::sdlAudioRelease();
    return devices;
}

// Opens device `device` (already resolved from -1) into runtime; a
// BASS_ERROR_* code on failure, with nothing left open.
int openOutput(Runtime& runtime, int device, DWORD freq) {
    out::RenderFn render = [rt = &runtime](float* out, int frames) { rt->mixer->render(out, frames); };
    if (device == 0) {
        runtime.output = out::openNoSound(int(freq), std::move(render));
        return BASS_OK;
    }
    if (!out::sdlAudioAcquire()) return BASS_ERROR_DRIVER;
    auto devices = out::sdlDevices();
    if (size_t(device) > devices.size()) {
        out::sdlAudioRelease();
        return BASS_ERROR_DEVICE;
    }
    const char* name = device == 1 ? nullptr : devices[device - 1].name.c_str();
    std::string reason;
    out::BusyFn busy = [rt = &runtime] { return rt->mixer->anyPlaying(); };
    runtime.output = out::openSdl(name, int(freq), std::move(render), std::move(busy), &reason);
    if (!runtime.output) {
        out::sdlAudioRelease();
        return BASS_ERROR_DRIVER;
    }
    runtime.usesSdl = true;
    return BASS_OK;
}

void tearDown(std::shared_ptr<Runtime> runtime) {
    freeAllStreams(*runtime);
    runtime->mixer->setOnPlay(nullptr);
    runtime->output.reset();  // joins the output's thread: no mix runs after this
    runtime->dispatcher->shutdown();
    if (runtime->usesSdl) out::sdlAudioRelease();
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void*, const void*) {
    if (device < -1) return fail(BASS_ERROR_DEVICE, FALSE);
    if (device == -1) device = 1;
    if (freq == 0) freq = kDefaultRate;
    if (freq < 1000 || freq > 384000) return fail(BASS_ERROR_FORMAT, FALSE);

    // The lock is held through the opening so that two racing calls cannot
    // both open a device; no callback runs and no engine thread waits on it.
    std::lock_guard lock(runtimeMutex());
    auto& current = currentRuntimeLocked();
    if (current) return fail(BASS_ERROR_ALREADY, FALSE);

    auto runtime = std::make_shared<Runtime>();
    runtime->device = device;
    runtime->initFlags = flags;
    if (int error = openOutput(*runtime, device, freq); error != BASS_OK) return fail(error, FALSE);
    runtime->format = runtime->output->format();
    runtime->mixer =
        std::make_unique<Mixer>(runtime->format.rate, runtime->format.channels, runtime->format.bufferFrames);
    // Either starts a thread; with none to be had the start fails with an
    // error code instead of ending the process.
    try {
        runtime->dispatcher = std::make_unique<SyncDispatcher>(streamEndHandler());
        runtime->output->start();
        runtime->mixer->setOnPlay([output = runtime->output.get()] { output->wake(); });
    } catch (...) {
        int error = currentExceptionError();
        runtime->output.reset();
        if (runtime->dispatcher) runtime->dispatcher->shutdown();
        if (runtime->usesSdl) out::sdlAudioRelease();
        return fail(error, FALSE);
    }
    current = std::move(runtime);
    return ok(TRUE);
}

BOOL BASS_Free(void) {
    std::shared_ptr<Runtime> runtime;
    {
        std::lock_guard lock(runtimeMutex());
        runtime = std::move(currentRuntimeLocked());
    }
    if (!runtime) return fail(BASS_ERROR_INIT, FALSE);
    tearDown(std::move(runtime));
    return ok(TRUE);
}

BOOL BASS_GetInfo(BASS_INFO* info) {
    auto runtime = requireRuntime();
    if (!runtime) return FALSE;
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    const auto& format = runtime->format;
    DWORD bufferMs = DWORD((int64_t(format.bufferFrames) * 1000 + format.rate - 1) / format.rate);
    *info = BASS_INFO{};
    info->minbuf = bufferMs;
    info->dsver = 9;
    // One buffer being played while the next is mixed.
    info->latency = bufferMs * 2;
    info->initflags = runtime->initFlags;
    info->speakers = DWORD(format.channels);
    info->freq = DWORD(format.rate);
    return ok(TRUE);
}

BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
    if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
    auto runtime = currentRuntime();
    DWORD inUse = runtime ? DWORD(runtime->device) : DWORD(-1);
    if (device == 0) {
        *info = {internName("No sound"), internName("nosound"), BASS_DEVICE_ENABLED};
    } else {
        auto devices = listSdlOutputs();
        if (device > devices.size()) return fail(BASS_ERROR_DEVICE, FALSE);
        const auto& entry = devices[device - 1];
        DWORD flags = BASS_DEVICE_ENABLED | (entry.isDefault ? BASS_DEVICE_DEFAULT : 0);
        *info = {internName(entry.name), internName("sdl"), flags};
    }
    if (device == inUse) info->flags |= BASS_DEVICE_INIT;
    return ok(TRUE);
}

float BASS_GetVolume(void) {
    auto runtime = requireRuntime();
    if (!runtime) return -1.0f;
    return ok(runtime->mixer->masterVolume());
}

BOOL BASS_SetVolume(float volume) {
    auto runtime = requireRuntime();
    if (!runtime) return FALSE;
    if (!(volume >= 0.0f && volume <= 1.0f)) return fail(BASS_ERROR_ILLPARAM, FALSE);
    runtime->mixer->setMasterVolume(volume);
    return ok(TRUE);
}

DWORD BASS_GetVersion(void) {
    return ok(DWORD(BASS_ENGINE_VERSION));
}

float BASS_GetCPU(void) {
    auto runtime = requireRuntime();
    if (!runtime) return 0.0f;
    return ok(runtime->mixer->cpuPercent());
}
