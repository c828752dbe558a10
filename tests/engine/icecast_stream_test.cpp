// Streams from a real Icecast server, played through SDL's disk driver: what
// comes out is one of the songs' tones at their level, the titles arrive as
// META syncs, and a new song of the Ogg mount replaces the comments.
#include <strings.h>
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/disk_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/icecast_server.h"
#include "tests/support/tone_analysis.h"
#include "tests/support/wait_until.h"

namespace {

using test::tagTexts;
using test::waitUntil;

struct Titles {
    std::mutex mutex;
    std::vector<std::string> seen;
    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        auto* self = static_cast<Titles*>(user);
        const char* meta = BASS_ChannelGetTags(channel, BASS_TAG_META);
        auto ogg = tagTexts(BASS_ChannelGetTags(channel, BASS_TAG_OGG));
        std::lock_guard lock(self->mutex);
        if (meta) self->seen.emplace_back(meta);
        for (const auto& comment : ogg)
            if (strncasecmp(comment.c_str(), "title=", 6) == 0) self->seen.push_back(comment.substr(6));
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return seen.size();
    }
};

class IcecastStream : public test::DiskOutputTest {
protected:
    void SetUp() override {
        icecast_ = test::IcecastServer::get();
        REQUIRE_ICECAST(icecast_);
        test::DiskOutputTest::SetUp();
        if (HasFatalFailure()) return;
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
    }
    std::vector<float> lastSecond() {
        size_t end = framesOut() + 44100;
        return outputFrames(end - 44100, end);
    }

    // True when some quarter second of the last second is a song's tone at half scale.
    bool heardASong() {
        auto samples = lastSecond();
        for (size_t quarter = 0; quarter < 4; ++quarter) {
            auto part = tone::channelOf(samples, 2, 0, quarter * 11025, (quarter + 1) * 11025);
            double frequency = tone::zeroCrossingFrequency(part, 44100);
            for (const auto& song : icecast_->songs()) {
                if (std::fabs(frequency - song.frequency) < song.frequency * 0.01 &&
                    std::fabs(tone::amplitudeAt(part, song.frequency, 44100) - 0.5) < 0.05)
                    return true;
            }
        }
        return false;
    }

    const test::IcecastServer* icecast_ = nullptr;
};

TEST_F(IcecastStream, Mp3MountPlaysItsSongsWithTitles) {
    HSTREAM stream = BASS_StreamCreateURL(icecast_->mp3Url().c_str(), 0, BASS_STREAM_STATUS | BASS_STREAM_AUTOFREE,
                                          nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    auto head = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_ICY));
    if (head.empty()) head = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_HTTP));
    ASSERT_FALSE(head.empty());
    bool named = false;
    for (const auto& line : head) named = named || strncasecmp(line.c_str(), "icy-name:", 9) == 0;
    EXPECT_TRUE(named);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_MP3));
    EXPECT_EQ(info.freq, 44100u);

    Titles titles;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, Titles::sync, &titles), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_TRUE(heardASong());
    ASSERT_TRUE(waitUntil([&] { return titles.count() > 0; }, 30));
    std::lock_guard lock(titles.mutex);
    for (const auto& meta : titles.seen) {
        auto begin = meta.find("StreamTitle='");
        ASSERT_NE(begin, std::string::npos) << meta;
        auto end = meta.find("';", begin);
        EXPECT_GE(icecast_->songIndex(meta.substr(begin + 13, end - begin - 13)), 0) << meta;
    }
}

TEST_F(IcecastStream, OggMountChainsReplaceTheComments) {
    HSTREAM stream = BASS_StreamCreateURL(icecast_->oggUrl().c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_OGG));
    auto first = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_OGG));
    EXPECT_FALSE(first.empty()) << "the first song's comments are there when create returns";

    Titles titles;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, Titles::sync, &titles), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_TRUE(heardASong());
    ASSERT_TRUE(waitUntil([&] { return titles.count() > 0; }, 30));
    auto now = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_OGG));
    int titlesInTag = 0;
    for (const auto& comment : now) titlesInTag += strncasecmp(comment.c_str(), "title=", 6) == 0;
    EXPECT_EQ(titlesInTag, 1) << "a new song replaces the comments";
    std::lock_guard lock(titles.mutex);
    bool known = false;
    for (const auto& song : icecast_->songs()) known = known || song.title == titles.seen.front();
    EXPECT_TRUE(known) << titles.seen.front();
    EXPECT_TRUE(BASS_StreamFree(stream));
}

}  // namespace
