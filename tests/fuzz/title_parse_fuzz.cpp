// Metadata texts and Ogg comment lists of any shape: no crash, bounded titles.
#include "playback/title_parse.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto icy = icyStreamTitle(text.c_str());
    if (icy && icy->size() > text.size()) std::abort();
    // As a comment list: the engine ends it with an empty text.
    std::string list = text + std::string(2, '\0');
    OggTitle ogg = oggTitle(list.data());
    if (ogg.kind == OggTitleKind::ArtistTitle && ogg.text.size() > kShownTitleMax) std::abort();
    if (ogg.kind == OggTitleKind::None && !ogg.text.empty()) std::abort();
    return 0;
}
