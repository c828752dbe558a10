// Ogg Vorbis streams, chained ones included, on libogg and libvorbis.
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>

#include "engine/bass.h"
#include "engine/decode/decoder.h"

namespace engine::decode {
namespace {

// A stream that yields no audio in this many bytes (junk, pages of another
// codec, endless headers) is given up; at 128 kbit/s about a minute.
constexpr size_t kMaxBytesWithoutAudio = 1024 * 1024;
// Bad pages or packets in a row before the stream is given up.
constexpr int kMaxErrorsInARow = 32;
// Channel counts and rates the rest of the engine handles.
constexpr int kMaxChannels = 8;
constexpr long kMinRate = 1000;
constexpr long kMaxRate = 384000;

// One logical stream of the physical stream: its pages, headers and decoder.
class LogicalStream {
public:
    explicit LogicalStream(int serial) : serial_(serial) {
        ogg_stream_init(&stream_, serial);
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }

    ~LogicalStream() {
        if (dspReady_) {
            vorbis_block_clear(&block_);
            vorbis_dsp_clear(&dsp_);
        }
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
        ogg_stream_clear(&stream_);
    }

    LogicalStream(const LogicalStream&) = delete;
    LogicalStream& operator=(const LogicalStream&) = delete;

    int serial() const { return serial_; }
    bool rejected() const { return rejected_; }
    bool ready() const { return dspReady_; }
    // Only its first page so far: a page starting another stream now belongs
    // to a group of concurrent streams (all of whose first pages come first),
    // not to a chain.
    bool onlyFirstPage() const { return pages_ == 1; }
    void reject() { rejected_ = true; }

    bool pageIn(ogg_page& page) {
        ++pages_;
        return ogg_stream_pagein(&stream_, &page) == 0;
    }
    // Bytes of packets not taken out yet: bounded, or an endless packet would be.
    long heldBytes() const { return stream_.body_fill - stream_.body_returned; }
    int packetOut(ogg_packet& packet) { return ogg_stream_packetout(&stream_, &packet); }

    // Takes one of the three header packets; false when the stream is not
    // Vorbis or not one we can play.
    bool header(ogg_packet& packet) {
        if (vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) return false;
        if (++headers_ < 3) return true;
        if (info_.channels < 1 || info_.channels > kMaxChannels || info_.rate < kMinRate || info_.rate > kMaxRate ||
            vorbis_synthesis_init(&dsp_, &info_) != 0)
            return false;
        vorbis_block_init(&dsp_, &block_);
        dspReady_ = true;
        return true;
    }

    bool audio(ogg_packet& packet) {
        if (vorbis_synthesis(&block_, &packet) != 0) return false;
        return vorbis_synthesis_blockin(&dsp_, &block_) == 0;
    }

    int pcm(float*** channels) { return vorbis_synthesis_pcmout(&dsp_, channels); }
    void consumed(int frames) { vorbis_synthesis_read(&dsp_, frames); }

    AudioFormat format() const { return {static_cast<int>(info_.rate), info_.channels, BASS_CTYPE_STREAM_OGG}; }

    std::vector<std::string> comments() const {
        std::vector<std::string> list;
        for (int i = 0; i < comment_.comments; ++i)
            list.emplace_back(comment_.user_comments[i], static_cast<size_t>(comment_.comment_lengths[i]));
        return list;
    }

private:
    int serial_;
    ogg_stream_state stream_;
    vorbis_info info_;
    vorbis_comment comment_;
    vorbis_dsp_state dsp_;
    vorbis_block block_;
    int headers_ = 0;
    int pages_ = 0;
    bool dspReady_ = false;
    bool rejected_ = false;
};

class VorbisDecoder final : public Decoder {
public:
    VorbisDecoder() { ogg_sync_init(&sync_); }
    ~VorbisDecoder() override {
        stream_.reset();
        ogg_sync_clear(&sync_);
    }

    void feed(const unsigned char* data, size_t size) override;
    long decode(std::vector<float>& out) override;
    AudioFormat format() const override { return current_; }
    std::vector<std::string> comments() const override { return comments_; }

private:
    bool drainPcm(std::vector<float>& out, long& added);
    bool nextPacket();
    bool nextPage();
    void takePage(ogg_page& page);
    void startStream();
    void error();

