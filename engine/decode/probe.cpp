// Choosing a stream's decoder from its first bytes: every kind of the table
// looks for its format, and the rules common to all of them (markup and
// text are refused, the content type breaks a tie, the earliest find wins
// otherwise) decide.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "engine/core/text_match.h"
#include "engine/decode/decoder_table.h"

namespace engine::decode {
namespace {

// With this many bytes and no audio found, the stream is not one we play. A
// server's burst starts at most one frame (under 3 KiB) before a frame header.
constexpr size_t kProbeLimit = 16 * 1024;
// Text has no control bytes but tab and line ends; audio has them within this
// many bytes with overwhelming likelihood.
constexpr size_t kTextWindow = 512;

// Audio types of formats a plug-in may bring, loaded or not: a server that
// names one of them is not sending MP3 behind an ID3 tag.
constexpr std::string_view kPluginAudioTypes[] = {"audio/aac", "audio/aacp", "audio/x-aac", "audio/mp4", "audio/opus"};

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

bool announces(const DecoderKind& kind, const std::string& type) {
    return std::find(kind.contentTypes.begin(), kind.contentTypes.end(), type) != kind.contentTypes.end();
}

// The server names a format other than `kind`'s.
bool announcesOther(const std::vector<KindPtr>& kinds, const DecoderKind& kind, const std::string& type) {
    if (type.empty() || announces(kind, type)) return false;
    for (const auto& other : kinds)
        if (announces(*other, type)) return true;
    return std::find(std::begin(kPluginAudioTypes), std::end(kPluginAudioTypes), type) != std::end(kPluginAudioTypes);
}

struct Candidate {
    KindPtr kind;
    ProbeHit hit;
};

// The announced format among the finds, else the one that starts first
// (the earlier kind of the table when two start together).
KindPtr pick(const std::vector<Candidate>& found, const std::string& type) {
    for (const auto& c : found)
        if (announces(*c.kind, type)) return c.kind;
    auto first = std::min_element(found.begin(), found.end(),
                                  [](const Candidate& a, const Candidate& b) { return a.hit.offset < b.hit.offset; });
    return first->kind;
}

}  // namespace

ProbeResult probeStream(const std::vector<KindPtr>& kinds, const unsigned char* data, size_t size,
                        const std::string& contentType) {
    if (size == 0) return {};
    if (isMarkup(data, size)) return {ProbeResult::Unknown, nullptr};
    std::vector<Candidate> found;
    for (const auto& kind : kinds) {
        auto hit = kind->probe(data, size);
        if (!hit) continue;
        // A tag ahead of the audio may be large: do not wait for its end
        // unless the server says the audio is something else.
        if (hit->tagOnly) {
            if (!announcesOther(kinds, *kind, contentType)) return {ProbeResult::Found, kind};
            continue;
        }
        found.push_back({kind, *hit});
    }
    if (!found.empty()) return {ProbeResult::Found, pick(found, contentType)};
    if (isText(data, size) || size >= kProbeLimit) return {ProbeResult::Unknown, nullptr};
    return {};
}

}  // namespace engine::decode
