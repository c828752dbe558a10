// The sources the plug-ins bring: formats that play a whole station by
// themselves once they claim its playlist (HLS). Kept apart from the
// decoder table: a source is offered playlists, never stream bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/plugin_interface.h"

namespace engine::source {

struct SourceKind {
    uint32_t ctype = 0;  // of its streams when the codec has no type of its own
    std::string name;
    uint32_t plugin = 0;                     // the HPLUGIN that brought it
    const TunelarkSourceOps* ops = nullptr;  // the plug-in's, never unloaded
};

// Adds a kind after every kind there is. Any thread.
void registerSource(const SourceKind& kind);
// The kinds in the order their plug-ins were loaded. Any thread.
std::vector<SourceKind> sourceKinds();

}  // namespace engine::source
