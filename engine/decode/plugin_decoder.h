// A plug-in's format as a kind of the decoder table: its C probe and decoder
// behind the engine's own interfaces.
#pragma once

#include <cstdint>

#include "engine/decode/decoder_table.h"
#include "engine/plugin_interface.h"

namespace engine::decode {

// `format` and what it points to must outlive the kind (the plug-in stays
// loaded). `plugin` is the handle the plug-in was given.
KindPtr pluginDecoderKind(const TunelarkPluginFormat& format, uint32_t plugin);

}  // namespace engine::decode
