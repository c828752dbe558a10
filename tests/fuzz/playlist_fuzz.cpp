// Playlist bodies and addresses of any shape: no crash, bounded entries.
#include "engine/network/playlist.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\n');
    std::string first = input.substr(0, split);
    std::string base = first.rfind("http", 0) == 0 ? first : "http://radio.example/dir/list.pls";
    auto entries = engine::net::parsePlaylist(input, base);
    if (entries.size() > engine::net::kMaxPlaylistEntries) std::abort();
    for (const std::string& entry : entries)
        if (entry.empty()) std::abort();
    engine::net::isPlaylist(first, input);
    engine::net::resolveUrl(base, input);
    return 0;
}
