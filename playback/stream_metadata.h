// Song titles from ICY metadata and Ogg comments, and the end of a stream.
#pragma once

#include "engine/bass.h"

// Reads the current stream's title tags, shows the title in control 32 and
// keeps it as the held title. A new ICY title ends the record file; recording
// that was on is re-armed so the next block opens a file named after it, or
// switched off (mark cleared) when no title is held. The same ICY title sent
// again, or handled twice, changes nothing. Connect thread and sync threads.
void updateStreamTitle();
// Sync callbacks (engine threads); only the end sync uses an argument: the
// ended channel, which the reconnect connects again when it is still the
// station's stream.
void onTitleSync(HSYNC handle, DWORD channel, DWORD data, void* user);
void onEndSync(HSYNC handle, DWORD channel, DWORD data, void* user);
