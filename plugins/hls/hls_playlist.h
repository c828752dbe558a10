// HLS playlists (master and media) read into plain records. Pure functions,
// safe on any input: unknown tags are skipped, counts are capped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hls {

// Segments kept from one media playlist: a DVR window of hours has a few
// thousand; a live edge needs the last few.
inline constexpr size_t kMaxSegments = 8192;
inline constexpr size_t kMaxVariants = 256;

struct Variant {
    std::string url;
    long long bandwidth = 0;  // bits per second, 0 when not given
    std::string codecs;       // "mp4a.40.2,avc1.4d401f"
    std::string audioGroup;   // AUDIO="..."
};

struct AudioRendition {
    std::string url;  // empty: the audio is in the variants themselves
    std::string groupId;
    bool isDefault = false;
};

struct Key {
    enum class Method { None, Aes128, Unsupported } method = Method::None;
    std::string url;
    std::optional<std::array<unsigned char, 16>> iv;
};

// A part of a file (#EXT-X-BYTERANGE, a map's BYTERANGE).
struct ByteRange {
    uint64_t offset = 0;
    uint64_t length = 0;  // 0: the range as written is unusable
};

struct Segment {
    std::string url;
    double duration = 0;  // seconds, as #EXTINF says
    long long sequence = 0;
    bool discontinuity = false;  // a new timeline or format starts here
    Key key;
    std::string mapUrl;  // #EXT-X-MAP: the init section of fMP4
    std::optional<ByteRange> mapRange;
    std::optional<ByteRange> range;  // the segment is this part of its file
};

// What tells a segment from the others across loads of a live playlist: its
// URL, and its offset when it is a part of a file that others share.
std::string segmentKey(const std::string& url, const std::optional<ByteRange>& range);

struct Playlist {
    bool master = false;
    std::vector<Variant> variants;
    std::vector<AudioRendition> audio;
    double targetDuration = 0;  // seconds, as written (may be 0 or huge)
    long long mediaSequence = 0;
    bool endList = false;
    std::deque<Segment> segments;
};

// Null when the text is not an HLS playlist (it must start with #EXTM3U).
// Relative URLs are resolved against baseUrl.
std::optional<Playlist> parsePlaylist(std::string_view text, const std::string& baseUrl);

// ref resolved against base ("seg1.ts", "/live/x.ts", "//cdn/x.ts", "../a");
// an absolute ref (any scheme) stays as it is.
std::string resolveUrl(const std::string& base, const std::string& ref);

// The variant's or rendition's playlist a player of radio takes: an audio
// rendition first, then audio-only variants, then any; of those the highest
// bandwidth up to capBitsPerSecond, else the lowest. Empty when none.
std::string pickAudioPlaylist(const Playlist& master, long long capBitsPerSecond);

}  // namespace hls
