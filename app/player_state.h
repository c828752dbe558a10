// The player's one process-wide state record. Every Part reads and writes it
// directly; beside each field stands who owns it.
//
// Lock order: recordLock is the only lock of the program's own. It is taken
// for the whole of each recording operation and never held while a window
// message is sent to another thread's controls, a message box is shown or an
// engine call that may run a callback is made.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>

#include "engine/bass.h"
#include "platform/win32.h"

struct PlayerState {
    BASS_INFO audioInfo{};             // dialog thread, start-up only
    std::atomic<int> playingStation{-1};  // dialog thread
    std::atomic<int> volumePercent{0};    // dialog thread writes; connect thread reads
    std::atomic<int> selectedStation{0};  // dialog thread
    char recordPath[260]{};            // guarded by recordLock
    BASS_CHANNELINFO channelInfo{};    // the connect thread that owns the stream
    std::atomic<HFX> eqBand[3]{};      // written by the connect thread, read by the dialog
    std::atomic<HFX> reverbEffect{0};  // as eqBand
    float initialVolume = 0;           // dialog thread, start-up only
    char* stationUrl = nullptr;        // dialog thread; ownership moves to the connect thread
    char* currentTitle = nullptr;      // guarded by recordLock
    int recordOpenError = 0;           // guarded by recordLock
    std::atomic<HSTREAM> stream{0};    // written by the winning connect thread
    char recordFileName[100]{};        // guarded by recordLock
    char pluginText[400]{};            // dialog thread, written at start-up only
    std::atomic<HWND> mainWindow{nullptr};  // set by the dialog procedure
    FILE* recordFile = nullptr;        // guarded by recordLock
    FILE* stationsFile = nullptr;      // dialog thread, during one call
    int recordCounter = 0;             // guarded by recordLock
    std::atomic<int> speakerCount{0};  // dialog thread at start-up, then read-only
    std::atomic<int> isPlaying{0};     // dialog thread
    int recordEnabled = 0;             // guarded by recordLock
    unsigned recordConnection = 0;     // guarded by recordLock: the connection whose downloads are heard

    std::mutex recordLock;
};

extern PlayerState& player;  // lives until the process ends
