// The HLS plug-in: HTTP Live Streaming stations (MPEG-TS, packed audio and
// fragmented MP4 segments, AAC and MP3, AES-128), played as a source. This
// module only claims playlists; playing them is the media module's work.
#include <string_view>

#include "engine/plugin_interface.h"
#include "plugins/hls/hls_media_loader.h"
#include "plugins/hls/hls_playlist.h"
#include "plugins/hls/hls_station.h"

namespace {

int claimPlaylist(const char*, const char*, const unsigned char* body, size_t size) {
    auto list = hls::parsePlaylist(std::string_view(reinterpret_cast<const char*>(body), body ? size : 0), "");
    return list && (list->master || !list->segments.empty() || list->targetDuration > 0) ? 1 : 0;
}

const TunelarkSourceOps kOps = {.claim = claimPlaylist, .run = hls::runThroughMediaModule};

const TunelarkPluginFormat kFormats[] = {
    {.ctype = hls::kHlsCtype,
     .name = "HLS stream",
     .extensions = "*.m3u8",
     .contentTypes = "application/vnd.apple.mpegurl;audio/mpegurl",
     .decoder = nullptr,
     .source = &kOps},
};

const TunelarkPlugin kPlugin = {.interfaceVersion = TUNELARK_PLUGIN_INTERFACE_VERSION,
                                .version = 0x01000000,
                                .formatCount = 1,
                                .formats = kFormats};

}  // namespace

extern "C" TUNELARK_PLUGIN_EXPORT const TunelarkPlugin* TunelarkPluginEntry(uint32_t interfaceVersion) {
    return interfaceVersion == TUNELARK_PLUGIN_INTERFACE_VERSION ? &kPlugin : nullptr;
}
