// Opening and closing the record file. The ...Locked functions expect the
// caller to hold player.recordLock.
#pragma once

#include "state/player_state.h"

// Opens the file the next block goes to: "NN-stem.mp3" named after the held
// title, numbered on from recordCounter and never over an existing file, or
// the scratch file "r.tmp" (emptied) when the title gives no stem. Sets
// recordFile, recordPath, recordFileName and recordOpenError (0 or an errno).
void openRecordFileLocked() REQUIRES(player.recordLock);

// Closes recordFile if one is open and clears it.
void closeRecordFileLocked() REQUIRES(player.recordLock);
