// The connect thread: replaces the current stream by the station's.
#pragma once

// Thread procedure; owns and frees `url` (a heap string from lookupStationUrl).
void connectStream(void* url);

// Dialog thread. Starts connectStream on a detached thread of its own. The
// latest call wins: a connection that completes after a later one has begun
// frees its own stream and changes nothing else. False when no thread could
// be started: the URL is freed and the failure box has been shown.
// `reconnectTry` is nonzero for an automatic try (playback/reconnect.h),
// which shows no failure box.
bool startConnectThread(char* url, unsigned reconnectTry = 0);
