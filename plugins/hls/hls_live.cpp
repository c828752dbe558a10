#include "plugins/hls/hls_live.h"

#include <algorithm>

namespace hls {
namespace {

constexpr double kMinTarget = 1;
constexpr double kMaxTarget = 30;
constexpr double kMinStallSeconds = 10;
// More than a live window holds: a late copy's newest segment is among them.
constexpr size_t kRecentKept = 64;

std::string keyOf(const Segment& s) {
    return segmentKey(s.url, s.range);
}

double sensibleTarget(const Playlist& p) {
    double t = p.targetDuration;
    if (t >= kMinTarget && t <= kMaxTarget) return t;
    double longest = 0;
    for (const Segment& s : p.segments) longest = std::max(longest, s.duration);
    return std::clamp(longest > 0 ? longest : 6.0, kMinTarget, kMaxTarget);
}

}  // namespace

std::vector<Segment> LiveWindow::newer(const Playlist& p) const {
    auto& all = p.segments;
    // By the last segment's address (and part) first: servers that restart
    // numbering keep their file names apart, and a late CDN copy holds it
    // again.
    auto last = std::find_if(all.begin(), all.end(), [&](const Segment& s) { return keyOf(s) == lastKey_; });
    if (last != all.end()) return {last + 1, all.end()};
    if (!all.empty() && all.back().sequence > lastSequence_) {
        auto first = std::find_if(all.begin(), all.end(), [&](const Segment& s) { return s.sequence > lastSequence_; });
        return {first, all.end()};
    }
    // Older numbers only: a late copy of what we had, or a restarted stream.
    if (all.empty() || std::find(recent_.begin(), recent_.end(), keyOf(all.back())) != recent_.end()) return {};
    size_t from = p.endList || all.size() <= kLiveStartSegments ? 0 : all.size() - kLiveStartSegments;
    return {all.begin() + long(from), all.end()};
}

std::vector<Segment> LiveWindow::update(const Playlist& p, Clock::time_point now) {
    target_ = sensibleTarget(p);
    std::vector<Segment> fresh;
    if (!started_) {
        size_t from = p.endList || p.segments.size() <= kLiveStartSegments ? 0 : p.segments.size() - kLiveStartSegments;
        fresh.assign(p.segments.begin() + long(from), p.segments.end());
        started_ = true;
        lastMove_ = now;
    } else {
        fresh = newer(p);
    }
    moved_ = !fresh.empty();
    if (moved_) {
        lastMove_ = now;
        handOut(fresh);
    }
    return fresh;
}

void LiveWindow::handOut(const std::vector<Segment>& segments) {
    lastSequence_ = segments.back().sequence;
    lastKey_ = keyOf(segments.back());
    for (const Segment& s : segments) recent_.push_back(keyOf(s));
    while (recent_.size() > kRecentKept) recent_.pop_front();
}

Clock::duration LiveWindow::reloadInterval() const {
    double seconds = moved_ ? target_ : target_ / 2;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool LiveWindow::stalled(Clock::time_point now) const {
    double limit = std::max(3 * target_, kMinStallSeconds);
    return started_ && now - lastMove_ > std::chrono::duration<double>(limit);
}

}  // namespace hls
