// Any bytes as an HLS playlist, then as an ID3 tag: the readers stay inside
// them, keep their caps, and whatever URL they make stays resolvable.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plugins/hls/hls_id3.h"
#include "plugins/hls/hls_live.h"
#include "plugins/hls/hls_playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto list = hls::parsePlaylist(text, "http://host/live/index.m3u8")) {
        if (list->segments.size() > hls::kMaxSegments || list->variants.size() > hls::kMaxVariants) std::abort();
        hls::pickAudioPlaylist(*list, 512000);
        hls::LiveWindow window;
        auto fresh = window.update(*list, hls::Clock::now());
        if (fresh.size() > list->segments.size()) std::abort();
        if (window.targetSeconds() < 1 || window.targetSeconds() > 30) std::abort();
    }
    if (hls::id3TagSize(data, size) > 0) hls::id3Title(data, size);
    return 0;
}
