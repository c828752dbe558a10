#include "plugins/aac/aac_decoder.h"

#include <algorithm>

namespace aac {
namespace {

// Bad frames in a row before the stream is given up.
constexpr int kMaxErrorsInARow = 32;
// A stream that yields no audio in this many bytes is given up; at
// 64 kbit/s about two minutes.
constexpr size_t kMaxBytesWithoutAudio = 1024 * 1024;
constexpr int kMaxChannels = 8;

}  // namespace

AacDecoder::~AacDecoder() {
    if (faad_) NeAACDecClose(faad_);
}

bool AacDecoder::feed(const unsigned char* data, size_t size) {
    dropUsed();
    bytes_.insert(bytes_.end(), data, data + size);
    return true;
}

void AacDecoder::dropUsed() {
    bytes_.erase(bytes_.begin(), bytes_.begin() + long(used_));
    used_ = 0;
}

void AacDecoder::failure() {
    synced_ = false;
    if (++errorsInARow_ > kMaxErrorsInARow) failed_ = true;
}

// Finds the next whole frame at used_; false when the bytes hold none yet.
// Out of sync (at the start, after an error), a header counts only when the
// next one follows it, so a sync word inside audio data is passed over.
bool AacDecoder::nextFrame(AdtsHeader& header) {
    while (used_ + kAdtsHeaderSize <= bytes_.size()) {
        const unsigned char* at = bytes_.data() + used_;
        size_t left = bytes_.size() - used_;
        if (parseAdtsHeader(at, header)) {
            if (header.frameSize > left) return false;
            AdtsHeader next;
            if (synced_) return true;
            if (header.frameSize + kAdtsHeaderSize > left) return false;
            if (parseAdtsHeader(at + header.frameSize, next) && sameAdtsStream(header, next)) return true;
        }
        ++used_;
        if (++bytesWithoutAudio_ > kMaxBytesWithoutAudio) failed_ = true;
        if (failed_) return false;
    }
    return false;
}

// FAAD2 is set up anew when the stream's profile, rate or channels change.
bool AacDecoder::startFaad(const unsigned char* frame, const AdtsHeader& header) {
    if (faad_ && sameAdtsStream(current_, header)) return true;
    if (faad_) NeAACDecClose(faad_);
    faad_ = NeAACDecOpen();
    if (!faad_) return false;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(faad_);
    config->outputFormat = FAAD_FMT_FLOAT;
    config->downMatrix = 0;
    NeAACDecSetConfiguration(faad_, config);
    unsigned long rate = 0;
    unsigned char channels = 0;
    if (NeAACDecInit(faad_, const_cast<unsigned char*>(frame), header.frameSize, &rate, &channels) < 0) {
        NeAACDecClose(faad_);
        faad_ = nullptr;
        return false;
    }
    current_ = header;
    return true;
}

bool AacDecoder::decodeFrame(const AdtsHeader& header, TunelarkPcm& pcm) {
    unsigned char* frame = bytes_.data() + used_;
    if (!startFaad(frame, header)) return false;
    NeAACDecFrameInfo info{};
    void* samples = NeAACDecDecode(faad_, &info, frame, header.frameSize);
    if (info.error != 0 || info.channels == 0 || info.channels > kMaxChannels) return false;
    pcm.samples = static_cast<const float*>(samples);
    pcm.frames = samples ? long(info.samples / info.channels) : 0;
    pcm.rate = int(info.samplerate);
    pcm.channels = info.channels;
    return true;
}

void AacDecoder::decode(TunelarkPcm& pcm) {
    pcm = TunelarkPcm{};
    AdtsHeader header;
    while (!failed_ && nextFrame(header)) {
        bool good = decodeFrame(header, pcm);
        used_ += good ? header.frameSize : 1;
        if (!good) {
            failure();
            continue;
        }
        synced_ = true;
        errorsInARow_ = 0;
        if (pcm.frames > 0) {
            bytesWithoutAudio_ = 0;
            return;  // FAAD2's samples stay valid until the next frame
        }
    }
    if (failed_) pcm.frames = -1;
}

}  // namespace aac
