// Connecting again to a station that dropped. The waiting is the window
// layer's timer, run on the dialog's thread: cancelling it is KillTimer, and
// there is no thread of our own that anyone would have to wait for at exit.
// Each try is an ordinary connect thread, told by its ticket that it is one.
#include "playback/reconnect.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "playback/stream_connection.h"
#include "state/control_update.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

namespace {

using Clock = std::chrono::steady_clock;

// Seconds before each try of one outage; the last one repeats for as long
// as it takes.
constexpr int kDelays[] = {1, 2, 4, 8, 16, 30};
constexpr int kLastStep = static_cast<int>(std::size(kDelays)) - 1;
// A stream that played this long before it ended starts a new outage, with
// its tries from 1 s again. One that ended sooner goes on along the
// schedule, so a station that accepts and drops at once is not hammered.
constexpr auto kSteadyPlay = std::chrono::seconds(30);
// Timer 0 is the meters'.
constexpr UINT_PTR kReconnectTimer = 1;

enum class Phase {
    Idle,      // no station, or the user's own connection has not played yet
    Watching,  // `watched` plays; its end begins the waiting
    Waiting,   // counting down to the next try
    Trying,    // an automatic try is connecting
    Paused,    // Pause ended a waiting or a try; Play tries again
};

// Guarded by player.reconnectLock. Held, it covers only the window layer's
// timer calls, which never wait for the dialog's thread; texts are sent after
// it is released.
Phase phase GUARDED_BY(player.reconnectLock) = Phase::Idle;
// A heap copy, kept to the end (a plain pointer, so no destructor at exit
// races a running connect thread).
char* stationUrl GUARDED_BY(player.reconnectLock) = nullptr;
HSTREAM watched GUARDED_BY(player.reconnectLock) = 0;
// Raised by every try and every cancel.
unsigned currentTicket GUARDED_BY(player.reconnectLock) = 0;
// Index into kDelays of the next waiting.
int step GUARDED_BY(player.reconnectLock) = 0;
int secondsLeft GUARDED_BY(player.reconnectLock) = 0;
Clock::time_point connectedAt GUARDED_BY(player.reconnectLock);

void onReconnectTimer(HWND, UINT, UINT_PTR, DWORD);

ControlUpdate statusText(const char* text) {
    return decideText(IDC_STATUS, text);
}

ControlUpdate countdownText(int seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "reconnecting in %d s", seconds);
    return statusText(text);
}

ControlUpdate beginWaitingLocked() REQUIRES(player.reconnectLock) {
    phase = Phase::Waiting;
    secondsLeft = kDelays[step];
    step = std::min(step + 1, kLastStep);
    SetTimer(player.mainWindow, kReconnectTimer, 1000, onReconnectTimer);
    return countdownText(secondsLeft);
}

// Ends a waiting or a try under way: a try that is still connecting finds
// its ticket outdated and frees what it made.
void stopLocked(Phase next) REQUIRES(player.reconnectLock) {
    if (phase == Phase::Waiting) KillTimer(player.mainWindow, kReconnectTimer);
    ++currentTicket;
    phase = next;
}

void watchLocked(HSTREAM stream) REQUIRES(player.reconnectLock) {
    watched = stream;
    connectedAt = Clock::now();
    phase = Phase::Watching;
}

// Dialog thread. The copy of the address goes to the connect thread, which
// frees it.
void startTry() {
    char* url = nullptr;
    unsigned ticket = 0;
    std::optional<ControlUpdate> text;
    {
        MutexLock lock(player.reconnectLock);
        stopLocked(Phase::Trying);
        ticket = currentTicket;
        url = stationUrl ? strdup(stationUrl) : nullptr;
        if (!url) text = beginWaitingLocked();
    }
    if (text)
        sendUpdate(*text);
    else
        startConnectThread(url, ticket);
}

// Dialog thread, once a second while waiting.
void onReconnectTimer(HWND, UINT, UINT_PTR, DWORD) {
    ControlUpdate text;
    {
        MutexLock lock(player.reconnectLock);
        if (phase != Phase::Waiting) return;
        if (--secondsLeft > 0) text = countdownText(secondsLeft);
    }
    if (text.control)
        sendUpdate(text);
    else
        startTry();
}

bool isReconnecting(Phase before) {
    return before == Phase::Waiting || before == Phase::Trying;
}

}  // namespace

void cancelReconnect() {
    std::optional<ControlUpdate> text;
    {
        MutexLock lock(player.reconnectLock);
        if (isReconnecting(phase)) text = statusText("not playing");
        stopLocked(Phase::Idle);
        watched = 0;
        step = 0;
        std::free(stationUrl);
        stationUrl = nullptr;
    }
    if (text) sendUpdate(*text);
}

void rememberStation(const char* url) {
    char* copy = strdup(url);
    MutexLock lock(player.reconnectLock);
    std::free(stationUrl);
    stationUrl = copy;
}

void pauseReconnect() {
    ControlUpdate text;
    {
        MutexLock lock(player.reconnectLock);
        if (!isReconnecting(phase)) return;
        stopLocked(Phase::Paused);
        text = statusText("not playing");
    }
    sendUpdate(text);
}

void resumeReconnect() {
    {
        MutexLock lock(player.reconnectLock);
        if (phase != Phase::Paused) return;
        step = 0;
    }
    startTry();
}

bool reconnectTakesStream(HSTREAM stream, unsigned tryTicket) {
    ControlUpdate text;
    {
        MutexLock lock(player.reconnectLock);
        if (tryTicket == 0) {
            // Only a station chosen in the list is connected again.
            if (stream && stationUrl) watchLocked(stream);
            return true;
        }
        if (tryTicket != currentTicket || phase != Phase::Trying) {
            // Pause (or an exit) came while this try connected; its
            // "connecting..." may have come after Pause's own text.
            text = statusText("not playing");
        } else if (stream) {
            watchLocked(stream);
            return true;
        } else {
            text = beginWaitingLocked();
        }
    }
    sendUpdate(text);
    return false;
}

void reconnectAfterEnd(DWORD channel) {
    ControlUpdate text;
    {
        MutexLock lock(player.reconnectLock);
        if (phase != Phase::Watching || channel != watched || !stationUrl) return;
        watched = 0;
        if (Clock::now() - connectedAt >= kSteadyPlay) step = 0;
        text = beginWaitingLocked();
    }
    sendUpdate(text);
}

bool reconnectWillFollow() {
    MutexLock lock(player.reconnectLock);
    // A short answer can be downloaded to its end while the station's own
    // connect thread is still inside the create, before the stream is
    // watched: that station is connected again all the same once it has
    // played, so recording stays armed for it too.
    bool ownConnectionPending = phase == Phase::Idle && stationUrl;
    return phase == Phase::Watching || isReconnecting(phase) || ownConnectionPending;
}
