#include "plugins/hls/hls_segment.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>

#include "plugins/hls/hls_adts.h"
#include "plugins/hls/hls_id3.h"

namespace hls {
namespace {

constexpr int kIoBuffer = 16 * 1024;
// The containers HLS uses; no other demuxer ever sees a segment's bytes.
constexpr const char* kContainers = "mpegts,aac,mp3,mov";
// Undecodable packets in one segment before it is given up.
constexpr int kMaxErrors = 64;

struct MemoryReader {
    const unsigned char* data;
    size_t size;
    size_t at;
};

int readMemory(void* opaque, uint8_t* buffer, int size) {
    auto* r = static_cast<MemoryReader*>(opaque);
    size_t count = std::min(r->size - r->at, size_t(std::max(size, 0)));
    if (count == 0) return AVERROR_EOF;
    std::memcpy(buffer, r->data + r->at, count);
    r->at += count;
    return int(count);
}

int64_t seekMemory(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(opaque);
    if (whence & AVSEEK_SIZE) return int64_t(r->size);
    whence &= ~AVSEEK_FORCE;
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? int64_t(r->at)
                   : whence == SEEK_END ? int64_t(r->size)
                                        : -1;
    if (base < 0 || offset < -base || offset > int64_t(r->size) - base) return AVERROR(EINVAL);
    r->at = size_t(base + offset);
    return int64_t(r->at);
}

// A demuxer that asks for another file (an MP4 data reference, a playlist)
// gets none: a segment is the bytes we fetched, nothing more.
int refuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

float sampleAt(const AVFrame& f, int channel, int index, int channels) {
    auto format = AVSampleFormat(f.format);
    bool planar = av_sample_fmt_is_planar(format);
    const uint8_t* base = f.extended_data[planar ? channel : 0];
    int at = planar ? index : index * channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(base)[at];
    case AV_SAMPLE_FMT_DBL:
        return float(reinterpret_cast<const double*>(base)[at]);
    case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(base)[at] / 32768.0f;
    case AV_SAMPLE_FMT_S32:
        return float(reinterpret_cast<const int32_t*>(base)[at] / 2147483648.0);
    case AV_SAMPLE_FMT_U8:
        return (base[at] - 128) / 128.0f;
    default:
        return 0;
    }
}

struct TimedTitle {
    int64_t time;  // AV_TIME_BASE units; AV_NOPTS_VALUE: at once
    std::string text;
};

int64_t timeOf(const AVPacket& packet, const AVStream& stream) {
    if (packet.pts == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
    return av_rescale_q(packet.pts, stream.time_base, AV_TIME_BASE_Q);
}

// The title of a timed ID3 packet. libavformat before 6.0 takes the first 5
// bytes of every metadata PES for an access unit header and cuts them off:
// here the tag's "ID3", version and revision, which are put back (as 2.4,
// else 2.3, whichever reads).
std::string timedTitle(const unsigned char* data, size_t size) {
    if (size >= 3 && std::memcmp(data, "ID3", 3) == 0) return id3Title(data, size);
    std::vector<unsigned char> tag{'I', 'D', '3', 4, 0};
    tag.insert(tag.end(), data, data + size);
    std::string title = id3Title(tag.data(), tag.size());
    if (!title.empty()) return title;
    tag[3] = 3;
    return id3Title(tag.data(), tag.size());
}

// The titles due at `now` (all of them when now is AV_NOPTS_VALUE).
void fireDue(std::vector<TimedTitle>& titles, int64_t now, SegmentOutput& out) {
    auto due = [now](const TimedTitle& t) {
        return now == AV_NOPTS_VALUE || t.time == AV_NOPTS_VALUE || t.time <= now;
    };
    for (const auto& t : titles)
        if (due(t)) out.title(t.text);
    std::erase_if(titles, due);
}

}  // namespace

SegmentDecoder::SegmentDecoder() : frame_(av_frame_alloc()) {}

SegmentDecoder::~SegmentDecoder() {
    avcodec_free_context(&codec_);
    av_frame_free(&frame_);
}

SegmentResult SegmentDecoder::play(const std::vector<unsigned char>& bytes, SegmentOutput& out) {
    if (!frame_ || bytes.empty()) return SegmentResult::NotMedia;
    MemoryReader reader{bytes.data(), bytes.size(), 0};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    AVIOContext* io =
        buffer ? avio_alloc_context(buffer, kIoBuffer, 0, &reader, readMemory, nullptr, seekMemory) : nullptr;
    if (!io) {
        av_free(buffer);
        return SegmentResult::NotMedia;
    }
    SegmentResult result = SegmentResult::NotMedia;
    AVFormatContext* format = avformat_alloc_context();
    if (format) {
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        format->io_open = refuseOpen;
        format->format_whitelist = av_strdup(kContainers);
        // On failure the context is freed and format set to null.
        if (avformat_open_input(&format, nullptr, nullptr, nullptr) == 0) {
            if (avformat_find_stream_info(format, nullptr) >= 0) result = demux(format, out);
            avformat_close_input(&format);
        }
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return result;
}

SegmentResult SegmentDecoder::demux(AVFormatContext* format, SegmentOutput& out) {
    AVPacket* packet = av_packet_alloc();
    if (!packet) return SegmentResult::Undecodable;
    std::vector<TimedTitle> titles;
    int audioIndex = -1;
    bool stopped = false;
    errors_ = decoded_ = 0;
    while (!stopped && errors_ < kMaxErrors && av_read_frame(format, packet) >= 0) {
        const AVStream& stream = *format->streams[packet->stream_index];
        const AVCodecParameters& par = *stream.codecpar;
        if (par.codec_id == AV_CODEC_ID_TIMED_ID3) {
            std::string text = timedTitle(packet->data, size_t(packet->size));
            if (!text.empty()) titles.push_back({timeOf(*packet, stream), text});
        } else if (par.codec_type == AVMEDIA_TYPE_AUDIO && (audioIndex < 0 || audioIndex == packet->stream_index)) {
            if (audioIndex >= 0 || openCodec(stream)) {
                audioIndex = packet->stream_index;
                fireDue(titles, timeOf(*packet, stream), out);
                passElementary(*packet, stream, out);
                stopped = !sendPacket(*packet, stream, out);
            }
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (stopped) return SegmentResult::Stopped;
    fireDue(titles, AV_NOPTS_VALUE, out);
    if (decoded_ > 0) return SegmentResult::Played;
    return audioIndex < 0 ? SegmentResult::NotMedia : SegmentResult::Undecodable;
}

// The decoder goes on from the last segment unless the codec or its
// parameters changed (a new variant or a discontinuity's new format).
bool SegmentDecoder::openCodec(const AVStream& stream) {
    const AVCodecParameters& par = *stream.codecpar;
    std::vector<unsigned char> extra(par.extradata, par.extradata + std::max(par.extradata_size, 0));
    if (codec_ && codecId_ == par.codec_id && extra == extradata_ && codecRate_ == par.sample_rate) return true;
    avcodec_free_context(&codec_);
    const AVCodec* decoder = avcodec_find_decoder(par.codec_id);
    if (!decoder || !(codec_ = avcodec_alloc_context3(decoder))) return false;
    if (avcodec_parameters_to_context(codec_, &par) < 0 || avcodec_open2(codec_, decoder, nullptr) < 0) {
        avcodec_free_context(&codec_);
        return false;
    }
    codecId_ = par.codec_id;
    codecRate_ = par.sample_rate;
    extradata_ = std::move(extra);
    return true;
}

bool SegmentDecoder::sendPacket(const AVPacket& packet, const AVStream&, SegmentOutput& out) {
    int result = avcodec_send_packet(codec_, &packet);
    if (result < 0 && result != AVERROR(EAGAIN)) ++errors_;
    return drainFrames(out);
}

bool SegmentDecoder::drainFrames(SegmentOutput& out) {
    for (;;) {
        int result = avcodec_receive_frame(codec_, frame_);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) {
            ++errors_;
            return true;
        }
        bool go = true;
        if (toInterleaved(*frame_)) {
            ++decoded_;
            go = out.audio(pcm_.data(), frame_->nb_samples, frame_->sample_rate, frame_->ch_layout.nb_channels,
                           codecId_);
        }
        av_frame_unref(frame_);
        if (!go) return false;
    }
}

bool SegmentDecoder::toInterleaved(const AVFrame& f) {
    int channels = f.ch_layout.nb_channels;
    if (channels < 1 || f.nb_samples <= 0 || f.sample_rate <= 0) return false;
    pcm_.resize(size_t(f.nb_samples) * size_t(channels));
    for (int i = 0; i < f.nb_samples; ++i)
        for (int c = 0; c < channels; ++c) pcm_[size_t(i) * size_t(channels) + size_t(c)] = sampleAt(f, c, i, channels);
    return true;
}

// AAC as an .aac file holds it: MPEG-TS and packed audio carry ADTS frames
// already; fMP4 carries raw frames, given the header its config implies.
void SegmentDecoder::passElementary(const AVPacket& packet, const AVStream& stream, SegmentOutput& out) {
    if (packet.size <= 0) return;
    if (codecId_ != AV_CODEC_ID_AAC || startsWithAdts(packet.data, size_t(packet.size))) {
        out.elementary(packet.data, size_t(packet.size));
        return;
    }
    const AVCodecParameters& par = *stream.codecpar;
    auto config = adtsConfig(par.extradata, size_t(std::max(par.extradata_size, 0)));
    auto header = config ? adtsHeader(*config, size_t(packet.size)) : std::nullopt;
    if (!header) return;
    adts_.assign(header->begin(), header->end());
    adts_.insert(adts_.end(), packet.data, packet.data + packet.size);
    out.elementary(adts_.data(), adts_.size());
}

}  // namespace hls
