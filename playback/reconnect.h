// Connecting again by itself to a station whose stream ended without the
// user's doing (the server closed, the network dropped, the download stalled),
// after 1, 2, 4, 8, 16 and then every 30 seconds, counting the wait down in
// the status line. The waiting is a window timer on the dialog's thread, so
// nothing ever waits for it, and leaving the program simply ends it.
#pragma once

#include "engine/bass.h"

// Dialog thread, when the user chooses another station, and on every way out
// of the program: ends a waiting or an automatic try under way, at once, and
// forgets the station.
void cancelReconnect();

// Dialog thread: the station the user has just chosen (a copy is kept), so
// that its stream can be connected again once it has played.
void rememberStation(const char* url);

// Dialog thread, on Pause: ends a waiting or a try under way (the status
// reads "not playing"). On Play: a station whose waiting Pause ended is
// connected again at once. Nothing happens while a stream plays normally.
void pauseReconnect();
void resumeReconnect();

// The connect thread, for the latest connection only (under its install
// lock): `tryTicket` is 0 for a connection the user made, or the number an
// automatic try was started with. False when the thread must free `stream`
// and stop: a try that failed (the next waiting has begun, no box is shown)
// or that Pause or an exit ended meanwhile.
bool reconnectTakesStream(HSTREAM stream, unsigned tryTicket);

// The end sync (engine's thread): when `channel` is the watched stream, the
// waiting for the first try begins.
void reconnectAfterEnd(DWORD channel);

// The recorder, at the end of a download (recordLock held): whether the
// station will be connected again, so recording stays armed for its return.
bool reconnectWillFollow();
