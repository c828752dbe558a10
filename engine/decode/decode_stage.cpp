#include "engine/decode/decode_stage.h"

#include "engine/bass.h"

namespace engine::decode {
namespace {

// Bytes examined for a known format before the stream is refused.
constexpr size_t kMaxProbeBytes = 1 << 20;

}  // namespace

int DecodeStage::consume(const unsigned char* data, size_t size) {
    if (error_ != BASS_OK || stopped_) return error_;
    if (!decoder_) {
        if (!choose(data, size)) return error_;
    } else {
        decoder_->feed(data, size);
    }
    decodeAvailable();
    return error_;
}

// Collects bytes until their format is known; true once a decoder has them.
bool DecodeStage::choose(const unsigned char* data, size_t size) {
    probe_.insert(probe_.end(), data, data + size);
    auto result = probeStream(decoderKinds(), probe_.data(), probe_.size(), contentType_);
    if (result.state == ProbeResult::NeedMore && probe_.size() <= kMaxProbeBytes) return false;
    if (result.state != ProbeResult::Found) {
        error_ = BASS_ERROR_FILEFORM;
        return false;
    }
    if (!(decoder_ = result.kind->make())) {  // a plug-in's decoder could not be made
        error_ = BASS_ERROR_MEM;
        return false;
    }
    kind_ = result.kind;
    decoder_->onStreamChange = [this] { sink_.streamChanged(); };
    decoder_->feed(probe_.data(), probe_.size());
    probe_ = {};
    return true;
}

void DecodeStage::decodeAvailable() {
    while (!stopped_) {
        pcm_.clear();
        long frames = decoder_->decode(pcm_);
        if (frames == 0) return;
        if (frames < 0) {  // too many errors in a row: play what came, then end
            error_ = BASS_ERROR_DECODE;
            return;
        }
        if (!sink_.audio(decoder_->format(), pcm_.data(), size_t(frames))) stopped_ = true;
    }
}

int DecodeStage::endError() const {
    return decoder_ || probe_.empty() ? BASS_ERROR_UNSTREAMABLE : BASS_ERROR_FILEFORM;
}

std::vector<std::string> DecodeStage::comments() const {
    return decoder_ ? decoder_->comments() : std::vector<std::string>{};
}

}  // namespace engine::decode
