// The player's main window made with the program's own dialog procedure, in
// a working folder of its own, with message boxes recorded instead of shown.
// Runs headless (QT_QPA_PLATFORM=offscreen, SDL_AUDIODRIVER=dummy).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

struct RecordedBox {
    std::string text;
    std::string caption;
    UINT type;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes stations1.txt into the working folder (bytes as given).
    void writeStations(const std::string& bytes);
    // Creates the main window; start-up runs before it returns.
    HWND open();
    HWND item(int id) const { return GetDlgItem(window, id); }
    LRESULT send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    std::string text(int id) const;
    // Runs the dialog's event loop until until() holds or maxMs pass.
    bool pumpUntil(const std::function<bool()>& until, int maxMs = 15000);
    std::vector<RecordedBox> boxes();

    std::filesystem::path workDir;
    HWND window = nullptr;

private:
    std::filesystem::path oldDir_;
    std::mutex boxLock_;
    std::vector<RecordedBox> boxes_;
};

// Puts every field of the player's state back to its value at program start
// (the tests of one process share the one record).
void resetPlayerState();
