// HLS stations from a local server (tests/support/hls/hls_server.py): ffmpeg's
// live windows of MPEG-TS (two variants) and fMP4, packed audio with ID3
// titles, AES-128; heard at their pitch, titled, recorded, and the bad
// playlists that must end cleanly.
#include <atomic>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/plugins/hls_server.h"
#include "tests/support/disk_output.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"
#include "tests/support/wait_until.h"

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A live window of ffmpeg's holds this many segments by now.
bool windowFilled(const std::string& playlist, size_t segments) {
    std::string text = readText(playlist);
    size_t count = 0;
    for (size_t at = text.find("#EXTINF"); at != std::string::npos; at = text.find("#EXTINF", at + 1)) ++count;
    return count >= segments;
}

// What the download callback received, cut at every title sync: each piece
// is one song's recording.
struct Received {
    std::mutex mutex;
    std::vector<std::vector<unsigned char>> pieces{1};
    std::vector<std::string> titles;
    size_t total = 0;
};

void onDownload(const void* buffer, DWORD length, void* user) {
    auto* r = static_cast<Received*>(user);
    std::lock_guard lock(r->mutex);
    if (!buffer || length == 0) return;
    auto bytes = static_cast<const unsigned char*>(buffer);
    r->pieces.back().insert(r->pieces.back().end(), bytes, bytes + length);
    r->total += length;
}

class HlsStreams : public test::DiskOutputTest {
protected:
    void SetUp() override {
        test::DiskOutputTest::SetUp();
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
        hls_ = BASS_PluginLoad(TUNELARK_BINARY_DIR "/basshls.so", 0);
        ASSERT_NE(hls_, 0u) << BASS_ErrorGetCode();
    }

    HSTREAM open(const std::string& url, Received* received = nullptr) {
        return BASS_StreamCreateURL(url.c_str(), 0, 0, received ? onDownload : nullptr, received);
    }

    void expectHeard(HSTREAM stream, double frequency) {
        size_t start = framesOut();
        EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
        auto heard = outputFrames(start + size_t(0.5 * rate_), start + size_t(1.5 * rate_));
        EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(heard, channels_), rate_), frequency, 3.0);
    }

    // Plays on while the playlist is reloaded `reloads` times (2 s each):
    // the channel never runs dry and never ends.
    void expectPlaysOn(HSTREAM stream, int seconds) {
        int stalls = 0;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            stalls += BASS_ChannelIsActive(stream) != BASS_ACTIVE_PLAYING;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(stalls, 0);
    }

    // A live station of packed audio (a 1 kHz tone at kbps in titled
    // segments), served until the test ends or resets server_.
    test::HlsServer& startPackedStation(int kbps) {
        EXPECT_TRUE(
            fixtures::run("ffmpeg -loglevel error -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*1000*t):s=44100:d=20' "
                          "-ac 2 -c:a aac -b:a " +
                          std::to_string(kbps) + "k -f adts " + fixtures::shellQuote(dir_.file("packed.aac"))));
        return server_.emplace(dir_.path(), std::vector<std::string>{});
    }

    HPLUGIN hls_ = 0;
    std::optional<test::HlsServer> server_;
};

TEST_F(HlsStreams, TsLiveWindowPlaysItsRicherAudioVariantAcrossReloads) {
    test::HlsServer server(dir_.path(), {"--ts"});
    ASSERT_TRUE(test::waitUntil([&] { return windowFilled(dir_.file("ts/v1.m3u8"), 3); }, 60));
    const BASS_PLUGININFO* info = BASS_PluginGetInfo(hls_);
    ASSERT_TRUE(info && info->formatc == 1);
    EXPECT_STREQ(info->formats[0].name, "HLS stream");
    EXPECT_STREQ(info->formats[0].exts, "*.m3u8");
    HSTREAM stream = open(server.url("/files/ts/master.m3u8"));
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO channel{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &channel));
    EXPECT_EQ(channel.ctype, DWORD(BASS_CTYPE_STREAM_AAC));
    EXPECT_EQ(channel.plugin, hls_);
    expectHeard(stream, 1000);  // the 128k variant, not the 48k one at 500 Hz
    expectPlaysOn(stream, 20);
    expectHeard(stream, 1000);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(HlsStreams, Fmp4LiveWindowPlaysAndRecordsAdts) {
    test::HlsServer server(dir_.path(), {"--fmp4"});
    ASSERT_TRUE(test::waitUntil([&] { return windowFilled(dir_.file("fmp4/index.m3u8"), 2); }, 60));
    Received received;
    HSTREAM stream = open(server.url("/files/fmp4/index.m3u8"), &received);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    expectHeard(stream, 750);
    std::lock_guard lock(received.mutex);
    ASSERT_GT(received.pieces[0].size(), 7u);
    EXPECT_EQ(received.pieces[0][0], 0xFF);
    EXPECT_EQ(received.pieces[0][1] & 0xF6, 0xF0);
}

