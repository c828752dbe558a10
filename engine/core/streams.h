// The live streams and effects by handle, and their ends: BASS_StreamFree,
// AUTOFREE and BASS_Free all free a stream through here.
#pragma once

#include <functional>
#include <memory>

#include "engine/core/channel.h"
#include "engine/core/handles.h"
#include "engine/core/runtime.h"

namespace engine {

struct EffectRef {
    std::weak_ptr<Channel> channel;  // immutable
};

HandleTable<Channel>& streamTable();
HandleTable<EffectRef>& effectTable();

// The channel of a live stream handle; null with BASS_ERROR_INIT or
// BASS_ERROR_HANDLE set.
std::shared_ptr<Channel> findChannel(DWORD handle);

// A feeder whose stream is being created; BASS_Free stops it (its creator
// then fails and cleans up). Each begin needs its end.
struct PendingCreate {
    std::shared_ptr<Channel> channel;
    std::shared_ptr<Feeder> feeder;
};
// False (BASS_ERROR_INIT set) when `runtime` is not the current one.
bool beginCreate(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<PendingCreate> pending);
void endCreate(const std::shared_ptr<PendingCreate>& pending);

// Gives a channel whose format is set a handle, connects it to the syncs'
// thread and the mixer. 0 (BASS_ERROR_INIT set) when `runtime` is no longer
// the current one.
DWORD registerStream(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<Channel> channel);

// Frees a stream: its handle and effects go at once, it leaves the mix, no
// callback starts any more; its threads are joined before this returns, or,
// called from one of its own callbacks, right after that callback returns.
// False when the handle is not live.
bool freeStream(DWORD handle);

// BASS_Free: every stream of the runtime and every create in progress.
void freeAllStreams(Runtime& runtime);

// The dispatcher's work on a wake: END syncs, then AUTOFREE.
std::function<void()> streamEndHandler();

}  // namespace engine
