// The device side of the engine: device list, start and stop, the
// information and load it reports, options, and per-thread error codes.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/engine_fixture.h"

namespace {

using test::baselineThreads;
using test::threadCountReturnsTo;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old, hadOld_ = true;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(Device, ListStartsWithNoSoundThenTheDefaultOutput) {
    BASS_DEVICEINFO info{};
    ASSERT_TRUE(BASS_GetDeviceInfo(0, &info));
    EXPECT_STREQ(info.name, "No sound");
    EXPECT_STREQ(info.driver, "nosound");
    EXPECT_EQ(info.flags, DWORD(BASS_DEVICE_ENABLED));

    ASSERT_TRUE(BASS_GetDeviceInfo(1, &info));
    EXPECT_STREQ(info.name, "Default");
    EXPECT_STREQ(info.driver, "sdl");
    EXPECT_EQ(info.flags, DWORD(BASS_DEVICE_ENABLED | BASS_DEVICE_DEFAULT));

    DWORD count = 2;
    while (BASS_GetDeviceInfo(count, &info)) {
        EXPECT_NE(info.name, nullptr);
        EXPECT_EQ(info.flags & BASS_DEVICE_DEFAULT, 0u) << "only device 1 is the default";
        ++count;
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(BASS_GetDeviceInfo(0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST(Device, CallsBeforeInitAreRefused) {
    BASS_INFO info{};
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(BASS_GetVolume(), -1.0f);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_SetVolume(0.5f));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(BASS_GetCPU(), 0.0f);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(BASS_GetVersion(), 0x02040900u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST(Device, DefaultDeviceStartsStopsAndStartsAgain) {
    int before = baselineThreads();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
        EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

        BASS_INFO info{};
        ASSERT_TRUE(BASS_GetInfo(&info));
        EXPECT_EQ(info.dsver, 9u);
        EXPECT_EQ(info.speakers, 2u);
        EXPECT_EQ(info.freq, 44100u);
        EXPECT_GT(info.minbuf, 0u);
        EXPECT_LE(info.minbuf, 100u) << "a station starts, and a slider is heard, within a tenth of a second";
        EXPECT_GE(info.latency, info.minbuf);

        BASS_DEVICEINFO device{};
        ASSERT_TRUE(BASS_GetDeviceInfo(1, &device));
        EXPECT_TRUE(device.flags & BASS_DEVICE_INIT);
        ASSERT_TRUE(BASS_GetDeviceInfo(0, &device));
        EXPECT_FALSE(device.flags & BASS_DEVICE_INIT);

        ASSERT_TRUE(BASS_Free());
        EXPECT_FALSE(BASS_GetInfo(&info));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    }
    EXPECT_TRUE(threadCountReturnsTo(before)) << "an engine thread outlived BASS_Free: " << test::threadNames();
}

TEST(Device, NoSoundDeviceRunsWithoutSdl) {
    // A driver SDL does not know: only device 0 can start.
    ScopedEnv env("SDL_AUDIODRIVER", "no-such-driver");
    BASS_DEVICEINFO device{};
    EXPECT_FALSE(BASS_GetDeviceInfo(1, &device));
    ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    BASS_INFO info{};
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(info.speakers, 2u);
    EXPECT_EQ(info.freq, 48000u);
    ASSERT_TRUE(BASS_GetDeviceInfo(0, &device));
    EXPECT_EQ(device.flags, DWORD(BASS_DEVICE_ENABLED | BASS_DEVICE_INIT));
    EXPECT_TRUE(BASS_Free());
}

TEST(Device, InitFailsCleanlyWhenSdlHasNoDriver) {
    int before = baselineThreads();
    {
        ScopedEnv env("SDL_AUDIODRIVER", "no-such-driver");
        EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
        BASS_INFO info{};
        EXPECT_FALSE(BASS_GetInfo(&info));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT) << "a failed start leaves nothing open";
        EXPECT_FALSE(BASS_Free());
    }
    EXPECT_TRUE(threadCountReturnsTo(before));
    // The failure leaves no state behind: with a working driver it starts.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    EXPECT_TRUE(BASS_Free());
}

TEST(Device, BadDeviceNumbersAndRatesAreRefused) {
    EXPECT_FALSE(BASS_Init(99, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(BASS_Init(-2, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(BASS_Init(0, 100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    BASS_INFO info{};
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(Device, MasterVolume) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_GetVolume(), 1.0f);
    EXPECT_TRUE(BASS_SetVolume(0.57f));
    EXPECT_EQ(BASS_GetVolume(), 0.57f);
    EXPECT_FALSE(BASS_SetVolume(1.01f));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_SetVolume(-0.01f));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_GetVolume(), 0.57f);
    EXPECT_TRUE(BASS_SetVolume(0.0f));
    EXPECT_EQ(BASS_GetVolume(), 0.0f);
    EXPECT_TRUE(BASS_Free());
    // A new start begins at full volume again.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_GetVolume(), 1.0f);
    EXPECT_TRUE(BASS_Free());
}

TEST(Device, CpuLoadIsAPercentageOfRealTime) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    for (int i = 0; i < 20; ++i) {
        float load = BASS_GetCPU();
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
        EXPECT_GE(load, 0.0f);
        EXPECT_LT(load, 100.0f) << "mixing silence takes a fraction of real time";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The device runs, but with no channel it only plays out silence: the
    // load reads zero, so an idle window has nothing to show (the mixer's
    // own test measures a load while channels are mixed).
    EXPECT_EQ(BASS_GetCPU(), 0.0f);
    EXPECT_TRUE(BASS_Free());
}

TEST(Config, OptionsHaveDefaultsAndRanges) {
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT), 5000u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 0u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_BUFFER), 5000u);

    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 1u);
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PREBUF), 0u);
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 100));
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 101));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PREBUF), 100u);
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_NET_AGENT, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_GetConfig(12345), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 75);
}

TEST(Errors, CodesArePerThread) {
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_NET_AGENT, 1));
    std::thread other([] {
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
        EXPECT_FALSE(BASS_Init(99, 44100, 0, nullptr, nullptr));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    });
    other.join();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
}

TEST(Plugins, MissingFileAndUnknownHandleAreRefusedCleanly) {
    EXPECT_EQ(BASS_PluginLoad("bass_aac.so", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_PluginGetInfo(0x12345), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

}  // namespace
