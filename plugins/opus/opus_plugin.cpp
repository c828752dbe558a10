// The Opus plug-in: Ogg Opus streams decoded by opusfile; their comments are
// the OGG tag, and a chained stream's next song is a stream change.
#include <new>

#include "engine/plugin_interface.h"
#include "plugins/opus/opus_decoder.h"
#include "plugins/opus/opus_header.h"

namespace {

int probe(const unsigned char* data, size_t size, size_t* offset) {
    size_t at = opus::findOpusStream(data, size);
    if (at >= size) return 0;
    *offset = at;
    return 1;
}

void* openDecoder() {
    return new (std::nothrow) opus::OpusDecoder;
}

void closeDecoder(void* decoder) {
    delete static_cast<opus::OpusDecoder*>(decoder);
}

int feed(void* decoder, const unsigned char* data, size_t size) {
    try {
        return static_cast<opus::OpusDecoder*>(decoder)->feed(data, size) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void decode(void* decoder, TunelarkPcm* pcm) {
    try {
        static_cast<opus::OpusDecoder*>(decoder)->decode(*pcm);
    } catch (const std::bad_alloc&) {
        *pcm = TunelarkPcm{nullptr, -1, 0, 0, 0};
    }
}

size_t comments(void* decoder, const char* const** texts) {
    return static_cast<opus::OpusDecoder*>(decoder)->comments(texts);
}

const TunelarkDecoderOps kOps = {probe, openDecoder, closeDecoder, feed, decode, comments};

const TunelarkPluginFormat kFormats[] = {
    {0x11200, "Ogg Opus", "*.opus", "audio/opus;audio/ogg;application/ogg", &kOps},
};

const TunelarkPlugin kPlugin = {TUNELARK_PLUGIN_INTERFACE_VERSION, 0x01000000, 1, kFormats};

}  // namespace

extern "C" TUNELARK_PLUGIN_EXPORT const TunelarkPlugin* TunelarkPluginEntry(uint32_t interfaceVersion) {
    return interfaceVersion == TUNELARK_PLUGIN_INTERFACE_VERSION ? &kPlugin : nullptr;
}
