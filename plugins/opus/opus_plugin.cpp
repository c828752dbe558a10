// The Opus plug-in: Ogg Opus streams decoded by opusfile; their comments are
// the OGG tag, and a chained stream's next song is a stream change.
#include "engine/plugin_interface.h"
#include "plugins/decoder_glue.h"
#include "plugins/opus/opus_decoder.h"
#include "plugins/opus/opus_header.h"

namespace {

int probe(const unsigned char* data, size_t size, size_t* offset) {
    size_t at = opus::findOpusStream(data, size);
    if (at >= size) return 0;
    *offset = at;
    return 1;
}

size_t comments(void* decoder, const char* const** texts) {
    return static_cast<opus::OpusDecoder*>(decoder)->comments(texts);
}

using Decoder = opus::OpusDecoder;
const TunelarkDecoderOps kOps = {.probe = probe,
                                 .open = plugin_glue::openDecoder<Decoder>,
                                 .close = plugin_glue::closeDecoder<Decoder>,
                                 .feed = plugin_glue::feed<Decoder>,
                                 .decode = plugin_glue::decode<Decoder>,
                                 .comments = comments};

const TunelarkPluginFormat kFormats[] = {
    {.ctype = 0x11200,
     .name = "Ogg Opus",
     .extensions = "*.opus",
     .contentTypes = "audio/opus;audio/ogg;application/ogg",
     .decoder = &kOps,
     .source = nullptr},
};

const TunelarkPlugin kPlugin = {.interfaceVersion = TUNELARK_PLUGIN_INTERFACE_VERSION,
                                .version = 0x01000000,
                                .formatCount = 1,
                                .formats = kFormats};

}  // namespace

extern "C" TUNELARK_PLUGIN_EXPORT const TunelarkPlugin* TunelarkPluginEntry(uint32_t interfaceVersion) {
    return interfaceVersion == TUNELARK_PLUGIN_INTERFACE_VERSION ? &kPlugin : nullptr;
}