void onTitle(HSYNC, DWORD channel, DWORD, void* user) {
    auto* r = static_cast<Received*>(user);
    const char* meta = BASS_ChannelGetTags(channel, BASS_TAG_META);
    std::lock_guard lock(r->mutex);
    r->titles.push_back(meta ? meta : "");
    r->pieces.emplace_back();
}

std::string probeCodec(const std::string& path) {
    std::string out = path + ".probe";
    fixtures::run("ffprobe -v error -show_entries stream=codec_name:format=duration -of csv=p=0 " +
                  fixtures::shellQuote(path) + " > " + fixtures::shellQuote(out));
    return readText(out);
}

TEST_F(HlsStreams, PackedAudioTitlesFireTheSyncAndCutPlayableRecordings) {
    test::HlsServer& server = startPackedStation(128);
    Received received;
    HSTREAM stream = open(server.url("/packed.m3u8?every=2"), &received);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    const char* first = BASS_ChannelGetTags(stream, BASS_TAG_META);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(std::string(first).starts_with("StreamTitle='Artist ")) << first;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, onTitle, &received), 0u);
    expectHeard(stream, 1000);
    ASSERT_TRUE(test::waitUntil(
        [&] {
            std::lock_guard l(received.mutex);
            return received.titles.size() >= 3;
        },
        90));
    EXPECT_TRUE(BASS_StreamFree(stream));
    // The song between the first two changes is whole: two segments of
    // ADTS, a playable .aac file of about 4 s.
    std::lock_guard lock(received.mutex);
    EXPECT_NE(received.titles[0], received.titles[1]);
    EXPECT_TRUE(received.titles[1].starts_with("StreamTitle='Artist ")) << received.titles[1];
    std::string song = dir_.file("song.aac");
    fixtures::writeBytes(song, received.pieces[1]);
    std::string probe = probeCodec(song);
    EXPECT_TRUE(probe.starts_with("aac")) << probe;
    double seconds = std::atof(probe.substr(probe.find('\n') + 1).c_str());
    EXPECT_NEAR(seconds, 4.0, 0.3) << probe;
}

TEST_F(HlsStreams, Aes128SegmentsAreDecryptedAndTheListEnds) {
    std::string folder = dir_.file("aes");
    ASSERT_TRUE(fixtures::run("mkdir -p " + folder + " && head -c 16 /dev/urandom > " + folder + "/k.key"));
    std::ofstream(folder + "/keyinfo") << "k.key\n" << folder << "/k.key\n";
    ASSERT_TRUE(
        fixtures::run("ffmpeg -loglevel error -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*1000*t):s=44100:d=5' -ac 2 "
                      "-c:a aac -f hls -hls_time 2 -hls_playlist_type vod -hls_key_info_file " +
                      folder + "/keyinfo " + folder + "/index.m3u8"));
    ASSERT_NE(readText(folder + "/index.m3u8").find("METHOD=AES-128"), std::string::npos);
    test::HlsServer server(dir_.path(), {});
    HSTREAM stream = open(server.url("/files/aes/index.m3u8"));
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    expectHeard(stream, 1000);
    EXPECT_TRUE(test::waitUntil([&] { return BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED; }, 60));
}

// One file cut into parts by #EXT-X-BYTERANGE (ffmpeg's single_file): MPEG-TS
// and fMP4 (its init section a part too) from a server that answers ranges,
// and the MPEG-TS from one that sends the whole file every time.
TEST_F(HlsStreams, ByteRangeSegmentsPlayEachOnceFromRangesOrWholeFiles) {
    for (std::string type : {"mpegts", "fmp4"})
        ASSERT_TRUE(fixtures::run("mkdir -p " + dir_.file(type) +
                                  " && ffmpeg -loglevel error -y -f lavfi -i "
                                  "'aevalsrc=0.5*sin(2*PI*1000*t):s=44100:d=5' -ac 2 -c:a aac -f hls -hls_time 2 "
                                  "-hls_playlist_type vod -hls_flags single_file -hls_segment_type " +
                                  type + " " + dir_.file(type + "/index.m3u8")));
    test::HlsServer ranges(dir_.path(), {});
    test::StreamServer whole;
    whole.route(R"({"path": "/index.m3u8", "headers": ["Content-Type: application/vnd.apple.mpegurl"],
        "body": [{"file": ")" +
                dir_.file("mpegts/index.m3u8") + R"("}]})");
    whole.route(R"({"path": "/index.ts", "body": [{"file": ")" + dir_.file("mpegts/index.ts") + R"("}]})");
    size_t totals[3] = {};
    int i = 0;
    for (std::string url :
         {ranges.url("/files/mpegts/index.m3u8"), whole.url("/index.m3u8"), ranges.url("/files/fmp4/index.m3u8")}) {
        Received received;
        HSTREAM stream = open(url, &received);
        ASSERT_NE(stream, 0u) << url << " " << BASS_ErrorGetCode();
        expectHeard(stream, 1000);
        EXPECT_TRUE(test::waitUntil([&] { return BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED; }, 60)) << url;
        std::lock_guard lock(received.mutex);
        totals[i++] = received.total;
    }
    // The same frames either way, each part once: 5 s of ADTS at ~130 kbit/s.
    EXPECT_EQ(totals[0], totals[1]);
    EXPECT_NEAR(double(totals[2]), double(totals[0]), 0.1 * double(totals[0]));
    EXPECT_NEAR(double(totals[0]), 5 * 130000 / 8, 0.3 * 5 * 130000 / 8);
}

