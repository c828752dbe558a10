// Opening and closing the record file. The ...Locked functions expect the
// caller to hold player.recordLock.
#pragma once

#include <cstddef>
#include <string>
#include "state/player_state.h"

// Opens the file the next block goes to, making the record folder first if
// it is missing: for MP3 and AAC "NN-stem.<ext>" named after the held title,
// numbered on from recordCounter and never over an existing file; otherwise
// (no stem, an Ogg song, an unknown format) the scratch file "r.tmp", which
// is named when it is closed. Sets recordFile, recordPath, recordFileName
// and recordOpenError (0 or an errno); a failure is kept in the stream's
// `failure` too.
void openRecordFileLocked() REQUIRES(player.recordLock);

// Closes recordFile if one is open and clears it. A file nothing was written
// to is removed; a scratch file is kept as "NN-<name>.<ext>", named after
// its Ogg song's comments, else the title it was recorded under, else the
// station's name, so the next use of "r.tmp" starts a new file.
void closeRecordFileLocked() REQUIRES(player.recordLock);

// The piece being written as "r.tmp" gets the name `title` gives it
// ("NN-Artist.<ext>") at once, so a listener sees it named while it grows;
// without a usable stem it keeps the title for its name at close.
void nameScratchPieceLocked(const std::string& title) REQUIRES(player.recordLock);

// Appends bytes to the open file; false, with the stream's `failure` set,
// when not all could be written (a full disk).
bool writeRecordLocked(const void* data, size_t size) REQUIRES(player.recordLock);
