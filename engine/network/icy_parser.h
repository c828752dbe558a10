// Cuts ICY metadata out of a stream's bytes. Every `metaint` audio bytes the
// server inserts a length byte (unsigned, in units of 16 bytes) and that many
// bytes of NUL-padded text. The result does not depend on how the bytes are
// chunked when fed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace engine::net {

class IcyParser {
public:
    using AudioFn = std::function<void(const unsigned char* data, size_t size)>;
    using MetaFn = std::function<void(const std::string& text)>;

    // The longest block: a length byte of 255.
    static constexpr size_t kMaxMetaBytes = 255 * 16;

    // metaint 0 passes every byte through as audio. The functions are called
    // from feed(), on the caller's thread.
    IcyParser(long metaint, AudioFn onAudio, MetaFn onMeta);

    // Audio runs go to onAudio in order. A block's text (up to its first NUL)
    // goes to onMeta once the block is complete, after the audio before it,
    // and only when it differs from the previous text; empty texts are
    // skipped. A block still incomplete when the bytes end is never reported.
    void feed(const unsigned char* data, size_t size);

    // True while a metadata block has begun but is not complete.
    bool insideMetadata() const { return phase_ != Phase::Audio; }

private:
    enum class Phase { Audio, Length, Meta };

    size_t takeAudio(const unsigned char* data, size_t size);
    size_t takeMeta(const unsigned char* data, size_t size);
    void finishBlock();

    long metaint_;
    AudioFn onAudio_;
    MetaFn onMeta_;
    Phase phase_ = Phase::Audio;
    size_t audioLeft_;      // audio bytes before the next length byte
    size_t metaLeft_ = 0;   // bytes of the current block still to come
    std::string block_;     // the current block so far
    std::string lastText_;  // the last text reported
};

}  // namespace engine::net