TEST_F(HlsStreams, BadPlaylistsEndWithAClearOutcome) {
    test::StreamServer server;
    auto serve = [&](const std::string& path, const std::string& text) {
        server.route(R"({"path": ")" + path + R"(", "headers": ["Content-Type: application/vnd.apple.mpegurl"],
            "body": [{"text": )" +
                     test::StreamServer::quote(text) + "}]}");
        return server.url(path);
    };
    std::string huge = dir_.file("huge.m3u8");
    {
        std::ofstream out(huge);
        out << "#EXTM3U\n#EXT-X-TARGETDURATION:2\n";
        for (int i = 0; out.tellp() < 10 * 1024 * 1024; ++i) out << "#EXTINF:2,\ns" << i << ".ts\n";
    }
    server.route(R"({"path": "/huge.m3u8", "headers": ["Content-Type: application/vnd.apple.mpegurl"],
        "body": [{"file": ")" +
                 huge + R"("}]})");
    const std::string vod = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n";
    struct Case {
        std::string url;
        int error;
    } cases[] = {
        {server.url("/huge.m3u8"), BASS_ERROR_FILEFORM},
        {serve("/loop.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\nloop.m3u8\n"), BASS_ERROR_FILEFORM},
        {serve("/local.m3u8", vod + "#EXTINF:2,\nfile:///etc/passwd\n#EXT-X-ENDLIST\n"), BASS_ERROR_PROTOCOL},
        {serve("/key.m3u8", vod + "#EXT-X-KEY:METHOD=AES-128,URI=\"file:///k\"\n#EXTINF:2,\n/a.ts\n"),
         BASS_ERROR_PROTOCOL},
        {serve("/html.m3u8", vod + "#EXTINF:2,\n/page\n#EXTINF:2,\n/page\n#EXT-X-ENDLIST\n"), BASS_ERROR_FILEFORM},
        {serve("/gone.m3u8", vod + "#EXTINF:2,\n/none1.ts\n#EXTINF:2,\n/none2.ts\n#EXT-X-ENDLIST\n"), BASS_ERROR_HTTP},
    };
    server.route(R"({"path": "/page", "headers": ["Content-Type: text/html"], "body": [{"text": "<html>no</html>"}]})");
    for (const Case& c : cases) {
        EXPECT_EQ(open(c.url), 0u) << c.url;
        EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.url;
    }
}

TEST_F(HlsStreams, LiveWindowsWithHolesRestartsAndOddTargetsPlayOnAndAFrozenOneEndsAsDoAllWhenTheServerGoes) {
    test::HlsServer& server = startPackedStation(64);
    // A 404 for one segment of the window and numbering that starts again
    // at 0 after 8 s: the station goes on with what follows.
    Received received;
    HSTREAM odd = open(server.url("/packed.m3u8?missing=8&restart=8&target=0"), &received);
    ASSERT_NE(odd, 0u) << BASS_ErrorGetCode();
    HSTREAM huge = open(server.url("/packed.m3u8?target=1000000000"));
    ASSERT_NE(huge, 0u) << BASS_ErrorGetCode();
    HSTREAM frozen = open(server.url("/packed.m3u8?freeze=2"));
    ASSERT_NE(frozen, 0u) << BASS_ErrorGetCode();
    for (HSTREAM s : {odd, huge, frozen}) BASS_ChannelPlay(s, FALSE);
    auto bytes = [&] {
        std::lock_guard l(received.mutex);
        return received.total;
    };
    size_t before = bytes();
    // 16 s of audio more than the start held: it came after the restart.
    EXPECT_TRUE(test::waitUntil([&] { return bytes() > before + 16 * 64000 / 8; }, 120));
    EXPECT_EQ(BASS_ChannelIsActive(odd), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(BASS_ChannelIsActive(huge), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_TRUE(test::waitUntil([&] { return BASS_ChannelIsActive(frozen) == BASS_ACTIVE_STOPPED; }, 120));
    // Every reload refused: the stations end (the program's reconnect then
    // takes over) once what they had has played.
    server_.reset();
    EXPECT_TRUE(test::waitUntil([&] { return BASS_ChannelIsActive(odd) == BASS_ACTIVE_STOPPED; }, 120));
    EXPECT_TRUE(test::waitUntil([&] { return BASS_ChannelIsActive(huge) == BASS_ACTIVE_STOPPED; }, 120));
}

}  // namespace
