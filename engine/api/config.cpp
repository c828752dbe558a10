// BASS_SetConfig / BASS_GetConfig.
#include "engine/api/config.h"

#include <atomic>

#include "engine/api/errors.h"
#include "engine/bass.h"

namespace engine::config {

namespace {

std::atomic<int> timeoutMs{5000};
std::atomic<int> prebuf{75};
std::atomic<int> playlist{0};
std::atomic<int> bufferMs{5000};

std::atomic<int>* option(DWORD id) {
    switch (id) {
    case BASS_CONFIG_NET_TIMEOUT:
        return &timeoutMs;
    case BASS_CONFIG_NET_PREBUF:
        return &prebuf;
    case BASS_CONFIG_NET_PLAYLIST:
        return &playlist;
    case BASS_CONFIG_NET_BUFFER:
        return &bufferMs;
    default:
        return nullptr;
    }
}

bool inRange(DWORD id, DWORD value) {
    switch (id) {
    case BASS_CONFIG_NET_TIMEOUT:
        return value >= 1 && value <= 600000;
    case BASS_CONFIG_NET_PREBUF:
        return value <= 100;
    case BASS_CONFIG_NET_PLAYLIST:
        return value <= 2;  // 2 ("also in local files") acts as 1
    case BASS_CONFIG_NET_BUFFER:
        return value >= 1000 && value <= 60000;
    default:
        return false;
    }
}

}  // namespace

int netTimeoutMs() {
    return timeoutMs.load();
}
int netPrebuf() {
    return prebuf.load();
}
bool netPlaylist() {
    return playlist.load() != 0;
}
int netBufferMs() {
    return bufferMs.load();
}

}  // namespace engine::config

using namespace engine;

BOOL BASS_SetConfig(DWORD option, DWORD value) {
    auto* slot = config::option(option);
    if (!slot) return fail(BASS_ERROR_ILLTYPE, FALSE);
    if (!config::inRange(option, value)) return fail(BASS_ERROR_ILLPARAM, FALSE);
    slot->store(int(value));
    return ok(TRUE);
}

DWORD BASS_GetConfig(DWORD option) {
    auto* slot = config::option(option);
    if (!slot) return fail(BASS_ERROR_ILLTYPE, DWORD(-1));
    return ok(DWORD(slot->load()));
}
