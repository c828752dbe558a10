#include "recording/recorder.h"

#include <cstdio>

#include "state/player_state.h"
#include "state/resource_ids.h"
#include "state/control_update.h"
#include "state/upward_calls.h"
#include "recording/record_file.h"

namespace {

bool isFollowedLocked(void* user) REQUIRES(player.recordLock)
{
    return user == connectionUser(player.recordConnection);
}

void writeBlockLocked(const void* buffer, DWORD length) REQUIRES(player.recordLock)
{
    if (!player.recordFile)
        openRecordFileLocked();
    // A failed write (full disk) loses the block; recording goes on.
    if (player.recordFile)
        std::fwrite(buffer, 1, length, player.recordFile);
}

// Recording is switched off by the end of the download, and the mark
// follows; unless the station will be connected again by itself: then it
// stays armed, and the return goes into a file of its own.
ControlUpdate endRecordingLocked() REQUIRES(player.recordLock)
{
    closeRecordFileLocked();
    if (reconnectWillFollowCall && reconnectWillFollowCall())
        return {};
    player.recordEnabled = 0;
    return decideCheck(IDC_REC, false);
}

}  // namespace

// A file is opened only for a block that carries bytes, so a status call or
// the end of a download never leaves an empty recording behind. The status
// text is decided under the lock too: a newer connection's "connecting..."
// is decided later, so a stale status can never overwrite it.
void onDownloadBlock(const void* buffer, DWORD length, void* user)
{
    ControlUpdate status;
    ControlUpdate mark;
    {
        MutexLock lock(player.recordLock);
        if (!isFollowedLocked(user))
            return;
        if (buffer && length == 0)
            status = decideText(IDC_STATUS, static_cast<const char*>(buffer));
        if (player.recordEnabled && !buffer)
            mark = endRecordingLocked();
        else if (player.recordEnabled && length > 0)
            writeBlockLocked(buffer, length);
    }
    sendUpdate(status);
    sendUpdate(mark);
}

void followConnection(unsigned number)
{
    MutexLock lock(player.recordLock);
    player.recordConnection = number;
    closeRecordFileLocked();
}

void toggleRecording()
{
    ControlUpdate mark;
    {
        MutexLock lock(player.recordLock);
        if (player.recordEnabled) {
            closeRecordFileLocked();
            player.recordEnabled = 0;
        } else {
            player.recordEnabled = 1;
        }
        mark = decideCheck(IDC_REC, player.recordEnabled != 0);
    }
    sendUpdate(mark);
}

void stopRecordingForNewStation()
{
    ControlUpdate mark;
    {
        MutexLock lock(player.recordLock);
        if (!player.recordFile)
            return;
        closeRecordFileLocked();
        player.recordEnabled = 0;
        mark = decideCheck(IDC_REC, false);
    }
    sendUpdate(mark);
}

void closeRecordFile()
{
    MutexLock lock(player.recordLock);
    closeRecordFileLocked();
    player.recordEnabled = 0;
}
