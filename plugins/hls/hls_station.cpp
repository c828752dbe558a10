#include "plugins/hls/hls_station.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugins/hls/hls_crypto.h"
#include "plugins/hls/hls_id3.h"
#include "plugins/hls/hls_live.h"
#include "plugins/hls/hls_playlist.h"
#include "plugins/hls/hls_segment.h"

namespace hls {
namespace {

// A playlist of a live window is a few KiB; a DVR window of hours some
// hundred. Beyond this it is no playlist we follow.
constexpr size_t kMaxPlaylistBytes = 1024 * 1024;
// A segment of a few seconds of audio is well under a megabyte; video
// variants chosen for want of audio ones are larger.
constexpr size_t kMaxSegmentBytes = 16 * 1024 * 1024;
constexpr size_t kMaxKeyBytes = 64;
// Master playlists nest once; more is a loop.
constexpr int kMaxNesting = 3;
// The richest audio a radio listener needs.
constexpr long long kBandwidthCap = 512000;
// Failed segments (or reloads) in a row before the station is given up and
// the program's reconnect takes over.
constexpr int kMaxFailuresInARow = 5;
constexpr int kMinFetchLimitMs = 10000;

constexpr uint32_t kAacCtype = 0x10b00;
constexpr uint32_t kMp3Ctype = 0x10005;

bool fatal(int error) {
    return error == TUNELARK_ERROR_STOPPED || error == TUNELARK_ERROR_PROTOCOL;
}

class Station : private SegmentOutput {
public:
    Station(const TunelarkHostOps& host, TunelarkSourceHost* context) : host_(host), context_(context) {}
    int run(const std::string& url, std::string body, bool whole);

private:
    int fetch(const std::string& url, size_t maxBytes, int limitMs, std::vector<unsigned char>& into,
              std::string* finalUrl = nullptr);
    int fetchPart(const std::string& url, const std::optional<ByteRange>& range, int limitMs,
                  std::vector<unsigned char>& into);
    int load(std::string& url, Playlist& list);
    int resolveMaster(std::string& url, Playlist& list);
    int follow(const std::string& url, Playlist list);
    int playSegment(const Segment& segment, int limitMs);
    int loadKey(const Segment& segment, int limitMs);
    int initSection(const Segment& segment, int limitMs);

    bool audio(const float* samples, long frames, int rate, int channels, int codecId) override;
    void elementary(const unsigned char* data, size_t size) override;
    void title(const std::string& icyText) override;

    const TunelarkHostOps& host_;
    TunelarkSourceHost* const context_;
    SegmentDecoder decoder_;
    std::vector<unsigned char> segment_;
    std::string keyUrl_;
    AesBlock key_{};
    std::string mapKey_;  // segmentKey() of the init section in map_
    std::vector<unsigned char> map_;
    std::string lastTitle_;
    bool stopped_ = false;
};

int Station::fetch(const std::string& url, size_t maxBytes, int limitMs, std::vector<unsigned char>& into,
                   std::string* finalUrl) {
    TunelarkFetched got{};
    int error = host_.fetch(context_, url.c_str(), maxBytes, limitMs, &got);
    if (error != 0) return error;
    into.assign(got.data, got.data + got.size);
    if (finalUrl) *finalUrl = got.url ? got.url : url;
    return 0;
}

// A segment or init section: the whole file, or the part of it named.
int Station::fetchPart(const std::string& url, const std::optional<ByteRange>& range, int limitMs,
                       std::vector<unsigned char>& into) {
    if (!range) return fetch(url, kMaxSegmentBytes, limitMs, into);
    if (range->length == 0 || range->length > kMaxSegmentBytes) return TUNELARK_ERROR_FILEFORM;
    TunelarkFetched got{};
    int error = host_.fetchRange(context_, url.c_str(), range->offset, size_t(range->length), limitMs, &got);
    if (error != 0) return error;
    into.assign(got.data, got.data + got.size);
    return 0;
}

// Loads and reads the playlist at url (which becomes its address after
// redirects).
int Station::load(std::string& url, Playlist& list) {
    std::vector<unsigned char> body;
    int error = fetch(url, kMaxPlaylistBytes, kMinFetchLimitMs, body, &url);
    if (error != 0) return error;
    auto parsed = parsePlaylist(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()), url);
    if (!parsed) return TUNELARK_ERROR_FILEFORM;
    list = std::move(*parsed);
    return 0;
}

// From a master playlist to the media playlist of the audio it picks.
int Station::resolveMaster(std::string& url, Playlist& list) {
    for (int depth = 0; list.master; ++depth) {
        std::string next = pickAudioPlaylist(list, kBandwidthCap);
        if (next.empty() || depth >= kMaxNesting) return TUNELARK_ERROR_FILEFORM;
        url = next;
        if (int error = load(url, list)) return error;
    }
    return list.segments.empty() && list.endList ? TUNELARK_ERROR_FILEFORM : 0;
}

int Station::run(const std::string& url, std::string body, bool whole) {
    std::string at = url;
    Playlist list;
    std::optional<Playlist> given;
    if (whole) given = parsePlaylist(body, url);
    int error = given ? (list = std::move(*given), 0) : load(at, list);
    if (error == 0) error = resolveMaster(at, list);
    return error != 0 ? error : follow(at, std::move(list));
}

int Station::follow(const std::string& url, Playlist list) {
    LiveWindow window;
    Clock::time_point loaded = Clock::now();
    int failures = 0;
    int lastError = 0;
    bool played = false;
    for (;;) {
        int limitMs = std::max(kMinFetchLimitMs, int(3000 * window.targetSeconds()));
        for (const Segment& segment : window.update(list, loaded)) {
            int error = playSegment(segment, limitMs);
            if (fatal(error)) return error;
            failures = error == 0 ? 0 : failures + 1;
            played = played || error == 0;
            lastError = error != 0 ? error : lastError;
            if (failures >= kMaxFailuresInARow) return error;
        }
        // A list that ended without one playable segment says why.
        if (list.endList) return played ? 0 : lastError;
        if (window.stalled(Clock::now())) return TUNELARK_ERROR_TIMEOUT;
        auto due = loaded + window.reloadInterval() - Clock::now();
        int waitMs = int(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(due).count()));
        if (host_.wait(context_, waitMs)) return TUNELARK_ERROR_STOPPED;
        loaded = Clock::now();
        std::string at = url;
        Playlist next;
        int error = load(at, next);
        if (error == 0 && next.master) error = TUNELARK_ERROR_FILEFORM;
        if (fatal(error)) return error;
        // A failed reload keeps the old window: nothing is new, the playlist
        // has not moved, and a stall ends the station.
        if (error == 0) list = std::move(next);
    }
}

