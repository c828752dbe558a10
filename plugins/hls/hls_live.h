// Following a media playlist as it moves: which segments to fetch after each
// load (once each, in order), when to load it again, and when it has stopped
// moving. No I/O: the source feeds it each load and the time.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "plugins/hls/hls_playlist.h"

namespace hls {

using Clock = std::chrono::steady_clock;

// Segments a live start goes back from the newest: enough to ride out a
// late reload, as players commonly do (three target durations).
inline constexpr size_t kLiveStartSegments = 3;

class LiveWindow {
public:
    // A load of the playlist at `now`: the segments not handed out before,
    // in order. A window that no longer holds the last segment handed out and
    // whose sequence went backwards is a restarted stream: it is joined anew
    // at its live edge.
    std::vector<Segment> update(const Playlist& playlist, Clock::time_point now);
    // When to load again: a target duration after a load that moved, half of
    // one after a load that did not (counted from the load's start).
    Clock::duration reloadInterval() const;
    // The playlist has not moved for three target durations (at least 10 s).
    bool stalled(Clock::time_point now) const;
    // The target duration in use, kept within sense (1..30 s): a playlist
    // that says 0 or 10^9 is reloaded at its segments' pace instead.
    double targetSeconds() const { return target_; }

private:
    std::vector<Segment> newer(const Playlist& playlist) const;
    void handOut(const std::vector<Segment>& segments);

    bool started_ = false;
    long long lastSequence_ = -1;
    std::string lastKey_;             // segmentKey() of the last segment handed out
    std::deque<std::string> recent_;  // the keys of the latest segments handed out
    bool moved_ = true;
    double target_ = 6;
    Clock::time_point lastMove_{};
};

}  // namespace hls
