// AAC and Opus radio streams served on 127.0.0.1 play only once their
// plug-in is loaded, come out at their pitch, and carry their titles.
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/plugins/encoders.h"
#include "tests/support/disk_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"
#include "tests/support/wait_until.h"

namespace {

class PluginStreams : public test::DiskOutputTest {
protected:
    void SetUp() override {
        test::DiskOutputTest::SetUp();
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    }

    // Serves the files one after the other at path ("pause": 3 s of silence).
    std::string serve(const std::string& path, const std::vector<std::string>& files, const std::string& extra) {
        std::string body;
        for (const auto& f : files)
            body += std::string(body.empty() ? "" : ", ") +
                    (f == "pause" ? R"({"pause": 3})" : R"({"file": ")" + f + "\"}");
        EXPECT_TRUE(server_.route(R"({"path": ")" + path + R"(", "body": [)" + body + "]" + extra + "}"));
        return server_.url(path);
    }

    // The create fails with a format error until `plugin` is loaded; then
    // the stream is of its type.
    HSTREAM createOnlyWith(const char* plugin, const std::string& url, DWORD ctype) {
        EXPECT_EQ(BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
        HPLUGIN handle = BASS_PluginLoad((std::string(TUNELARK_BINARY_DIR) + "/" + plugin).c_str(), 0);
        EXPECT_NE(handle, 0u) << BASS_ErrorGetCode();
        HSTREAM stream = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        BASS_CHANNELINFO info{};
        EXPECT_TRUE(BASS_ChannelGetInfo(stream, &info));
        EXPECT_EQ(info.ctype, ctype);
        EXPECT_EQ(info.plugin, handle);
        return stream;
    }

    // Plays the stream: it is heard at `frequency`.
    void expectHeard(HSTREAM stream, double frequency) {
        size_t start = framesOut();
        EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
        auto heard = outputFrames(start + size_t(0.3 * rate_), start + size_t(1.3 * rate_));
        EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(heard, channels_), rate_), frequency, 2.0);
        EXPECT_NEAR(tone::amplitudeAt(tone::channelOf(heard, channels_), frequency, rate_), 0.5, 0.05);
    }

    test::StreamServer server_;
};

TEST_F(PluginStreams, AacIcyStationPlaysWithItsPluginAndTitle) {
    std::string aac = dir_.file("tone.aac");
    ASSERT_TRUE(test::encodeAac({.frequency = 1000, .seconds = 3}, aac));
    std::string url = serve("/aac", {aac}, R"(, "status": "ICY 200 OK", "headers": ["Content-Type: audio/aacp",
        "icy-metaint: 4000"], "metaint": 4000, "meta": [{"block": 0, "title": "Band - Song"}], "loop": true)");
    HSTREAM stream = createOnlyWith("bassaac.so", url, BASS_CTYPE_STREAM_AAC);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    expectHeard(stream, 1000);
    const char* meta = BASS_ChannelGetTags(stream, BASS_TAG_META);
    EXPECT_STREQ(meta ? meta : "", "StreamTitle='Band - Song';");
    EXPECT_TRUE(BASS_StreamFree(stream));
}

bool hasText(const char* list, const std::string& text) {
    auto texts = test::tagTexts(list);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void countChange(HSYNC, DWORD, DWORD, void* user) {
    ++*static_cast<std::atomic<int>*>(user);
}

TEST_F(PluginStreams, ChainedOpusStreamPlaysWithItsPluginAndChangesSong) {
    std::string first = dir_.file("first.opus"), second = dir_.file("second.opus");
    ASSERT_TRUE(test::encodeOpus({.frequency = 1000, .seconds = 4}, {"TITLE=First"}, first));
    ASSERT_TRUE(test::encodeOpus({.frequency = 500, .rate = 48000, .seconds = 2}, {"TITLE=Second"}, second));
    // The second song comes seconds after the first: its change is heard of
    // after the sync is set.
    std::string url =
        serve("/opus", {first, "pause", second}, R"(, "headers": ["Content-Type: audio/ogg"], "rate": 32000)");
    HSTREAM stream = createOnlyWith("bassopus.so", url, BASS_CTYPE_STREAM_OPUS);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(stream, &info);
    EXPECT_EQ(info.freq, 48000u);
    std::atomic<int> changes{0};
    EXPECT_TRUE(hasText(BASS_ChannelGetTags(stream, BASS_TAG_OGG), "TITLE=First"));
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, countChange, &changes), 0u);
    expectHeard(stream, 1000);
    EXPECT_TRUE(test::waitUntil([&] { return changes.load() > 0; }, 30));
    EXPECT_TRUE(hasText(BASS_ChannelGetTags(stream, BASS_TAG_OGG), "TITLE=Second"));
    EXPECT_FALSE(hasText(BASS_ChannelGetTags(stream, BASS_TAG_OGG), "TITLE=First"));
    EXPECT_EQ(changes.load(), 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

}  // namespace
