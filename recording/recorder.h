// Records the received stream bytes into one file per song.
#pragma once

#include "engine/bass.h"

// The download callback of every stream: status text, and the recording.
void onDownloadBlock(const void* buffer, DWORD length, void* user);
void buildRecordPath();
int countRecordings();
void toggleRecording();
void stopRecordingForNewStation();
// Closes an open record file (the exit paths).
void closeRecordFile();
