// Records the received stream bytes, unchanged, into one file per song in the
// "record" folder beside the program.
//
// Every operation below takes player.recordLock for its whole work on the
// recording fields and sends no window message while holding it.
#pragma once

#include <cstdint>

#include "state/player_state.h"
#include "engine/bass.h"

// The download callback of every stream (engine's network thread): shows the
// status text, and while recording is on writes each block, opening a file
// for the held title first when none is open. The end of the download closes
// the file and switches recording off (and clears the "Rec" mark). `user`
// carries the number of the connection the stream belongs to
// (connectionUser); a call for any but the latest connection does nothing.
void onDownloadBlock(const void* buffer, DWORD length, void* user);

// The download callback's user value for connection `number`.
inline void* connectionUser(unsigned number)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(number));
}

// Dialog thread, as connection `number` starts: from now on only its calls
// of onDownloadBlock are heard. A file that a call of the station being left
// opened after stopRecordingForNewStation is closed; armed recording stays
// armed, so the new station starts a file of its own.
void followConnection(unsigned number);

// Sets player.recordPath to the record folder ("<program folder>/record/").
// False, with recordPath empty, when that folder cannot be named (no absolute
// program path, or too long); nothing is then recorded. recordLock held.
bool buildRecordPath() REQUIRES(player.recordLock);

// The number of "*.mp3" files (any letter case) in the record folder; 0 when
// the folder is missing. Any thread.
int countRecordings();

// Dialog thread, on every command of the "Rec" checkbox: switches recording
// off (closing the file) or on, and sets the mark to match.
void toggleRecording();

// Dialog thread, before a different station is connected: an open file is
// closed and recording switched off with its mark cleared; armed recording
// (on, no file yet) stays on.
void stopRecordingForNewStation();

// The exit paths: closes an open record file and switches recording off, so a
// block arriving before the engine is released opens nothing new.
void closeRecordFile();
