#include "app/main_window.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "engine/bass.h"
#include "platform/working_set.h"
#include "playback/equalizer.h"
#include "playback/reconnect.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

static void onTimer();
static void showLoad(HWND window, float load);
static void restWithoutStream(HWND window);
static void releaseConnectingCode(HSTREAM stream);
static void onVolumeScroll(HWND slider);
static void onEffectScroll(HWND slider);
static void onClose();

INT_PTR mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    player.mainWindow = window;
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog();
        return 1;
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 1;
    case WM_TIMER:
        onTimer();
        return 1;
    case WM_HSCROLL:
        onVolumeScroll(reinterpret_cast<HWND>(lParam));
        return 1;
    case WM_VSCROLL:
        onEffectScroll(reinterpret_cast<HWND>(lParam));
        return 1;
    case WM_CLOSE:
        onClose();
        return 1;
    default:
        return 0;
    }
}

static void onTimer() {
    HWND window = player.mainWindow;
    if (HSTREAM stream = player.stream) {
        DWORD level = BASS_ChannelGetLevel(stream);
        // A failed query (the stream has just ended and freed itself) is
        // silence, not the full-scale reading its all-ones result would give.
        if (level == static_cast<DWORD>(-1)) level = 0;
        SendDlgItemMessageA(window, IDC_LEVEL_LEFT, PBM_SETPOS, LOWORD(level), 0);
        SendDlgItemMessageA(window, IDC_LEVEL_RIGHT, PBM_SETPOS, HIWORD(level), 0);
        releaseConnectingCode(stream);
    }
    float load = BASS_GetCPU();
    showLoad(window, load);
    if (load == 0 && !player.stream) restWithoutStream(window);  // checked again under the lock
}

// With no stream the meters hold still and the load, once shown at zero,
// stays there: the timer rests, so an idle player wakes nobody twenty times
// a second. The connection that installs the next stream sets it again, in
// the same hold of installLock, so a stream arriving now finds it running.
// An idle player keeps no pages of start-up or of the last station's code.
static void restWithoutStream(HWND window) {
    {
        MutexLock lock(player.installLock);
        if (player.stream) return;
        KillTimer(window, 0);
    }
    releaseLoadedCode();
}

// Starting, showing the window and connecting run much code that playing
// never runs again (the station file, the TLS handshake, the decoder's
// probe, the fonts' set-up), and its pages would stay in the process's
// resident memory for good. Once a stream has played for a few seconds
// they are given back; what playing still uses comes back at its next use.
static void releaseConnectingCode(HSTREAM stream) {
    using Clock = std::chrono::steady_clock;
    static HSTREAM seen = 0;
    static Clock::time_point due;  // the end of time once released
    if (stream != seen) {
        seen = stream;
        due = Clock::now() + std::chrono::seconds(5);
    } else if (Clock::now() >= due) {
        due = Clock::time_point::max();
        releaseLoadedCode();
    }
}

// The load changes in its last digits at almost every tick while a stream
// plays, but what the window shows (two decimals) far less often; with
// nothing playing it stays at zero. Each new text costs the window a
// repaint, so only a new text is set.
static void showLoad(HWND window, float load) {
    static HWND shownIn = nullptr;  // a new window shows its own caption
    static float shownLoad = -1;
    static char shownText[16];
    if (window == shownIn && load == shownLoad) return;
    if (window != shownIn) shownText[0] = '\0';
    shownIn = window;
    shownLoad = load;
    char text[16];
    snprintf(text, sizeof text, "%.2f %%", load);
    if (strcmp(text, shownText) == 0) return;
    memcpy(shownText, text, sizeof text);
    SendDlgItemMessageA(window, IDC_CPU, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

static void onVolumeScroll(HWND slider) {
    player.volumePercent = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    BASS_ChannelSetAttribute(player.stream, BASS_ATTRIB_VOL, player.volumePercent / 100.0f);
}

static void onEffectScroll(HWND slider) {
    if (slider) applyEffectSlider(GetDlgCtrlID(slider) - IDC_EFFECT0);
}

static void onClose() {
    // The record file is left to the process's end, which flushes and closes it.
    cancelReconnect();
    BASS_Free();
    EndDialog(player.mainWindow, 0);
}
