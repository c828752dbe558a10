// The player's one process-wide state record, and the program's locks.
// Every layer of the program reads and writes it directly; beside each field
// stands who owns it, or the lock that guards it.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "base/thread_safety.h"
#include "engine/bass.h"
#include "platform/win32.h"

struct PlayerState {
    BASS_INFO audioInfo{};                           // dialog thread, start-up only
    std::atomic<int> playingStation{-1};             // dialog thread
    std::atomic<int> volumePercent{0};               // dialog thread writes; connect thread reads
    std::atomic<int> selectedStation{0};             // dialog thread
    char recordPath[4096] GUARDED_BY(recordLock){};  // PATH_MAX, for UTF-8 names
    BASS_CHANNELINFO channelInfo{};                  // the connect thread that owns the stream
    std::atomic<HFX> eqBand[3]{};                    // written by the connect thread, read by the dialog
    std::atomic<HFX> reverbEffect{0};                // as eqBand
    float initialVolume = 0;                         // dialog thread, start-up only
    char* stationUrl = nullptr;                      // dialog thread; ownership moves to the connect thread
    std::string stationAddress;                      // dialog thread: stationUrl's text, kept for selectedStation
    char* currentTitle GUARDED_BY(recordLock) = nullptr;
    int recordOpenError GUARDED_BY(recordLock) = 0;
    std::atomic<HSTREAM> stream{0};                     // written by the winning connect thread
    char recordFileName[256] GUARDED_BY(recordLock){};  // a name of up to 255 bytes
    char pluginText[400]{};                             // dialog thread, written at start-up only
    std::atomic<HWND> mainWindow{nullptr};              // set by the dialog procedure
    FILE* recordFile GUARDED_BY(recordLock) = nullptr;
    FILE* stationsFile = nullptr;  // dialog thread, during one call
    int recordCounter GUARDED_BY(recordLock) = 0;
    std::atomic<int> speakerCount{0};  // dialog thread at start-up, then read-only
    std::atomic<int> isPlaying{0};     // dialog thread
    int recordEnabled GUARDED_BY(recordLock) = 0;
    unsigned recordConnection GUARDED_BY(recordLock) = 0;  // the connection whose downloads are heard

    // The program's locks, all of them, and the one order in which they may
    // be taken: a lock is only ever taken while holding none that comes after
    // it here (ACQUIRED_AFTER states the order to clang's analysis).
    // No lock is held while a message box is shown, and none across an engine
    // call that may wait for a callback while recordLock is held; window
    // messages never wait for the dialog's thread, so sending them under a
    // lock is safe. Clang's -Wthread-safety checks the GUARDED_BY and
    // REQUIRES annotations.

    // A connection's check that it is still the latest, and the steps that
    // install and fit out its stream (stream_connection.cpp).
    Mutex installLock;
    // One title update, from reading the tags to deciding what changes
    // (stream_metadata.cpp).
    Mutex titleLock ACQUIRED_AFTER(installLock);
    // The recording fields above and the recorder's, for the whole of each
    // recording operation; the download callback waits for it, so no engine
    // call that waits for a callback is made under it.
    Mutex recordLock ACQUIRED_AFTER(titleLock);
    // The reconnect schedule (reconnect.cpp); held only across the window
    // layer's timer calls, with texts sent after it is released.
    Mutex reconnectLock ACQUIRED_AFTER(recordLock);
    // The order of control updates (control_update.cpp); a leaf: taken under
    // installLock, never while titleLock, recordLock or reconnectLock is held
    // (updates are decided under those and sent after them).
    Mutex sendLock ACQUIRED_AFTER(installLock);
};

extern PlayerState& player;  // lives until the process ends
