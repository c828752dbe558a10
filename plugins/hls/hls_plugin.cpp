// The HLS plug-in: HTTP Live Streaming stations (MPEG-TS, packed audio and
// fragmented MP4 segments, AAC and MP3, AES-128), played as a source.
#include "engine/plugin_interface.h"
#include "plugins/hls/hls_station.h"

namespace {

const TunelarkSourceOps kOps = {.claim = hls::claimPlaylist, .run = hls::runStation};

const TunelarkPluginFormat kFormats[] = {
    {.ctype = hls::kHlsCtype,
     .name = "HLS stream",
     .extensions = "*.m3u8",
     .contentTypes = "application/vnd.apple.mpegurl;audio/mpegurl",
     .decoder = nullptr,
     .source = &kOps},
};

const TunelarkPlugin kPlugin = {
    .interfaceVersion = TUNELARK_PLUGIN_INTERFACE_VERSION, .version = 0x01000000, .formatCount = 1, .formats = kFormats};

}  // namespace

extern "C" TUNELARK_PLUGIN_EXPORT const TunelarkPlugin* TunelarkPluginEntry(uint32_t interfaceVersion) {
    return interfaceVersion == TUNELARK_PLUGIN_INTERFACE_VERSION ? &kPlugin : nullptr;
}
