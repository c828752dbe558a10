// Format recognition from the first bytes of a stream.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "engine/decode/decoder.h"
#include "engine/decode/mpeg_header.h"
#include "engine/text_match.h"

namespace engine::decode {
namespace {

// With this many bytes and no audio found, the stream is not one we play. A
// server's burst starts at most one frame (under 3 KiB) before a frame header.
constexpr size_t kProbeLimit = 16 * 1024;
// Text has no control bytes but tab and line ends; audio has them within this
// many bytes with overwhelming likelihood.
constexpr size_t kTextWindow = 512;

// Where a format's signature starts, if it was found.
using Scan = std::optional<size_t>;

enum class Hint { None, Mpeg, Ogg, Other };

Hint hintOf(const std::string& type) {
    for (const char* t : {"audio/mpeg", "audio/mp3", "audio/x-mpeg", "audio/mpg", "audio/x-mp3"})
        if (type == t) return Hint::Mpeg;
    for (const char* t : {"application/ogg", "audio/ogg", "audio/x-ogg", "audio/vorbis", "application/x-ogg"})
        if (type == t) return Hint::Ogg;
    for (const char* t : {"audio/aac", "audio/aacp", "audio/x-aac", "audio/mp4", "audio/opus"})
        if (type == t) return Hint::Other;
    return Hint::None;
}

// Two consecutive frame headers of one stream.
Scan findMpegFrames(const unsigned char* data, size_t size) {
    for (size_t i = 0; i + 4 <= size; ++i) {
        MpegHeader first;
        if (!parseMpegHeader(data + i, first)) continue;
        size_t next = i + static_cast<size_t>(first.frameLength);
        MpegHeader second;
        if (next + 4 <= size && parseMpegHeader(data + next, second) && sameMpegStream(first, second))
            return i;
    }
    return std::nullopt;
}

// The first page of a Vorbis logical stream: "OggS", version 0, the
// beginning-of-stream flag and a packet that starts with "\x01vorbis".
Scan findVorbisHeader(const unsigned char* data, size_t size) {
    static constexpr unsigned char kCapture[4] = {'O', 'g', 'g', 'S'};
    static constexpr unsigned char kVorbisId[7] = {1, 'v', 'o', 'r', 'b', 'i', 's'};
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (std::memcmp(data + i, kCapture, 4) != 0) continue;
        if (i + 27 > size || data[i + 4] != 0 || (data[i + 5] & 2) == 0) continue;
        size_t body = i + 27 + data[i + 26];
        if (data[i + 26] > 0 && body + sizeof kVorbisId <= size &&
            std::memcmp(data + body, kVorbisId, sizeof kVorbisId) == 0)
            return i;
    }
    return std::nullopt;
}

// The start of an HTML or XML page: an error page or a portal, not audio.
bool isMarkup(const unsigned char* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.starts_with("\xef\xbb\xbf")) text.remove_prefix(3);
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    text.remove_prefix(start);
    for (std::string_view tag : {"<!doctype", "<html", "<?xml", "<head", "<body", "<!--"})
        if (startsWithNoCase(text, tag)) return true;
    return false;
}

bool isText(const unsigned char* data, size_t size) {
    if (size < kTextWindow) return false;
    return std::none_of(data, data + kTextWindow, [](unsigned char c) {
        return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F || c == 0xFF;
    });
}

bool isId3v2(const unsigned char* data, size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return false;
    if (data[3] == 0xFF || data[4] == 0xFF) return false;
    return std::all_of(data + 6, data + 10, [](unsigned char c) { return c < 0x80; });
}

Probe choose(const Scan& mp3, const Scan& ogg, Hint hint) {
    if (mp3 && ogg) {
        if (hint == Hint::Mpeg) return Probe::Mp3;
        if (hint == Hint::Ogg) return Probe::Vorbis;
        return *mp3 < *ogg ? Probe::Mp3 : Probe::Vorbis;
    }
    if (mp3) return Probe::Mp3;
    if (ogg) return Probe::Vorbis;
    return Probe::NeedMore;
}

}  // namespace

Probe probeFormat(const unsigned char* data, size_t size, const std::string& contentType) {
    if (size == 0) return Probe::NeedMore;
    Hint hint = hintOf(contentType);
    if (isMarkup(data, size)) return Probe::Unknown;
    // A tag ahead of the audio; it may be large, so do not wait for its end
    // unless the server says the audio is something else.
    if (isId3v2(data, size) && hint != Hint::Other) return Probe::Mp3;
    Probe chosen = choose(findMpegFrames(data, size), findVorbisHeader(data, size), hint);
    if (chosen != Probe::NeedMore) return chosen;
    if (isText(data, size) || size >= kProbeLimit) return Probe::Unknown;
    return Probe::NeedMore;
}

}  // namespace engine::decode
