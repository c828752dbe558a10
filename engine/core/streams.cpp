#include "engine/core/streams.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "engine/api/errors.h"
#include "engine/core/thread_name.h"

namespace engine {

namespace {

// Creates in progress; guarded by runtimeMutex(). Never destroyed.
auto* const pendingCreates = new std::vector<std::shared_ptr<PendingCreate>>;

void dropEffects(const Channel& channel) {
    for (DWORD fx : channel.effectHandles()) effectTable().remove(fx);
}

// Waits for the channel's callbacks and joins its threads, unless this
// thread is one of them: then another thread does it once we return.
void finishChannel(std::shared_ptr<Channel> channel, SyncDispatcher* dispatcher) {
    if (!channel->insideCallback()) {
        channel->finish();
        return;
    }
    // On the dispatcher's own thread too: it runs the task after this callback.
    if (dispatcher && dispatcher->post([channel] { channel->finish(); })) return;
    std::thread([channel] {
        nameThisThread("tl-finish");
        channel->finish();
    }).detach();
}

void release(std::shared_ptr<Channel> channel, Runtime* runtime, bool dispatcherStays) {
    dropEffects(*channel);
    if (runtime) runtime->mixer->remove(channel.get());
    channel->close();
    finishChannel(std::move(channel), runtime && dispatcherStays ? runtime->dispatcher.get() : nullptr);
}

void handleEnded(const std::shared_ptr<Channel>& channel) {
    channel->fireSyncs(BASS_SYNC_END, 0);
    if (channel->flags() & BASS_STREAM_AUTOFREE) freeStream(channel->handle());
}

}  // namespace

HandleTable<Channel>& streamTable() {
    static auto* table = new HandleTable<Channel>;
    return *table;
}

HandleTable<EffectRef>& effectTable() {
    static auto* table = new HandleTable<EffectRef>;
    return *table;
}

std::shared_ptr<Channel> findChannel(DWORD handle) {
    if (!currentRuntime()) return fail(BASS_ERROR_INIT, nullptr);
    auto channel = streamTable().get(handle);
    if (!channel) setError(BASS_ERROR_HANDLE);
    return channel;
}

bool beginCreate(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<PendingCreate> pending) {
    std::lock_guard lock(runtimeMutex());
    if (currentRuntimeLocked() != runtime) return fail(BASS_ERROR_INIT, false);
    pendingCreates->push_back(std::move(pending));
    return true;
}

void endCreate(const std::shared_ptr<PendingCreate>& pending) {
    std::lock_guard lock(runtimeMutex());
    std::erase(*pendingCreates, pending);
}

DWORD registerStream(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<Channel> channel) {
    std::lock_guard lock(runtimeMutex());
    if (currentRuntimeLocked() != runtime) return fail(BASS_ERROR_INIT, DWORD(0));
    DWORD handle = streamTable().add(channel);
    channel->setHandle(handle, runtime->dispatcher.get());
    runtime->mixer->add(std::move(channel));
    return handle;
}

bool freeStream(DWORD handle) {
    auto channel = streamTable().remove(handle);
    if (!channel) return false;
    release(std::move(channel), currentRuntime().get(), true);
    return true;
}

void freeAllStreams(Runtime& runtime) {
    std::vector<std::shared_ptr<PendingCreate>> pending;
    {
        std::lock_guard lock(runtimeMutex());
        pending.swap(*pendingCreates);
    }
    for (auto& create : pending) {
        create->channel->close();
        if (!create->channel->insideCallback()) create->feeder->stop();
    }
    for (auto& channel : streamTable().removeAll()) release(std::move(channel), &runtime, false);
}

std::function<void()> streamEndHandler() {
    return [] {
        for (auto& channel : streamTable().snapshot())
            if (channel->takeEnded()) handleEnded(channel);
    };
}

}  // namespace engine
