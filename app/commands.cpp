// The main window's commands: station change, pause, Info, presets, Rec, exits.
#include "app/main_window.h"
#include "engine/bass.h"
#include "playback/equalizer.h"
#include "playback/reconnect.h"
#include "playback/station_list.h"
#include "playback/stream_connection.h"
#include "recording/recorder.h"
#include "report/info_box.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

void setPauseCaption(const char* caption) {
    SendDlgItemMessageA(player.mainWindow, IDC_PAUSE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));
}

void changeStation(HWND list) {
    player.selectedStation = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (player.selectedStation == player.playingStation) return;
    stopRecordingForNewStation();
    cancelReconnect();
    player.stationAddress.clear();
    if (!lookupStationUrl(&player.stationUrl)) return;
    // Kept for the desktop bridge: the URL itself goes to the connect thread.
    player.stationAddress = player.stationUrl;
    rememberStation(player.stationUrl);
    if (!startConnectThread(player.stationUrl)) return;
    player.isPlaying = 1;
    setPauseCaption("Pause");
    player.playingStation = player.selectedStation.load();
}

void togglePause() {
    HSTREAM stream = player.stream;
    if (!stream) return;
    if (player.isPlaying == 1) {
        BASS_ChannelPause(stream);
        pauseReconnect();
        player.isPlaying = 0;
        setPauseCaption("Play");
    } else {
        BASS_ChannelPlay(stream, FALSE);
        resumeReconnect();
        player.isPlaying = 1;
        setPauseCaption("Pause");
    }
}

void exitProgram() {
    cancelReconnect();
    closeRecordFile();
    BASS_Free();
    EndDialog(player.mainWindow, 0);
}

void cancelProgram() {
    cancelReconnect();
    closeRecordFile();
    BASS_Free();
    DestroyWindow(player.mainWindow);
}

}  // namespace

void onCommand(int id, int notification, HWND control) {
    switch (id) {
    case IDCANCEL:
        cancelProgram();
        break;
    case IDC_STATIONS:
        if (notification == LBN_SELCHANGE) changeStation(control);
        break;
    case IDC_PAUSE:
        togglePause();
        break;
    case IDC_INFO:
        showInfoReport();
        break;
    case IDC_EXIT:
        exitProgram();
        break;
    case IDC_PRESET_INSTR:
    case IDC_PRESET_VOCAL:
    case IDC_PRESET_OFF:
        applyEffectPreset(id);
        break;
    case IDC_REC:
        toggleRecording();
        break;
    default:
        break;
    }
}
