#include "engine/network/icy_parser.h"

#include <algorithm>
#include <utility>

namespace engine::net {

IcyParser::IcyParser(long metaint, AudioFn onAudio, MetaFn onMeta)
    : metaint_(metaint > 0 ? metaint : 0), onAudio_(std::move(onAudio)), onMeta_(std::move(onMeta)),
      audioLeft_(static_cast<size_t>(metaint_)) {
    block_.reserve(kMaxMetaBytes);
}

void IcyParser::feed(const unsigned char* data, size_t size) {
    if (metaint_ == 0) {
        if (size > 0 && onAudio_) onAudio_(data, size);
        return;
    }
    while (size > 0) {
        size_t used = 0;
        switch (phase_) {
        case Phase::Audio:
            used = takeAudio(data, size);
            break;
        case Phase::Length:
            metaLeft_ = static_cast<size_t>(data[0]) * 16;
            block_.clear();
            used = 1;
            phase_ = Phase::Meta;
            if (metaLeft_ == 0) finishBlock();
            break;
        case Phase::Meta:
            used = takeMeta(data, size);
            break;
        }
        data += used;
        size -= used;
    }
}

size_t IcyParser::takeAudio(const unsigned char* data, size_t size) {
    size_t run = std::min(size, audioLeft_);
    if (onAudio_) onAudio_(data, run);
    audioLeft_ -= run;
    if (audioLeft_ == 0) phase_ = Phase::Length;
    return run;
}

size_t IcyParser::takeMeta(const unsigned char* data, size_t size) {
    size_t run = std::min(size, metaLeft_);
    block_.append(reinterpret_cast<const char*>(data), run);
    metaLeft_ -= run;
    if (metaLeft_ == 0) finishBlock();
    return run;
}

void IcyParser::finishBlock() {
    phase_ = Phase::Audio;
    audioLeft_ = static_cast<size_t>(metaint_);
    std::string text = block_.substr(0, block_.find('\0'));
    if (text.empty() || text == lastText_) return;
    lastText_ = text;
    if (onMeta_) onMeta_(lastText_);
}

}  // namespace engine::net
