#include "recording/recorder.h"

#include <cstdio>
#include <optional>

#include "app/player_state.h"
#include "app/resources/resource_ids.h"
#include "playback/reconnect.h"
#include "recording/control_update.h"
#include "recording/record_file.h"

namespace {

void showStatus(const void* text)
{
    SendDlgItemMessageA(player.mainWindow, IDC_STATUS, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void writeBlockLocked(const void* buffer, DWORD length)
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
ControlUpdate endRecordingLocked()
{
    closeRecordFileLocked();
    if (reconnectWillFollow())
        return {};
    player.recordEnabled = 0;
    return decideCheck(IDC_REC, false);
}

}  // namespace

// A file is opened only for a block that carries bytes, so a status call or
// the end of a download never leaves an empty recording behind.
void onDownloadBlock(const void* buffer, DWORD length, void*)
{
    if (buffer && length == 0)
        showStatus(buffer);
    std::optional<ControlUpdate> mark;
    {
        std::lock_guard<std::mutex> lock(player.recordLock);
        if (!player.recordEnabled)
            return;
        if (!buffer)
            mark = endRecordingLocked();
        else if (length > 0)
            writeBlockLocked(buffer, length);
    }
    if (mark)
        sendUpdate(*mark);
}

void toggleRecording()
{
    ControlUpdate mark;
    {
        std::lock_guard<std::mutex> lock(player.recordLock);
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
        std::lock_guard<std::mutex> lock(player.recordLock);
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
    std::lock_guard<std::mutex> lock(player.recordLock);
    closeRecordFileLocked();
    player.recordEnabled = 0;
}
