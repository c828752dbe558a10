// The part of the HLS plug-in that needs libavformat and libavcodec, loaded
// when the first HLS station plays.
#pragma once

#include <cstddef>

#include "engine/plugin_interface.h"

namespace hls {

// The media module's file, beside this plug-in; not named bass*.so, so the
// player never takes it for a plug-in of its own.
inline constexpr char kMediaModule[] = "tunelark-hls-media.so";
// Its one export: hls::runStation.
inline constexpr char kMediaEntry[] = "TunelarkHlsRun";

// The source's run op: loads the media module once and plays through it;
// TUNELARK_ERROR_FILEFORM when the module is missing or not ours.
int runThroughMediaModule(const TunelarkHostOps* host, TunelarkSourceHost* context, const char* url,
                          const unsigned char* body, size_t size, int whole);

}  // namespace hls
