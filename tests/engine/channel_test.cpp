// The channel calls against a running engine ("No sound" and SDL's dummy
// output), with streams fed by a generated tone.
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/synthetic_stream.h"
#include "tests/support/wait_until.h"

namespace {

using test::waitUntil;

class Engine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode(); }
    void TearDown() override { BASS_Free(); }
};

DWORD left(DWORD level) {
    return level & 0xFFFF;
}
DWORD right(DWORD level) {
    return level >> 16;
}

// Every channel and effect call with `handle`, each expected to fail with `code`.
void expectAllRefused(DWORD handle, int code) {
    BASS_CHANNELINFO info{};
    float value = 0;
    BASS_DX8_PARAMEQ eq{};
    SCOPED_TRACE(handle);
    EXPECT_FALSE(BASS_StreamFree(handle));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelPause(handle));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelStop(handle));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_EQ(BASS_ChannelIsActive(handle), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, 0.5f));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelGetAttribute(handle, BASS_ATTRIB_VOL, &value));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_EQ(BASS_ChannelGetLevel(handle), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_META), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelGetInfo(handle, &info));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_EQ(BASS_ChannelSetSync(
                  handle, BASS_SYNC_END, 0, [](HSYNC, DWORD, DWORD, void*) {}, nullptr),
              0u);
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelRemoveSync(handle, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_EQ(BASS_ChannelSetFX(handle, BASS_FX_DX8_PARAMEQ, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_ChannelRemoveFX(handle, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_FXSetParameters(handle, &eq));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
    EXPECT_FALSE(BASS_FXGetParameters(handle, &eq));
    EXPECT_EQ(BASS_ErrorGetCode(), code);
}

TEST(ChannelCalls, RefusedBeforeInit) {
    expectAllRefused(0, BASS_ERROR_INIT);
    expectAllRefused(0x10001, BASS_ERROR_INIT);
    EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1:1/", 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST_F(Engine, BadAndStaleHandlesAreRefused) {
    expectAllRefused(0, BASS_ERROR_HANDLE);
    expectAllRefused(0xFFFFFFFF, BASS_ERROR_HANDLE);
    expectAllRefused(7, BASS_ERROR_HANDLE);

    HSTREAM stream = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    HFX fx = BASS_ChannelSetFX(stream, BASS_FX_DX8_REVERB, 0);
    ASSERT_NE(fx, 0u);
    HSYNC sync = BASS_ChannelSetSync(
        stream, BASS_SYNC_META, 0, [](HSYNC, DWORD, DWORD, void*) {}, nullptr);
    ASSERT_NE(sync, 0u);
    // Handles of one kind are not handles of another.
    EXPECT_FALSE(BASS_ChannelPlay(fx, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_ChannelPlay(sync, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    BASS_DX8_REVERB reverb{};
    EXPECT_FALSE(BASS_FXGetParameters(stream, &reverb));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    ASSERT_TRUE(BASS_StreamFree(stream));
    expectAllRefused(stream, BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_FXGetParameters(fx, &reverb)) << "a freed stream's effects go with it";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    // A new stream never takes an old number.
    HSTREAM next = test::createToneStream({});
    EXPECT_NE(next, stream);
    EXPECT_NE(next, fx);
    EXPECT_TRUE(BASS_StreamFree(next));
}

TEST_F(Engine, PlayPauseAndTheLevelMeter) {
    HSTREAM stream = test::createToneStream({.frequency = 500, .amplitude = 0.5f});
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u) << "not playing yet";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PLAYING));
    ASSERT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 0; }));
    DWORD level = BASS_ChannelGetLevel(stream);
    EXPECT_NEAR(double(left(level)), 0.5 * 32768, 400);
    EXPECT_NEAR(double(right(level)), 0.5 * 32768, 400);

    ASSERT_TRUE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u) << "the meters fall to 0 when paused";
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_PAUSED));
    EXPECT_FALSE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 15000; }));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Engine, VolumeAttribute) {
    HSTREAM stream = test::createToneStream({.frequency = 500, .amplitude = 0.8f});
    ASSERT_NE(stream, 0u);
    float volume = 0;
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_EQ(volume, 1.0f);
    ASSERT_TRUE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, 0.5f));
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_EQ(volume, 0.5f);

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    // The level is measured after the volume: 0.8 * 0.5.
    ASSERT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 0; }));
    EXPECT_NEAR(double(left(BASS_ChannelGetLevel(stream))), 0.4 * 32768, 400);

    EXPECT_FALSE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, -0.1f));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, std::nanf("")));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_ChannelSetAttribute(stream, 3, 0.5f));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_FALSE(BASS_ChannelGetAttribute(stream, 1, &volume));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_EQ(volume, 0.5f) << "refused values change nothing";

    ASSERT_TRUE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, 1.5f));
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_EQ(volume, 1.0f) << "above full volume is taken as full";
    ASSERT_TRUE(BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, 0.0f));
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelGetLevel(stream) == 0; }));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Engine, ChannelInformation) {
    HSTREAM stream = test::createToneStream(
        {.channels = 1, .flags = BASS_SAMPLE_FX | BASS_STREAM_AUTOFREE, .ctype = BASS_CTYPE_STREAM_OGG, .rate = 22050});
    ASSERT_NE(stream, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, 22050u);
    EXPECT_EQ(info.chans, 1u);
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_OGG));
    EXPECT_EQ(info.flags, DWORD(BASS_SAMPLE_FX | BASS_STREAM_AUTOFREE));
    EXPECT_EQ(info.plugin, 0u);
    EXPECT_STREQ(info.filename, "tone://generated");
    EXPECT_FALSE(BASS_ChannelGetInfo(stream, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Engine, TagsAreListsOrOneTextAndOutliveTheirReplacement) {
    HSTREAM stream = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    for (DWORD type : {BASS_TAG_META, BASS_TAG_OGG, BASS_TAG_HTTP, BASS_TAG_ICY}) {
        EXPECT_EQ(BASS_ChannelGetTags(stream, type), nullptr);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    }
    EXPECT_EQ(BASS_ChannelGetTags(stream, 99), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    auto channel = test::channelOf(stream);
    channel->tags().set(BASS_TAG_ICY, engine::textList({"ICY 200 OK", "icy-name: A", "icy-url: B"}));
    const char* icy = BASS_ChannelGetTags(stream, BASS_TAG_ICY);
    ASSERT_NE(icy, nullptr);
    EXPECT_STREQ(icy, "ICY 200 OK");
    icy += std::strlen(icy) + 1;
    EXPECT_STREQ(icy, "icy-name: A");
    icy += std::strlen(icy) + 1;
    EXPECT_STREQ(icy, "icy-url: B");
    icy += std::strlen(icy) + 1;
    EXPECT_STREQ(icy, "") << "the list ends with an empty text";

    channel->tags().set(BASS_TAG_META, "StreamTitle='One';");
    const char* first = BASS_ChannelGetTags(stream, BASS_TAG_META);
    ASSERT_NE(first, nullptr);
    channel->tags().set(BASS_TAG_META, "StreamTitle='Two';");
    EXPECT_STREQ(BASS_ChannelGetTags(stream, BASS_TAG_META), "StreamTitle='Two';");
    // A reader still holding the old pointer reads the old text, not freed memory.
    EXPECT_STREQ(first, "StreamTitle='One';");
    const char* second = BASS_ChannelGetTags(stream, BASS_TAG_META);
    channel.reset();
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_STREQ(second, "StreamTitle='Two';") << "still readable just after the stream is freed";
}

struct SyncLog {
    std::atomic<int> calls{0};
    std::atomic<DWORD> channel{0};
    std::atomic<HSYNC> sync{0};
    std::atomic<bool> onCallerThread{false};
    std::thread::id caller = std::this_thread::get_id();
};

void CALLBACK_log(HSYNC sync, DWORD channel, DWORD, void* user) {
    auto* log = static_cast<SyncLog*>(user);
    log->sync = sync;
    log->channel = channel;
    if (std::this_thread::get_id() == log->caller) log->onCallerThread = true;
    ++log->calls;
}

TEST_F(Engine, EndSyncFiresOnceOnAnEngineThreadAfterPlayOut) {
    HSTREAM stream = test::createToneStream({.seconds = 0.3});
    ASSERT_NE(stream, 0u);
    SyncLog log;
    HSYNC sync = BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, CALLBACK_log, &log);
    ASSERT_NE(sync, 0u);
    ASSERT_TRUE(waitUntil([&] { return test::channelOf(stream)->dataEnded(); }));
    EXPECT_EQ(log.calls, 0) << "the end of the data is not the end of play";
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.calls > 0; }));
    EXPECT_EQ(log.channel, stream);
    EXPECT_EQ(log.sync, sync);
    EXPECT_FALSE(log.onCallerThread);
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u);
    // Playing an ended stream does not end it again.
    EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_FALSE(waitUntil([&] { return log.calls > 1; }, 0.3));
    EXPECT_TRUE(BASS_StreamFree(stream)) << "without AUTOFREE the stream stays";
}

