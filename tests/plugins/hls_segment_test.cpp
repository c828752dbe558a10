// The HLS plug-in's segment decoder on its own: a timed ID3 title inside an
// MPEG-TS segment comes when the audio reaches its time, not at the
// segment's start. ffmpeg's command line cannot make such a segment (its
// data input is no timed ID3 stream), so libavformat's MPEG-TS muxer does.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "plugins/hls/hls_segment.h"
#include "tests/support/fixtures.h"

namespace {

// A tag with one TIT2 frame: "Mid song".
const std::string kTitleTag("ID3\4\0\0\0\0\0\x13TIT2\0\0\0\x09\0\0\3Mid song", 29);

// The samples handed on before each title.
struct Heard : hls::SegmentOutput {
    long frames = 0;
    std::vector<std::pair<long, std::string>> titles;
    bool audio(const float*, long count, int, int, int) override {
        frames += count;
        return true;
    }
    void elementary(const unsigned char*, size_t) override {}
    void title(const std::string& text) override { titles.emplace_back(frames, text); }
};

// The frames of an ADTS file as MPEG-TS, with `tag` as timed ID3 at the time
// of frame `at`.
std::vector<unsigned char> tsWithTimedId3(const std::string& adts, int at, const std::string& tag) {
    AVFormatContext *in = nullptr, *out = nullptr;
    std::vector<unsigned char> bytes;
    if (avformat_open_input(&in, adts.c_str(), nullptr, nullptr) < 0) return bytes;
    avformat_find_stream_info(in, nullptr);
    avformat_alloc_output_context2(&out, nullptr, "mpegts", nullptr);
    AVStream* audio = avformat_new_stream(out, nullptr);
    AVStream* data = avformat_new_stream(out, nullptr);
    avcodec_parameters_copy(audio->codecpar, in->streams[0]->codecpar);
    data->codecpar->codec_type = AVMEDIA_TYPE_DATA;
    data->codecpar->codec_id = AV_CODEC_ID_TIMED_ID3;
    AVPacket* packet = av_packet_alloc();
    if (avio_open_dyn_buf(&out->pb) == 0 && avformat_write_header(out, nullptr) >= 0) {
        for (int n = 0; av_read_frame(in, packet) >= 0; ++n) {
            av_packet_rescale_ts(packet, in->streams[0]->time_base, audio->time_base);
            int64_t pts = packet->pts;
            av_interleaved_write_frame(out, packet);
            if (n != at || av_new_packet(packet, int(tag.size())) < 0) continue;
            std::memcpy(packet->data, tag.data(), tag.size());
            packet->pts = packet->dts = av_rescale_q(pts, audio->time_base, data->time_base);
            packet->stream_index = 1;
            av_interleaved_write_frame(out, packet);
        }
        av_write_trailer(out);
        uint8_t* buffer = nullptr;
        int size = avio_close_dyn_buf(out->pb, &buffer);
        bytes.assign(buffer, buffer + size);
        av_free(buffer);
    }
    av_packet_free(&packet);
    avformat_free_context(out);
    avformat_close_input(&in);
    return bytes;
}

TEST(HlsSegment, TimedId3TitleInMpegTsComesWhenTheAudioReachesIt) {
    fixtures::TempDir dir;
    std::string adts = dir.file("tone.aac");
    ASSERT_TRUE(
        fixtures::run("ffmpeg -loglevel error -y -f lavfi -i 'aevalsrc=0.5*sin(2*PI*1000*t):s=44100:d=6' "
                      "-ac 2 -c:a aac -f adts " +
                      fixtures::shellQuote(adts)));
    std::vector<unsigned char> ts = tsWithTimedId3(adts, 100, kTitleTag);
    hls::SegmentDecoder decoder;
    Heard heard;
    ASSERT_EQ(decoder.play(ts, heard), hls::SegmentResult::Played);
    ASSERT_EQ(heard.titles.size(), 1u);
    EXPECT_EQ(heard.titles[0].second, "StreamTitle='Mid song';");
    EXPECT_NEAR(heard.titles[0].first, 100 * 1024, 1024);  // after the 100 frames before its time
    EXPECT_GT(heard.frames, 250 * 1024);
}

}  // namespace
