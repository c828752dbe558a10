// The main window's start-up sequence.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "engine/bass.h"
#include "playback/equalizer.h"
#include "playback/reconnect.h"
#include "playback/station_list.h"
#include "recording/record_folder.h"
#include "recording/recorder.h"
#include "report/audio_report.h"
#include "state/error_box.h"
#include "state/player_state.h"
#include "state/resource_ids.h"
#include "state/upward_calls.h"

namespace {

void setIcons(HWND window) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    SendMessageA(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(self, MAKEINTRESOURCEA(IDI_SMALL))));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(self, MAKEINTRESOURCEA(IDI_BIG))));
}

// Shows the engine error box and ends the window; start-up stops there.
void failStartup(const char* message, int code) {
    showEngineError(message, code);
    DestroyWindow(player.mainWindow);
}

void showDeviceLine(HWND window) {
    player.speakerCount = static_cast<int>(player.audioInfo.speakers);
    char line[50];
    snprintf(line, sizeof line, "DX ver: %d speakers: %d", static_cast<int>(player.audioInfo.dsver),
             player.speakerCount.load());
    SetDlgItemTextA(window, IDC_DSINFO, line);
}

void showVersion(HWND window) {
    char* version = buildVersionText();
    SetDlgItemTextA(window, IDC_NAME, version);
    free(version);
}

void loadPluginList() {
    snprintf(player.pluginText, sizeof player.pluginText, "%s",
             "\xC7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xFB\xE5 \xEF\xEB\xE0\xE3\xE8\xED\xFB:\n");
    loadPlugins();
}

void setUpSliders(HWND window) {
    player.initialVolume = BASS_GetVolume();
    int volume = volumeToPercent(player.initialVolume);
    player.volumePercent = volume;
    SendDlgItemMessageA(window, IDC_VOLUME, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageA(window, IDC_VOLUME, TBM_SETPOS, TRUE, volume);
    for (int tick : {25, 50, 75}) SendDlgItemMessageA(window, IDC_VOLUME, TBM_SETTIC, 0, tick);
    for (int id = IDC_EFFECT0; id <= IDC_EFFECT3; ++id) {
        SendDlgItemMessageA(window, id, TBM_SETRANGE, FALSE, MAKELPARAM(0, 20));
        SendDlgItemMessageA(window, id, TBM_SETPOS, TRUE, 10);
    }
}

void setUpPresetAndMeters(HWND window) {
    SendDlgItemMessageA(window, IDC_PRESET_INSTR, WM_ACTIVATE, WA_ACTIVE, 0);
    // WM_ACTIVATE only gives the "Instrumental" button the keyboard focus;
    // the window layer reports no click for it. So its preset is applied
    // here and the mark set by hand: what is heard agrees with the mark.
    applyEffectPreset(IDC_PRESET_INSTR);
    SendDlgItemMessageA(window, IDC_PRESET_INSTR, BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageA(window, IDC_LEVEL_LEFT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF));
    SendDlgItemMessageA(window, IDC_LEVEL_RIGHT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF));
}

}  // namespace

int volumeToPercent(float volume) {
    return static_cast<int>(static_cast<double>(volume) * 100);
}

void onInitDialog() {
    // The recorder asks this of playback through the state.
    reconnectWillFollowCall = reconnectWillFollow;
    HWND window = player.mainWindow;
    setIcons(window);
    if (!BASS_Init(-1, 44100, 0, window, nullptr)) {
        failStartup("Can't initialize device", BASS_ErrorGetCode());
        return;
    }
    SetTimer(window, 0, 50, nullptr);
    BASS_GetInfo(&player.audioInfo);
    if (player.audioInfo.dsver < 8) {
        BASS_Free();
        failStartup("DirectX 8 is not installed", BASS_ErrorGetCode());
        return;
    }
    showDeviceLine(window);
    showVersion(window);
    {
        int count = countRecordings();
        MutexLock lock(player.recordLock);
        player.recordCounter = count;
    }
    loadPluginList();
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    setUpSliders(window);
    setUpPresetAndMeters(window);
    loadStationList();
}
