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
const TunelarkDecoderOps kOps = {probe, plugin_glue::openDecoder<Decoder>, plugin_glue::closeDecoder<Decoder>,
                                 plugin_glue::feed<Decoder>, plugin_glue::decode<Decoder>, comments};

const TunelarkPluginFormat kFormats[] = {
    {0x11200, "Ogg Opus", "*.opus", "audio/opus;audio/ogg;application/ogg", &kOps},
};

const TunelarkPlugin kPlugin = {TUNELARK_PLUGIN_INTERFACE_VERSION, 0x01000000, 1, kFormats};

}  // namespace

extern "C" TUNELARK_PLUGIN_EXPORT const TunelarkPlugin* TunelarkPluginEntry(uint32_t interfaceVersion) {
    return interfaceVersion == TUNELARK_PLUGIN_INTERFACE_VERSION ? &kPlugin : nullptr;
}
