// The engine's threads and their callbacks against calls from other
// threads: freeing a stream or the whole engine while callbacks run, from
// inside callbacks, and many threads using streams at once. Run under
// ThreadSanitizer too.
#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/synthetic_stream.h"
#include "tests/support/wait_until.h"

namespace {

using test::threadCount;
using test::waitUntil;

class EngineThreads : public test::EngineTest {};

// A sync that holds its thread until released.
struct Gate {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> returned{false};
    static void sync(HSYNC, DWORD, DWORD, void* user) {
        auto* self = static_cast<Gate*>(user);
        self->entered = true;
        while (!self->release) std::this_thread::yield();
        self->returned = true;
    }
};

TEST_F(EngineThreads, StreamFreeWaitsForARunningSyncOfThatStream) {
    HSTREAM stream = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    Gate gate;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, Gate::sync, &gate), 0u);
    auto channel = test::channelOf(stream);
    std::thread download([&] { channel->fireSyncs(BASS_SYNC_META, 0); });
    ASSERT_TRUE(waitUntil([&] { return gate.entered.load(); }));

    std::atomic<bool> freed{false};
    std::thread other([&] {
        EXPECT_TRUE(BASS_StreamFree(stream));
        EXPECT_TRUE(gate.returned) << "StreamFree returned while a sync of its stream still ran";
        freed = true;
    });
    // The handle goes at once, while the sync still runs.
    EXPECT_TRUE(
        waitUntil([&] { return BASS_ChannelIsActive(stream) == 0 && BASS_ErrorGetCode() == BASS_ERROR_HANDLE; }));
    EXPECT_FALSE(freed);
    gate.release = true;
    other.join();
    download.join();
    // A closed stream calls no sync any more.
    gate.entered = false;
    channel->fireSyncs(BASS_SYNC_META, 0);
    EXPECT_FALSE(gate.entered);
}

struct SelfFree {
    std::atomic<int> calls{0};
    std::atomic<BOOL> result{-1};
    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        auto* self = static_cast<SelfFree*>(user);
        self->result = BASS_StreamFree(channel);
        ++self->calls;
    }
};

TEST_F(EngineThreads, StreamFreeInsideItsOwnSyncs) {
    // END runs on the engine's sync thread; META on the thread feeding the stream.
    HSTREAM ending = test::createToneStream({.seconds = 0.1, .flags = BASS_STREAM_AUTOFREE});
    HSTREAM titled = test::createToneStream({});
    ASSERT_NE(ending, 0u);
    ASSERT_NE(titled, 0u);
    SelfFree end, meta;
    ASSERT_NE(BASS_ChannelSetSync(ending, BASS_SYNC_END, 0, SelfFree::sync, &end), 0u);
    ASSERT_NE(BASS_ChannelSetSync(titled, BASS_SYNC_META, 0, SelfFree::sync, &meta), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ending, FALSE));
    auto channel = test::channelOf(titled);
    std::thread download([&] { channel->fireSyncs(BASS_SYNC_META, 0); });
    download.join();
    ASSERT_TRUE(waitUntil([&] { return end.calls == 1; }));
    EXPECT_EQ(end.result, TRUE);
    EXPECT_EQ(meta.result, TRUE);
    BASS_CHANNELINFO info{};
    EXPECT_FALSE(BASS_ChannelGetInfo(ending, &info));
    EXPECT_FALSE(BASS_ChannelGetInfo(titled, &info));
    // The deferred joins happen: only the output's and the sync thread remain.
    EXPECT_TRUE(waitUntil([&] { return threadCount() == baseline_ + 2; }));
}

struct FreeEngine {
    std::atomic<int> calls{0};
    std::atomic<BOOL> result{-1};
    static void sync(HSYNC, DWORD, DWORD, void* user) {
        auto* self = static_cast<FreeEngine*>(user);
        self->result = BASS_Free();
        ++self->calls;
    }
};

TEST_F(EngineThreads, EngineFreeInsideAnEndSync) {
    HSTREAM stream = test::createToneStream({.seconds = 0.1});
    HSTREAM other = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    ASSERT_NE(other, 0u);
    FreeEngine log;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, FreeEngine::sync, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(BASS_ChannelPlay(other, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.calls == 1; }));
    EXPECT_EQ(log.result, TRUE);
    BASS_INFO info{};
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

struct Busy {
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    // Calls into the engine for as long as it is asked to.
    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        auto* self = static_cast<Busy*>(user);
        ++self->calls;
        while (!self->stop) {
            BASS_ChannelGetLevel(channel);
            BASS_ChannelGetTags(channel, BASS_TAG_META);
            BASS_GetCPU();
            std::this_thread::yield();
        }
    }
};

TEST_F(EngineThreads, EngineFreeWhileSyncsCallTheEngine) {
    HSTREAM stream = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    Busy busy;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, Busy::sync, &busy), 0u);
    auto channel = test::channelOf(stream);
    std::thread download([&] { channel->fireSyncs(BASS_SYNC_META, 0); });
    ASSERT_TRUE(waitUntil([&] { return busy.calls == 1; }));
    std::thread freeing([] { EXPECT_TRUE(BASS_Free()); });
    // The sync sees the engine go (its calls fail) and only then returns.
    EXPECT_TRUE(waitUntil([] { return BASS_GetCPU() == 0 && BASS_ErrorGetCode() == BASS_ERROR_INIT; }));
    busy.stop = true;
    freeing.join();
    download.join();
}

TEST_F(EngineThreads, ManyThreadsUsingStreamsAtOnce) {
    std::atomic<bool> stop{false};
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            while (!stop) {
                HSTREAM stream = test::createToneStream(
                    {.seconds = 0.05 * (random() % 4), .flags = random() % 2 ? DWORD(BASS_STREAM_AUTOFREE) : 0});
                if (!stream) continue;
                ++created;
                BASS_ChannelSetSync(
                    stream, BASS_SYNC_END, 0, [](HSYNC, DWORD ch, DWORD, void*) { BASS_ChannelGetLevel(ch); }, nullptr);
                HFX fx = BASS_ChannelSetFX(stream, random() % 2 ? BASS_FX_DX8_PARAMEQ : BASS_FX_DX8_REVERB, 0);
                BASS_ChannelPlay(stream, FALSE);
                BASS_DX8_PARAMEQ eq{1000, 12, float(int(random() % 31) - 15)};
                BASS_FXSetParameters(fx, &eq);
                BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, float(random() % 100) / 100);
                if (auto channel = test::channelOf(stream)) {
                    channel->tags().set(BASS_TAG_META, "StreamTitle='" + std::to_string(random()) + "';");
                    channel->fireSyncs(BASS_SYNC_META, 0);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
                if (random() % 3) BASS_ChannelPause(stream);
                BASS_StreamFree(stream);  // may be gone already (AUTOFREE)
            }
        });
    }
    threads.emplace_back([&] {
        // Any handle from the counter's range: live, freed or never given.
        std::mt19937 random(99);
        while (!stop) {
            DWORD handle = 0x10000 + random() % 2000;
            BASS_ChannelGetLevel(handle);
            if (const char* meta = BASS_ChannelGetTags(handle, BASS_TAG_META)) {
                EXPECT_EQ(std::strncmp(meta, "Stream", 6), 0);
            }
            BASS_ChannelIsActive(handle);
            BASS_DX8_REVERB reverb;
            BASS_FXGetParameters(handle, &reverb);
            BASS_GetCPU();
        }
    });
    ASSERT_TRUE(waitUntil([&] { return created > 60; }, 60));
    stop = true;
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(BASS_Free());
}

}  // namespace
