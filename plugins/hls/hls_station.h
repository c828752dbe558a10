// An HLS station played for the engine: the master playlist resolved to one
// audio playlist, that playlist followed live, each new segment fetched
// once, decrypted, demuxed and decoded, its titles and its elementary
// stream handed on. Everything through the engine's host calls.
#pragma once

#include <cstddef>

#include "engine/plugin_interface.h"

namespace hls {

// The source's run op (see engine/plugin_interface.h), in the media module.
int runStation(const TunelarkHostOps* host, TunelarkSourceHost* context, const char* url, const unsigned char* body,
               size_t size, int whole);

// The type of streams whose codec has none of its own.
inline constexpr uint32_t kHlsCtype = 0x10f00;

}  // namespace hls
