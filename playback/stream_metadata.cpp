#include "playback/stream_metadata.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "playback/reconnect.h"
#include "playback/title_parse.h"
#include "recording/record_file.h"
#include "recording/recorder.h"
#include "state/control_update.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

// Makes each title update one step from reading the tags to deciding, so of
// two overlapping calls the one that decides last has read the latest tags
// (player.titleLock). The engine is asked for tags under titleLock only:
// recordLock is never held across an engine call, since the download
// callback waits for it.

// The ICY title last acted on, and its stream, so that one title ends a record
// file once however many metadata texts or calls repeat it. Guarded by
// recordLock.
HSTREAM handledStream GUARDED_BY(player.recordLock) = 0;
std::optional<std::string>& handledTitle GUARDED_BY(player.recordLock) = *new std::optional<std::string>;

// What the stream's tags say, read before recordLock is taken.
struct TitleTags {
    bool icy = false;                     // a META text is present
    std::optional<std::string> icyTitle;  // its StreamTitle, if any
    OggTitle ogg;                         // without META: the Ogg comments' title
};

TitleTags readTitleTags(HSTREAM stream) {
    TitleTags tags;
    if (const char* meta = BASS_ChannelGetTags(stream, BASS_TAG_META)) {
        tags.icy = true;
        tags.icyTitle = icyStreamTitle(meta);
    } else {
        tags.ogg = oggTitle(BASS_ChannelGetTags(stream, BASS_TAG_OGG));
    }
    return tags;
}

void holdTitleLocked(const std::string& title) REQUIRES(player.recordLock) {
    char* copy = strdup(title.c_str());
    if (!copy) return;
    std::free(player.currentTitle);
    player.currentTitle = copy;
}

// A new ICY title ends the record file, so each song gets a file of its own.
void applyIcyLocked(HSTREAM stream, const std::optional<std::string>& title, std::vector<ControlUpdate>& updates)
    REQUIRES(player.recordLock) {
    if (stream != handledStream || title != handledTitle) {
        handledStream = stream;
        handledTitle = title;
        endSongLocked(title);
    }
    if (!title) return;
    updates.push_back(decideText(IDC_TITLE, *title));
    holdTitleLocked(*title);
}

// A chained Ogg stream's new song keeps the record file: only the display
// and, for a bare title, the held title change.
void applyOggLocked(const OggTitle& ogg, std::vector<ControlUpdate>& updates) REQUIRES(player.recordLock) {
    if (ogg.kind == OggTitleKind::None) return;
    updates.push_back(decideText(IDC_TITLE, ogg.text));
    if (ogg.kind == OggTitleKind::Title) holdTitleLocked(ogg.text);
}

std::vector<ControlUpdate> decideTitleUpdate() {
    MutexLock order(player.titleLock);
    HSTREAM stream = player.stream;
    TitleTags tags = readTitleTags(stream);
    std::vector<ControlUpdate> updates;
    MutexLock lock(player.recordLock);
    bool wasOn = player.recordEnabled != 0;
    if (tags.icy)
        applyIcyLocked(stream, tags.icyTitle, updates);
    else
        applyOggLocked(tags.ogg, updates);
    // Re-arm: the next block opens a file named after the held title.
    if (wasOn && player.currentTitle) player.recordEnabled = 1;
    if (wasOn && !player.recordEnabled) updates.push_back(decideCheck(IDC_REC, false));
    return updates;
}

}  // namespace

void updateStreamTitle() {
    for (const ControlUpdate& update : decideTitleUpdate()) sendUpdate(update);
}

void onTitleSync(HSYNC, DWORD, DWORD, void*) {
    updateStreamTitle();
}

void onEndSync(HSYNC, DWORD channel, DWORD, void*) {
    HWND window = player.mainWindow;
    SendDlgItemMessageA(window, IDC_URL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("not playing"));
    sendUpdate(decideText(IDC_TITLE, ""));
    SendDlgItemMessageA(window, IDC_NAME, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("end sync"));
    reconnectAfterEnd(channel);
}
