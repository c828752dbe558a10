// The decoding stage of a stream: collects the first bytes until the decoder
// table recognises their format, then feeds that format's decoder and hands
// its audio on. Download thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/decode/decoder_table.h"

namespace engine::decode {

// Where the decoded audio goes.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Frames in `format`; false when nobody takes audio any more.
    virtual bool audio(const AudioFormat& format, const float* samples, size_t frames) = 0;
    // A new song of a chained stream starts with the next audio.
    virtual void streamChanged() = 0;
};

class DecodeStage {
public:
    explicit DecodeStage(AudioSink& sink) : sink_(sink) {}
    // The server's Content-Type, lower case: a hint for the probe.
    void setContentType(std::string type) { contentType_ = std::move(type); }
    // Takes received bytes and decodes what they allow. BASS_OK while the
    // stream goes on; once it cannot (BASS_ERROR_FILEFORM: no decoder knows
    // it; BASS_ERROR_DECODE: too many errors), that code from then on.
    int consume(const unsigned char* data, size_t size);
    // Why a stream that ended before its first audio could not be played.
    int endError() const;
    // The chosen format; null while probing.
    const DecoderKind* kind() const { return kind_.get(); }
    std::vector<std::string> comments() const;

private:
    bool choose(const unsigned char* data, size_t size);
    void decodeAvailable();

    AudioSink& sink_;
    std::string contentType_;
    std::vector<unsigned char> probe_;  // bytes seen while probing
    KindPtr kind_;
    std::unique_ptr<Decoder> decoder_;
    std::vector<float> pcm_;
    int error_ = 0;
    bool stopped_ = false;  // the sink takes no more
};

}  // namespace engine::decode
