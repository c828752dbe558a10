// Records an HttpStream's events for the network tests: the head, the audio
// bytes, each metadata text with the audio size at its arrival, the end.
#pragma once

#include "engine/network/http_stream.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test {

using namespace std::chrono_literals;

struct MetaEvent {
    size_t audioBefore;  // audio bytes delivered before the text
    std::string text;
    bool operator==(const MetaEvent&) const = default;
};

class EventRecorder {
public:
    engine::net::HttpEvents events() {
        engine::net::HttpEvents e;
        e.onHeaders = [this](const engine::net::HttpResponse& r) {
            update([&] {
                response = r;
                ++headerCalls;
            });
        };
        e.onAudio = [this](const unsigned char* data, size_t size) {
            update([&] { audio.insert(audio.end(), data, data + size); });
        };
        e.onMeta = [this](const std::string& text) { update([&] { metas.push_back({audio.size(), text}); }); };
        e.onEnd = [this](int error) {
            update([&] {
                end = error;
                ++endCalls;
            });
        };
        return e;
    }

    // Generous: a loaded 2-core machine under a sanitizer is slow.
    bool waitForEnd(std::chrono::milliseconds limit = 60s) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return end.has_value(); });
    }

    bool waitForAudio(size_t bytes, std::chrono::milliseconds limit = 60s) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return audio.size() >= bytes || end.has_value(); }) &&
               audio.size() >= bytes;
    }

    template <typename F>
    void update(F change) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            change();
        }
        changed.notify_all();
    }

    // Read these after waitForEnd(), or under `mutex`.
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<engine::net::HttpResponse> response;
    std::vector<unsigned char> audio;
    std::vector<MetaEvent> metas;
    std::optional<int> end;
    int headerCalls = 0;
    int endCalls = 0;
};

// The bytes the server's {"bytes": n, "start": s} part generates.
inline std::vector<unsigned char> counterBytes(size_t count, size_t start = 0) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>((start + i) % 251);
    return bytes;
}

}  // namespace test
