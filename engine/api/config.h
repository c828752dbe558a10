// Engine options (BASS_SetConfig): process-wide, settable before BASS_Init,
// read by a stream when it is created.
#pragma once

namespace engine::config {

int netTimeoutMs();  // BASS_CONFIG_NET_TIMEOUT
int netPrebuf();     // BASS_CONFIG_NET_PREBUF, percent of netBufferMs
bool netPlaylist();  // BASS_CONFIG_NET_PLAYLIST
int netBufferMs();   // BASS_CONFIG_NET_BUFFER

}  // namespace engine::config
