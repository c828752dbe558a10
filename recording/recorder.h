// Records the received stream bytes, unchanged, into one file per song in the
// record folder: every file starts at a frame (MP3, AAC) or with its song's
// header pages (Ogg), so each plays on its own; nothing recorded is ever
// emptied or replaced; a recording that cannot be written stops and says why
// in the status line.
//
// Every operation below takes player.recordLock for its whole work on the
// recording fields and sends no window message while holding it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/bass.h"
#include "state/player_state.h"

// The download callback of every stream (engine's network thread): shows the
// status text, and while recording is on writes each block, opening a file
// for the held title first when none is open. The end of the download closes
// the file and switches recording off (and clears the "Rec" mark). `user`
// carries the number of the connection the stream belongs to
// (connectionUser); a call for any but the latest connection does nothing.
void onDownloadBlock(const void* buffer, DWORD length, void* user);

// The download callback's user value for connection `number`.
inline void* connectionUser(unsigned number) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(number));
}

// Dialog thread, as connection `number` starts: from now on only its calls
// of onDownloadBlock are heard. A file that a call of the station being left
// opened after stopRecordingForNewStation is closed; armed recording stays
// armed, so the new station starts a file of its own.
void followConnection(unsigned number);

// A new ICY title (the title handler, under recordLock; nullopt for a
// metadata text without one): the song being recorded ends. An MP3 or AAC
// file is cut at the next frame boundary in the received bytes, an Ogg one
// at the next song's first page (so nothing happens here); any other is
// closed at once. The connection's first title instead names the piece
// begun before it, when no title was held then. Recording stays on.
void endSongLocked(const std::optional<std::string>& title) REQUIRES(player.recordLock);

// Connect thread, once connection `number` made `stream`: the extension its
// stream type declares (a plug-in's first listed one), used for record files
// of a format the recorder does not know from the bytes themselves.
void declareRecordFormat(unsigned number, HSTREAM stream);

// Sets player.recordPath to the record folder ("<program folder>/record/").
// False, with recordPath empty, when that folder cannot be named (no absolute
// program path, or too long); nothing is then recorded. Makes the folder;
// folderError is 0, or why it could not be made. recordLock held.
bool buildRecordPath(int& folderError) REQUIRES(player.recordLock);

// The number of recordings ("*.mp3", "*.aac", "*.ogg", "*.opus", any
// letter case) in the record folder; 0 when the folder is missing. Any thread.
int countRecordings();

// Dialog thread, on every command of the "Rec" checkbox: switches recording
// off (closing the file) or on, and sets the mark to match.
void toggleRecording();

// Dialog thread, before a different station is connected: the held title is
// cleared; an open file is closed and recording switched off with its mark
// cleared; armed recording (on, no file yet) stays on.
void stopRecordingForNewStation();

// The exit paths: closes an open record file and switches recording off, so a
// block arriving before the engine is released opens nothing new.
void closeRecordFile();
