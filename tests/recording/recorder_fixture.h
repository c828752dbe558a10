// The player's main window, made headless from the program's own template,
// with a dialog procedure that hands the "Rec" command to the recorder as the
// program does, and the record folder held for the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "app/resources/main_dialog.h"
#include "platform/win32.h"
#include "recording/recorder.h"
#include "state/player_state.h"
#include "state/resource_ids.h"
#include "tests/support/platform_testing.h"
#include "tests/support/record_folder.h"

namespace recordertest {

inline INT_PTR recorderDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_REC) {
        toggleRecording();
        return TRUE;
    }
    return FALSE;
}

inline std::string controlText(int id) {
    char text[4096] = {};
    GetDlgItemTextA(player.mainWindow, id, text, sizeof text);
    return text;
}

inline bool recMarked() {
    return SendDlgItemMessageA(player.mainWindow, IDC_REC, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool recordingOn() {
    MutexLock lock(player.recordLock);
    return player.recordEnabled != 0;
}

inline void holdTitle(const char* title) {
    MutexLock lock(player.recordLock);
    std::free(player.currentTitle);
    player.currentTitle = title ? strdup(title) : nullptr;
}

inline std::string heldTitle() {
    MutexLock lock(player.recordLock);
    return player.currentTitle ? player.currentTitle : "(none)";
}

inline int recordCounter() {
    MutexLock lock(player.recordLock);
    return player.recordCounter;
}

inline void setRecordCounter(int n) {
    MutexLock lock(player.recordLock);
    player.recordCounter = n;
}

inline void block(const std::string& bytes) {
    onDownloadBlock(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr);
}

inline void endOfDownload() {
    onDownloadBlock(nullptr, 0, nullptr);
}

// Switches recording on through the recorder, as a click on "Rec" does.
inline void switchRecordingOn() {
    if (!recordingOn()) toggleRecording();
    ASSERT_TRUE(recordingOn());
}

// A fresh window and record folder per test; the recording state is reset to
// what the program has at start.
class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<testsupport::RecordFolderGuard>();
        registerMainDialogResources();
        window =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, recorderDialogProc, 0);
        ASSERT_NE(window, nullptr);
        player.mainWindow = window;
        resetRecording();
    }

    void TearDown() override {
        closeRecordFile();
        resetRecording();
        player.mainWindow = nullptr;
        DestroyWindow(window);
        folder.reset();
    }

    static void resetRecording() {
        closeRecordFile();
        followConnection(0);  // a new connection: nothing known of its bytes
        MutexLock lock(player.recordLock);
        player.recordEnabled = 0;
        player.recordCounter = 0;
        player.recordOpenError = 0;
        std::free(player.currentTitle);
        player.currentTitle = nullptr;
    }

    std::unique_ptr<testsupport::RecordFolderGuard> folder;
    HWND window = nullptr;
};

}  // namespace recordertest
