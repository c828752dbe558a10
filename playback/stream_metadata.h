// Song titles from ICY metadata and Ogg comments, and the end of a stream.
#pragma once

#include "engine/bass.h"

// Reads the current stream's title tags, shows the title in control 32 and
// keeps it as the held title; a new ICY text ends the record file.
void updateStreamTitle();
void onTitleSync(HSYNC handle, DWORD channel, DWORD data, void* user);
void onEndSync(HSYNC handle, DWORD channel, DWORD data, void* user);