int Station::initSection(const Segment& s, int limitMs) {
    std::string key = segmentKey(s.mapUrl, s.mapRange);
    if (key == mapKey_) return 0;
    mapKey_.clear();
    if (int error = fetchPart(s.mapUrl, s.mapRange, limitMs, map_)) return error;
    mapKey_ = std::move(key);
    return 0;
}

// The key before the segment: a key that cannot be had spares the fetch.
int Station::loadKey(const Segment& s, int limitMs) {
    if (s.key.method == Key::Method::None || s.key.url == keyUrl_) return 0;
    if (s.key.method != Key::Method::Aes128) return TUNELARK_ERROR_FILEFORM;
    std::vector<unsigned char> key;
    keyUrl_.clear();
    if (int error = fetch(s.key.url, kMaxKeyBytes, limitMs, key)) return error;
    if (key.size() != key_.size()) return TUNELARK_ERROR_DECODE;
    std::copy(key.begin(), key.end(), key_.begin());
    keyUrl_ = s.key.url;
    return 0;
}

int Station::playSegment(const Segment& s, int limitMs) {
    if (int error = loadKey(s, limitMs)) return error;
    if (int error = fetchPart(s.url, s.range, limitMs, segment_)) return error;
    if (s.key.method == Key::Method::Aes128 &&
        !decryptAes128(segment_, key_, s.key.iv.value_or(sequenceIv(s.sequence))))
        return TUNELARK_ERROR_DECODE;
    if (!s.mapUrl.empty()) {
        if (int error = initSection(s, limitMs)) return error;
        segment_.insert(segment_.begin(), map_.begin(), map_.end());
    }
    // Packed audio: the tag at its head names the title from its start.
    if (size_t tag = id3TagSize(segment_.data(), segment_.size()); tag > 0 && tag <= segment_.size())
        if (std::string text = id3Title(segment_.data(), tag); !text.empty()) title(text);
    switch (decoder_.play(segment_, *this)) {
    case SegmentResult::Played:
        return 0;
    case SegmentResult::Stopped:
        return TUNELARK_ERROR_STOPPED;
    case SegmentResult::NotMedia:
        return TUNELARK_ERROR_FILEFORM;
    case SegmentResult::Undecodable:
        return TUNELARK_ERROR_DECODE;
    }
    return TUNELARK_ERROR_DECODE;
}

bool Station::audio(const float* samples, long frames, int rate, int channels, int codecId) {
    uint32_t ctype = codecId == AV_CODEC_ID_AAC ? kAacCtype : codecId == AV_CODEC_ID_MP3 ? kMp3Ctype : kHlsCtype;
    TunelarkPcm pcm{samples, frames, rate, channels, 0};
    stopped_ = stopped_ || host_.audio(context_, &pcm, ctype) != 0;
    return !stopped_;
}

void Station::elementary(const unsigned char* data, size_t size) {
    host_.received(context_, data, size);
}

// Stations repeat the title in every segment: only a change is a new song.
void Station::title(const std::string& icyText) {
    if (icyText == lastTitle_) return;
    lastTitle_ = icyText;
    host_.meta(context_, icyText.c_str());
}

}  // namespace

int runStation(const TunelarkHostOps* host, TunelarkSourceHost* context, const char* url, const unsigned char* body,
               size_t size, int whole) {
    if (!host || !url) return TUNELARK_ERROR_FILEFORM;
    // The player keeps no log: a station's broken bytes are skipped, not
    // reported on the terminal.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    try {
        Station station(*host, context);
        std::string text = body ? std::string(reinterpret_cast<const char*>(body), size) : std::string();
        return station.run(url, std::move(text), whole != 0 && body);
    } catch (const std::bad_alloc&) {
        return TUNELARK_ERROR_MEM;
    } catch (...) {
        return TUNELARK_ERROR_DECODE;
    }
}

}  // namespace hls