TEST_F(Engine, AutofreeFreesTheStreamAfterItsEndSync) {
    HSTREAM stream = test::createToneStream({.seconds = 0.2, .flags = BASS_STREAM_AUTOFREE});
    ASSERT_NE(stream, 0u);
    SyncLog log;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, CALLBACK_log, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(waitUntil([&] { return !BASS_ChannelGetInfo(stream, &info); }));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(log.calls, 1);
    EXPECT_FALSE(BASS_StreamFree(stream));
}

TEST_F(Engine, SyncTypesOneTimeAndRemoval) {
    HSTREAM stream = test::createToneStream({});
    ASSERT_NE(stream, 0u);
    SyncLog every, once, removed;
    EXPECT_EQ(BASS_ChannelSetSync(stream, 99, 0, CALLBACK_log, &every), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META | BASS_SYNC_MIXTIME, 0, CALLBACK_log, &every), 0u);
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META | BASS_SYNC_ONETIME, 0, CALLBACK_log, &once), 0u);
    HSYNC gone = BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, CALLBACK_log, &removed);
    ASSERT_NE(gone, 0u);
    EXPECT_TRUE(BASS_ChannelRemoveSync(stream, gone));
    EXPECT_FALSE(BASS_ChannelRemoveSync(stream, gone));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    auto channel = test::channelOf(stream);
    channel->fireSyncs(BASS_SYNC_META, 0);
    channel->fireSyncs(BASS_SYNC_META, 0);
    channel->fireSyncs(BASS_SYNC_OGG_CHANGE, 0);
    EXPECT_EQ(every.calls, 2);
    EXPECT_EQ(once.calls, 1);
    EXPECT_EQ(removed.calls, 0);
    channel.reset();
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Engine, EffectsParametersAndTheirEffectOnTheLevel) {
    HSTREAM stream = test::createToneStream({.frequency = 1000, .amplitude = 0.5f});
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelSetFX(stream, 3, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    HFX eq = BASS_ChannelSetFX(stream, BASS_FX_DX8_PARAMEQ, 0);
    HFX reverb = BASS_ChannelSetFX(stream, BASS_FX_DX8_REVERB, 0);
    ASSERT_NE(eq, 0u);
    ASSERT_NE(reverb, 0u);
    BASS_DX8_PARAMEQ band{};
    ASSERT_TRUE(BASS_FXGetParameters(eq, &band));
    EXPECT_EQ(band.fBandwidth, 12.0f);
    EXPECT_EQ(band.fGain, 0.0f);
    BASS_DX8_REVERB rv{};
    ASSERT_TRUE(BASS_FXGetParameters(reverb, &rv));
    EXPECT_EQ(rv.fReverbTime, 1000.0f);
    rv.fReverbMix = -96.0f;  // the reverb's tail would raise the level
    ASSERT_TRUE(BASS_FXSetParameters(reverb, &rv));

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 10000; }));

    band = {1000.0f, 12.0f, -15.0f};
    ASSERT_TRUE(BASS_FXSetParameters(eq, &band));
    // -15 dB at the tone's frequency: 0.5 -> 0.089; the reverb adds its dry path.
    EXPECT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) < 4500; }))
        << left(BASS_ChannelGetLevel(stream));

    BASS_DX8_PARAMEQ bad{1000.0f, 12.0f, 16.0f};
    EXPECT_FALSE(BASS_FXSetParameters(eq, &bad));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_FXSetParameters(eq, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_FXGetParameters(eq, &band));
    EXPECT_EQ(band.fGain, -15.0f) << "a refused record changes nothing";

    EXPECT_TRUE(BASS_ChannelRemoveFX(stream, eq));
    EXPECT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 10000; }));
    EXPECT_FALSE(BASS_FXGetParameters(eq, &band));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_ChannelRemoveFX(stream, eq));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(Engine, EightBitStreamsPlay) {
    HSTREAM stream = test::createToneStream({.amplitude = 0.5f, .flags = BASS_SAMPLE_8BITS});
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return left(BASS_ChannelGetLevel(stream)) > 0; }));
    EXPECT_NEAR(double(left(BASS_ChannelGetLevel(stream))), 0.5 * 32768, 400);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST(ChannelCalls, FreeEndsEveryStream) {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    HSTREAM a = test::createToneStream({});
    HSTREAM b = test::createToneStream({.seconds = 0.1});
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
    ASSERT_TRUE(BASS_Free());
    EXPECT_EQ(test::channelOf(a), nullptr);
    EXPECT_EQ(test::channelOf(b), nullptr);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    expectAllRefused(a, BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_Free());
}

}  // namespace
