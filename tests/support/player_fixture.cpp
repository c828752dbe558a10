#include "tests/support/player_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/main_window.h"
#include "app/resources/main_dialog.h"
#include "engine/bass.h"
#include "playback/reconnect.h"
#include "tests/support/platform_testing.h"

void resetPlayerState() {
    cancelReconnect();
    MutexLock lock(player.recordLock);
    if (player.recordFile) fclose(player.recordFile);
    player.recordFile = nullptr;
    player.recordEnabled = 0;
    player.recordCounter = 0;
    player.recordOpenError = 0;
    player.recordConnection = 0;
    free(player.currentTitle);
    player.currentTitle = nullptr;
    player.playingStation = -1;
    player.selectedStation = 0;
    player.volumePercent = 0;
    player.isPlaying = 0;
    player.stream = 0;
    player.stationUrl = nullptr;
    player.speakerCount = 0;
    for (auto& band : player.eqBand) band = 0;
    player.reverbEffect = 0;
    player.pluginText[0] = '\0';
}

void PlayerTest::SetUp() {
    static int serial = 0;
    workDir = std::filesystem::temp_directory_path() /
              ("tunelark-player-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(workDir);
    oldDir_ = std::filesystem::current_path();
    std::filesystem::current_path(workDir);
    writeStations("Local,http://127.0.0.1:9/none\n");
    resetPlayerState();
    platform::testing::setMessageBoxInterceptor([this](HWND, const char* text, const char* caption, UINT type) {
        std::lock_guard<std::mutex> lock(boxLock_);
        boxes_.push_back({text ? text : "", caption ? caption : "", type});
        return IDOK;
    });
}

void PlayerTest::TearDown() {
    if (window && IsWindow(window)) DestroyWindow(window);
    BASS_Free();
    platform::testing::pumpEvents(5000, [] { return platform::testing::pendingUpdates() == 0; });
    platform::testing::setMessageBoxInterceptor({});
    resetPlayerState();
    std::filesystem::current_path(oldDir_);
    std::filesystem::remove_all(workDir);
}

void PlayerTest::writeStations(const std::string& bytes) {
    std::ofstream(workDir / "stations1.txt", std::ios::binary | std::ios::trunc) << bytes;
}

HWND PlayerTest::open() {
    registerMainDialogResources();
    window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
    platform::testing::flushUpdates();
    return window;
}

LRESULT PlayerTest::send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendDlgItemMessageA(window, id, message, wParam, lParam);
}

std::string PlayerTest::text(int id) const {
    char buffer[1024] = {};
    GetDlgItemTextA(window, id, buffer, sizeof buffer);
    return buffer;
}

bool PlayerTest::pumpUntil(const std::function<bool()>& until, int maxMs) {
    return platform::testing::pumpEvents(maxMs, until);
}

std::vector<RecordedBox> PlayerTest::boxes() {
    std::lock_guard<std::mutex> lock(boxLock_);
    return boxes_;
}
