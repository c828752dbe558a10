// The connect thread: replaces the current stream by the station's.
#pragma once

// Thread procedure; owns and frees `url` (a heap string from lookupStationUrl).
void connectStream(void* url);

// Starts connectStream on a detached thread of its own. The latest call wins:
// a connection that completes after a later one has begun frees its own
// stream and changes nothing else. `reconnectTry` is nonzero for an automatic
// try (playback/reconnect.h), which shows no failure box.
void startConnectThread(char* url, unsigned reconnectTry = 0);
