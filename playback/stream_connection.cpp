// The connect thread: replaces the current stream by the station's, fits it
// out and starts it.
#include "playback/stream_connection.h"

#include <strings.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/bass.h"
#include "playback/equalizer.h"
#include "playback/reconnect.h"
#include "playback/stream_format.h"
#include "playback/stream_metadata.h"
#include "recording/recorder.h"
#include "state/control_update.h"
#include "state/error_box.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

// Station changes are numbered; a connect thread acts only while its number
// is the latest. installLock makes "am I still the latest?" and what follows
// one step, so two streams are never installed and none is left without a
// handle to free it.
std::atomic<unsigned> latestConnection{0};
thread_local unsigned myConnection = 0;
// 0 for a connection the user made; an automatic try's ticket otherwise.
thread_local unsigned myReconnectTry = 0;

bool isLatest() {
    return myConnection == latestConnection.load();
}

void setText(int id, const char* text) {
    SendDlgItemMessageA(player.mainWindow, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void resetDisplay() {
    HWND window = player.mainWindow;
    KillTimer(window, 0);
    SendDlgItemMessageA(window, IDC_LEVEL_LEFT, PBM_SETPOS, 0, 0);
    SendDlgItemMessageA(window, IDC_LEVEL_RIGHT, PBM_SETPOS, 0, 0);
}

// The status line goes through the recorder's ordered updates, as the
// download callback's status texts do, so that no older one lands after it.
void resetTexts() {
    sendUpdate(decideText(IDC_STATUS, "connecting..."));
    setText(IDC_URL, "");
    setText(IDC_NAME, "");
    setText(IDC_TITLE, "");
    setText(IDC_CPU, "0.00%");
    setText(IDC_FORMAT, "");
}

DWORD creationFlags() {
    if (player.speakerCount <= 2) return BASS_STREAM_STATUS | BASS_STREAM_BLOCK | BASS_STREAM_AUTOFREE | BASS_SAMPLE_FX;
    return BASS_SAMPLE_8BITS;
}

const char* stationTags(HSTREAM stream) {
    const char* tags = BASS_ChannelGetTags(stream, BASS_TAG_ICY);
    return tags ? tags : BASS_ChannelGetTags(stream, BASS_TAG_HTTP);
}

void showStationHeaders(HSTREAM stream) {
    const char* tags = stationTags(stream);
    if (!tags) {
        setText(IDC_NAME, "");
        return;
    }
    for (const char* text = tags; *text; text += strlen(text) + 1) {
        if (strncasecmp(text, "icy-name:", 9) == 0) setText(IDC_NAME, text + 9);
        if (strncasecmp(text, "icy-url:", 8) == 0) setText(IDC_URL, text + 8);
    }
}

void reportFailure(int code) {
    sendUpdate(decideText(IDC_STATUS, "not playing"));
    showEngineError("Can't play the stream", code);
}

void registerSyncs(HSTREAM stream) {
    BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, onTitleSync, nullptr);
    BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, onTitleSync, nullptr);
    BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, onEndSync, nullptr);
}

}  // namespace

// Every step that touches the player's state or window runs under
// installLock and only while this connection is the latest, so a superseded
// thread can neither free the newer stream nor write over its texts. The
// failure box is shown outside the lock: a later station change must not
// wait for the user to close it.
void connectStream(void* argument) {
    char* url = static_cast<char*>(argument);
    {
        MutexLock lock(player.installLock);
        if (!isLatest()) {
            free(url);
            return;
        }
        resetDisplay();
        BASS_StreamFree(player.stream);
        resetTexts();
    }
    HSTREAM stream = BASS_StreamCreateURL(url, 0, creationFlags(), onDownloadBlock, connectionUser(myConnection));
    // Read at once: the calls below, made on a null handle after a failure,
    // would each replace it with their own refusal.
    int createError = stream ? BASS_OK : BASS_ErrorGetCode();
    free(url);
    {
        MutexLock lock(player.installLock);
        if (!isLatest()) {
            BASS_StreamFree(stream);
            return;
        }
        // An automatic try that failed shows no box (the next waiting has
        // begun); one that Pause or an exit ended drops what it made.
        if (!reconnectTakesStream(stream, myReconnectTry)) {
            BASS_StreamFree(stream);
            return;
        }
        player.stream = stream;
        BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, player.volumePercent / 100.0f);
        createStreamEffects();
        if (stream) SetTimer(player.mainWindow, 0, 50, nullptr);
    }
    if (!stream) reportFailure(createError);
    MutexLock lock(player.installLock);
    if (!isLatest()) return;
    showStationHeaders(stream);
    declareRecordFormat(myConnection, stream);
    // The syncs go on before the first title is read: a title that arrived
    // between the read and the registration would otherwise be missed, and
    // its song recorded into the previous file. A title seen twice this way
    // starts nothing new.
    registerSyncs(stream);
    updateStreamTitle();
    showStreamFormat();
    BASS_ChannelPlay(stream, FALSE);
}

bool startConnectThread(char* url, unsigned reconnectTry) {
    unsigned number = ++latestConnection;
    followConnection(number);
    try {
        std::thread([url, number, reconnectTry] {
            myConnection = number;
            myReconnectTry = reconnectTry;
            connectStream(url);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had (the system's limit): the change fails as a
        // connection that could not be made does, and the URL is ours to free.
        free(url);
        reportFailure(BASS_ERROR_MEM);
        return false;
    }
    return true;
}
