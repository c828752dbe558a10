// The AAC plug-in: ADTS streams (AAC-LC, HE-AAC v1 and v2) decoded by FAAD2.
#include "engine/plugin_interface.h"
#include "plugins/aac/aac_decoder.h"
#include "plugins/aac/adts_header.h"
#include "plugins/decoder_glue.h"

namespace {

int probe(const unsigned char* data, size_t size, size_t* offset) {
    size_t at = aac::findAdtsFrames(data, size);
    if (at >= size) return 0;
    *offset = at;
    return 1;
}

using Decoder = aac::AacDecoder;
const TunelarkDecoderOps kOps = {.probe = probe,
                                 .open = plugin_glue::openDecoder<Decoder>,
                                 .close = plugin_glue::closeDecoder<Decoder>,
                                 .feed = plugin_glue::feed<Decoder>,
                                 .decode = plugin_glue::decode<Decoder>,
                                 .comments = nullptr};

const TunelarkPluginFormat kFormats[] = {
    {.ctype = 0x10b00,
     .name = "AAC stream",
     .extensions = "*.aac;*.adts",
     .contentTypes = "audio/aac;audio/aacp;audio/x-aac",
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