    ogg_sync_state sync_;
    std::unique_ptr<LogicalStream> stream_;
    bool startPending_ = false;  // stream_ is ready, its comments not yet published
    int streamsStarted_ = 0;
    AudioFormat current_;
    std::vector<std::string> comments_;
    size_t bytesWithoutAudio_ = 0;
    int errorsInARow_ = 0;
    bool failed_ = false;
};

void VorbisDecoder::feed(const unsigned char* data, size_t size) {
    // Pieces, so the size always fits libogg's long.
    constexpr size_t kPiece = 1 << 20;
    while (size > 0 && !failed_) {
        size_t n = std::min(size, kPiece);
        char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(n));
        if (!buffer) {
            failed_ = true;
            return;
        }
        std::copy(data, data + n, buffer);
        ogg_sync_wrote(&sync_, static_cast<long>(n));
        data += n;
        size -= n;
    }
}

void VorbisDecoder::error() {
    if (++errorsInARow_ > kMaxErrorsInARow) failed_ = true;
}

// The new stream's comments and format become current, then the program hears
// of the change; the first stream's start is not a change.
void VorbisDecoder::startStream() {
    startPending_ = false;
    comments_ = stream_->comments();
    current_ = stream_->format();
    if (streamsStarted_++ > 0 && onStreamChange) onStreamChange();
}

// Appends decoded frames; false when nothing is left or a new stream must wait
// for the next call (samples of two streams never share one call's output).
bool VorbisDecoder::drainPcm(std::vector<float>& out, long& added) {
    if (!stream_ || !stream_->ready()) return false;
    float** pcm = nullptr;
    int frames = stream_->pcm(&pcm);
    if (frames <= 0) return false;
    if (startPending_) {
        if (added > 0) return false;
        startStream();
    }
    int channels = current_.channels;
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) out[at++] = pcm[c][i];
    stream_->consumed(frames);
    added += frames;
    return true;
}

// Decodes one packet of the current stream; false when it holds none.
bool VorbisDecoder::nextPacket() {
    if (!stream_ || stream_->rejected()) return false;
    ogg_packet packet;
    int result = stream_->packetOut(packet);
    if (result == 0) return false;
    if (result < 0) {
        error();  // a gap: pages were lost
    } else if (!stream_->ready()) {
        if (!stream_->header(packet)) {
            stream_->reject();
        } else if (stream_->ready()) {
            startPending_ = true;
            if (streamsStarted_ == 0) startStream();
        }
    } else if (stream_->audio(packet)) {
        errorsInARow_ = 0;
        bytesWithoutAudio_ = 0;
    } else {
        error();
    }
    return true;
}

void VorbisDecoder::takePage(ogg_page& page) {
    int serial = ogg_page_serialno(&page);
    if (ogg_page_bos(&page) && !(stream_ && stream_->onlyFirstPage() && !stream_->rejected())) {
        stream_ = std::make_unique<LogicalStream>(serial);
        startPending_ = false;
    }
    if (!stream_ || stream_->serial() != serial || stream_->rejected()) return;
    if (!stream_->pageIn(page)) {
        error();
    } else if (stream_->heldBytes() > static_cast<long>(kMaxBytesWithoutAudio)) {
        stream_->reject();
        error();
    }
}

// Takes the next page from the fed bytes; false when they hold no whole page.
bool VorbisDecoder::nextPage() {
    ogg_page page;
    long result = ogg_sync_pageseek(&sync_, &page);
    if (result == 0) return false;
    bytesWithoutAudio_ += static_cast<size_t>(result < 0 ? -result : result);
    if (result > 0) takePage(page);
    if (bytesWithoutAudio_ > kMaxBytesWithoutAudio) failed_ = true;
    return true;
}

long VorbisDecoder::decode(std::vector<float>& out) {
    long added = 0;
    while (!failed_) {
        if (drainPcm(out, added)) continue;
        if (startPending_ && added > 0) break;
        if (!nextPacket() && !nextPage()) break;
    }
    if (failed_ && added == 0) return -1;
    return added;
}

}  // namespace

std::unique_ptr<Decoder> makeVorbisDecoder() {
    return std::make_unique<VorbisDecoder>();
}

}  // namespace engine::decode
