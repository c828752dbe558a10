#include "recording/recorder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "recording/record_file.h"
#include "recording/record_sources.h"
#include "recording/record_stream.h"
#include "recording/record_writer.h"
#include "state/control_update.h"
#include "state/player_state.h"
#include "state/resource_ids.h"
#include "state/upward_calls.h"

namespace {

void clearHeldTitleLocked() REQUIRES(player.recordLock) {
    std::free(player.currentTitle);
    player.currentTitle = nullptr;
}

bool isFollowedLocked(void* user) REQUIRES(player.recordLock) {
    return user == connectionUser(player.recordConnection);
}

// A recording that cannot be written (full disk, read-only or missing
// folder) is switched off and the mark cleared, and the status line says
// why: going on would only make an empty file for every new song.
void stopOnFailureLocked(ControlUpdate& mark, ControlUpdate& status) REQUIRES(player.recordLock) {
    int failure = recordStream.failure;
    if (failure == 0) return;
    recordStream.failure = 0;
    closeRecordFileLocked();
    player.recordEnabled = 0;
    mark = decideCheck(IDC_REC, false);
    char reason[256];
    std::string text = "Recording stopped: ";
    text += strerror_r(failure, reason, sizeof reason);
    status = decideText(IDC_STATUS, text);
}

// Recording is switched off by the end of the download, and the mark
// follows; unless the station will be connected again by itself: then it
// stays armed, and the return goes into a file of its own.
ControlUpdate endRecordingLocked() REQUIRES(player.recordLock) {
    flushHeldBytesLocked();
    closeRecordFileLocked();
    if (reconnectWillFollowCall && reconnectWillFollowCall()) return {};
    player.recordEnabled = 0;
    return decideCheck(IDC_REC, false);
}

}  // namespace

// A file is opened only for a block that carries bytes, so a status call or
// the end of a download never leaves an empty recording behind. The status
// text is decided under the lock too: a newer connection's "connecting..."
// is decided later, so a stale status can never overwrite it.
void onDownloadBlock(const void* buffer, DWORD length, void* user) {
    ControlUpdate status;
    ControlUpdate mark;
    {
        MutexLock lock(player.recordLock);
        if (!isFollowedLocked(user)) return;
        if (buffer && length == 0) {
            status = decideText(IDC_STATUS, static_cast<const char*>(buffer));
            readStationHeadersLocked(static_cast<const char*>(buffer));
        }
        if (player.recordEnabled && !buffer)
            mark = endRecordingLocked();
        else if (length > 0)
            receiveBlockLocked(static_cast<const unsigned char*>(buffer), length);
        stopOnFailureLocked(mark, status);
    }
    sendUpdate(status);
    sendUpdate(mark);
}

void followConnection(unsigned number) {
    std::string name = selectedStationName();
    MutexLock lock(player.recordLock);
    player.recordConnection = number;
    closeRecordFileLocked();
    resetRecordStreamLocked(name);
}

void endSongLocked(const std::optional<std::string>& title) {
    RecordStream& stream = recordStream;
    bool first = !stream.titleSeen;
    stream.titleSeen = true;
    if (!player.recordFile) return;
    // The connection's first title is the song already being recorded: it
    // names a piece begun without a name, and goes on with one begun under
    // the same title (a return after a reconnect).
    if (first && std::exchange(stream.adoptTitle, false)) {
        if (stream.scratch) {
            nameScratchPieceLocked(title.value_or(""));
            return;
        }
        if (title && *title == stream.pieceTitle) return;
    }
    if (stream.kind == RecordKind::Ogg) return;  // cut at the next song's first page instead
    if (stream.kind == RecordKind::Frames) {
        stream.cutPending = true;
        stream.cutSearched = 0;
        return;
    }
    closeRecordFileLocked();
}

void declareRecordFormat(unsigned connection, HSTREAM stream) {
    std::string extension = streamTypeExtension(stream);
    MutexLock lock(player.recordLock);
    if (connection == player.recordConnection) recordStream.declaredExtension = extension;
}

void toggleRecording() {
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

void stopRecordingForNewStation() {
    ControlUpdate mark;
    {
        MutexLock lock(player.recordLock);
        // The next station's first file must not be named after this one's
        // song. Clearing it once is enough: the connect thread frees this
        // station's stream, and with it its title syncs, before it connects,
        // while clearing again at the new station's first bytes could lose
        // the first title the new station sent with them.
        clearHeldTitleLocked();
        if (!player.recordFile) return;
        closeRecordFileLocked();
        player.recordEnabled = 0;
        mark = decideCheck(IDC_REC, false);
    }
    sendUpdate(mark);
}

void closeRecordFile() {
    MutexLock lock(player.recordLock);
    closeRecordFileLocked();
    player.recordEnabled = 0;
}
