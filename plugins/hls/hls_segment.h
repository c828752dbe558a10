// One segment's bytes (MPEG-TS, packed audio or fMP4 with its init section
// in front) demuxed by libavformat through an I/O context over memory and
// decoded by libavcodec. The decoder lives on from segment to segment, so
// a stream decodes without a seam; it is made anew when the codec changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVFormatContext;

namespace hls {

// What a segment yields, in stream order.
class SegmentOutput {
public:
    virtual ~SegmentOutput() = default;
    // Interleaved float samples; false: stop.
    virtual bool audio(const float* samples, long frames, int rate, int channels, int codecId) = 0;
    // One frame of the elementary stream as a file of it holds it (ADTS for
    // AAC), before its audio.
    virtual void elementary(const unsigned char* data, size_t size) = 0;
    // A title from timed ID3 metadata, as an ICY text, before the audio it
    // belongs to.
    virtual void title(const std::string& icyText) = 0;
};

enum class SegmentResult { Played, NotMedia, Undecodable, Stopped };

class SegmentDecoder {
public:
    SegmentDecoder();
    ~SegmentDecoder();
    SegmentDecoder(const SegmentDecoder&) = delete;
    SegmentDecoder& operator=(const SegmentDecoder&) = delete;

    SegmentResult play(const std::vector<unsigned char>& bytes, SegmentOutput& out);

private:
    SegmentResult demux(AVFormatContext* format, SegmentOutput& out);
    bool openCodec(const AVStream& stream);
    bool sendPacket(const AVPacket& packet, const AVStream& stream, SegmentOutput& out);
    bool drainFrames(SegmentOutput& out);
    void passElementary(const AVPacket& packet, const AVStream& stream, SegmentOutput& out);
    bool toInterleaved(const AVFrame& frame);

    AVCodecContext* codec_ = nullptr;
    int codecId_ = 0;
    int codecRate_ = 0;  // the rate the container announced
    std::vector<unsigned char> extradata_;
    AVFrame* frame_ = nullptr;
    std::vector<float> pcm_;
    std::vector<unsigned char> adts_;
    int errors_ = 0;
    int decoded_ = 0;
};

}  // namespace hls
