// The connect thread: replaces the current stream by the station's.
#pragma once

// Thread procedure; owns and frees `url` (a heap string from lookupStationUrl).
void connectStream(void* url);
