#include "plugins/hls/hls_playlist.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace hls {
namespace {

// A line longer than this is no playlist line (a URL is a few hundred bytes).
constexpr size_t kMaxLine = 8192;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

long long toInteger(std::string_view s) {
    long long value = 0;
    s = trim(s);
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() ? value : 0;
}

double toSeconds(std::string_view s) {
    std::string text(trim(s.substr(0, std::min<size_t>(s.size(), 32))));
    double value = std::strtod(text.c_str(), nullptr);
    return value > 0 && value < 1e9 ? value : 0;
}

// NAME=value,NAME="quoted, with commas",...
std::map<std::string, std::string> attributes(std::string_view list) {
    std::map<std::string, std::string> out;
    while (!list.empty()) {
        size_t eq = list.find('=');
        if (eq == std::string_view::npos) break;
        std::string name(trim(list.substr(0, eq)));
        list.remove_prefix(eq + 1);
        std::string_view value;
        if (!list.empty() && list.front() == '"') {
            size_t close = list.find('"', 1);
            value = list.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            list.remove_prefix(close == std::string_view::npos ? list.size() : close + 1);
        } else {
            value = list.substr(0, list.find(','));
            list.remove_prefix(value.size());
        }
        out[name] = std::string(trim(value));
        size_t comma = list.find(',');
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return out;
}

std::optional<std::array<unsigned char, 16>> hexIv(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 32) return std::nullopt;
    std::string digits = std::string(32 - text.size(), '0') + std::string(text);
    std::array<unsigned char, 16> iv{};
    for (size_t i = 0; i < 16; ++i) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(digits.data() + 2 * i, digits.data() + 2 * i + 2, value, 16);
        if (error != std::errc() || end != digits.data() + 2 * i + 2) return std::nullopt;
        iv[i] = static_cast<unsigned char>(value);
    }
    return iv;
}

Key readKey(std::string_view list, const std::string& base) {
    auto a = attributes(list);
    Key key;
    if (a["METHOD"] == "NONE") return key;
    key.method = a["METHOD"] == "AES-128" ? Key::Method::Aes128 : Key::Method::Unsupported;
    key.url = resolveUrl(base, a["URI"]);
    if (a.count("IV")) {
        key.iv = hexIv(a["IV"]);
        if (!key.iv) key.method = Key::Method::Unsupported;
    }
    return key;
}

struct RangeText {
    uint64_t length = 0;             // 0: not a range
    std::optional<uint64_t> offset;  // none: right after the segment before
};

// "length[@offset]"
RangeText readRange(std::string_view text) {
    text = trim(text);
    size_t at = text.find('@');
    RangeText range;
    auto number = [](std::string_view digits, uint64_t& into) {
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), into);
        return error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
    };
    if (!number(text.substr(0, at), range.length)) return {};
    if (at == std::string_view::npos) return range;
    uint64_t offset = 0;
    if (!number(text.substr(at + 1), offset) || offset > UINT64_MAX - range.length) return {};
    range.offset = offset;
    return range;
}

struct Reader {
    explicit Reader(const std::string& baseUrl) : base(baseUrl) {}

    Playlist list;
    const std::string& base;
    Segment next;  // tags gathered for the next URI line
    Key key;       // in force for the segments that follow
    std::string mapUrl;
    std::optional<ByteRange> mapRange;
    std::optional<RangeText> range;  // for the next URI line
    bool nextIsVariant = false;
    Variant variant;

    void tag(std::string_view line);
    void uri(std::string_view line);
    ByteRange placeRange(const RangeText& text) const;
};

// A range without an offset follows the segment before, a part of the same
// file; with none such it is unusable.
ByteRange Reader::placeRange(const RangeText& text) const {
    if (text.length == 0) return {};
    if (text.offset) return {*text.offset, text.length};
    if (list.segments.empty()) return {};
    const Segment& before = list.segments.back();
    if (before.url != next.url || !before.range || before.range->length == 0) return {};
    uint64_t end = before.range->offset + before.range->length;
    return end > UINT64_MAX - text.length ? ByteRange{} : ByteRange{end, text.length};
}

void Reader::tag(std::string_view line) {
    auto value = [&](std::string_view name) { return line.substr(name.size()); };
    if (line.starts_with("#EXTINF:")) {
        next.duration = toSeconds(value("#EXTINF:"));
    } else if (line.starts_with("#EXT-X-TARGETDURATION:")) {
        list.targetDuration = double(std::clamp<long long>(toInteger(value("#EXT-X-TARGETDURATION:")), 0, 1000000000));
    } else if (line.starts_with("#EXT-X-MEDIA-SEQUENCE:")) {
        list.mediaSequence = std::max<long long>(0, toInteger(value("#EXT-X-MEDIA-SEQUENCE:")));
    } else if (line.starts_with("#EXT-X-ENDLIST")) {
        list.endList = true;
    } else if (line.starts_with("#EXT-X-DISCONTINUITY") && !line.starts_with("#EXT-X-DISCONTINUITY-")) {
        next.discontinuity = true;
    } else if (line.starts_with("#EXT-X-KEY:")) {
        key = readKey(value("#EXT-X-KEY:"), base);
    } else if (line.starts_with("#EXT-X-MAP:")) {
        auto a = attributes(value("#EXT-X-MAP:"));
        mapUrl = resolveUrl(base, a["URI"]);
        mapRange.reset();
        if (a.count("BYTERANGE")) {
            // Without an offset, a map's range starts the file.
            RangeText text = readRange(a["BYTERANGE"]);
            mapRange = ByteRange{text.offset.value_or(0), text.length};
        }
    } else if (line.starts_with("#EXT-X-BYTERANGE:")) {
        range = readRange(value("#EXT-X-BYTERANGE:"));
    } else if (line.starts_with("#EXT-X-STREAM-INF:")) {
        auto a = attributes(value("#EXT-X-STREAM-INF:"));
        variant = {"", toInteger(a["BANDWIDTH"]), a["CODECS"], a["AUDIO"]};
        nextIsVariant = true;
        list.master = true;
    } else if (line.starts_with("#EXT-X-MEDIA:")) {
        auto a = attributes(value("#EXT-X-MEDIA:"));
        list.master = true;
        if (a["TYPE"] == "AUDIO" && !a["URI"].empty() && list.audio.size() < kMaxVariants)
            list.audio.push_back({resolveUrl(base, a["URI"]), a["GROUP-ID"], a["DEFAULT"] == "YES"});
    }
}

void Reader::uri(std::string_view line) {
    if (nextIsVariant) {
        variant.url = resolveUrl(base, std::string(line));
        if (list.variants.size() < kMaxVariants) list.variants.push_back(std::move(variant));
        nextIsVariant = false;
        return;
    }
    next.url = resolveUrl(base, std::string(line));
    next.sequence = list.mediaSequence + (long long)list.segments.size();
    next.key = key;
    next.mapUrl = mapUrl;
    next.mapRange = mapRange;
    if (range) next.range = placeRange(*range);
    range.reset();
    // A window larger than the cap keeps its newest segments: the live edge.
    if (list.segments.size() >= kMaxSegments) {
        list.segments.pop_front();
        ++list.mediaSequence;
        next.sequence = list.mediaSequence + (long long)list.segments.size();
    }
    list.segments.push_back(std::move(next));
    next = Segment{};
}

std::string_view schemeOf(std::string_view url) {
    size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
    }
    return url.substr(0, colon);
}

// "/a/b/../c/./d" -> "/a/c/d"
std::string removeDots(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string_view part =
            path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        bool last = slash == std::string_view::npos;
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
            if (last) parts.push_back("");
        } else if (part == ".") {
            if (last) parts.push_back("");
        } else {
            parts.push_back(part);
        }
        if (last) break;
        start = slash + 1;
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

}  // namespace

std::string segmentKey(const std::string& url, const std::optional<ByteRange>& range) {
    return range ? url + "\n@" + std::to_string(range->offset) : url;
}

std::string resolveUrl(const std::string& base, const std::string& ref) {
    if (!schemeOf(ref).empty()) return ref;
    std::string_view scheme = schemeOf(base);
    if (scheme.empty() || base.compare(scheme.size(), 3, "://") != 0) return ref;
    size_t hostStart = scheme.size() + 3;
    size_t pathStart = base.find_first_of("/?#", hostStart);
    std::string origin = base.substr(0, pathStart);
    if (ref.starts_with("//")) return std::string(scheme) + ":" + ref;
    if (ref.starts_with("/")) return origin + removeDots(ref);
    std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    if (path.empty() || path[0] != '/') path = "/" + path;
    if (ref.starts_with("?")) return origin + path + ref;
    std::string dir = path.substr(0, path.rfind('/') + 1);
    size_t query = ref.find_first_of("?#");
    return origin + removeDots(dir + ref.substr(0, query)) + (query == std::string::npos ? "" : ref.substr(query));
}

std::optional<Playlist> parsePlaylist(std::string_view text, const std::string& baseUrl) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (!trim(text.substr(0, text.find('\n'))).starts_with("#EXTM3U")) return std::nullopt;
    Reader reader(baseUrl);
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.size() > kMaxLine) continue;
        if (line.front() == '#')
            reader.tag(line);
        else if (std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            reader.uri(line);
    }
    return std::move(reader.list);
}

namespace {

bool audioOnly(const Variant& v) {
    if (v.codecs.empty()) return false;
    for (std::string_view video : {"avc", "hvc", "hev", "vp0", "vp8", "vp9", "av01", "dvh"})
        if (v.codecs.find(video) != std::string::npos) return false;
    return true;
}

const Variant* pickByBandwidth(const std::vector<const Variant*>& set, long long cap) {
    const Variant* best = nullptr;
    const Variant* lowest = nullptr;
    for (const Variant* v : set) {
        if (!lowest || v->bandwidth < lowest->bandwidth) lowest = v;
        if (v->bandwidth <= cap && (!best || v->bandwidth > best->bandwidth)) best = v;
    }
    return best ? best : lowest;
}

}  // namespace

std::string pickAudioPlaylist(const Playlist& master, long long cap) {
    if (!master.audio.empty()) {
        auto chosen = std::find_if(master.audio.begin(), master.audio.end(), [](auto& r) { return r.isDefault; });
        return chosen != master.audio.end() ? chosen->url : master.audio.front().url;
    }
    std::vector<const Variant*> audio, all;
    for (const Variant& v : master.variants) {
        all.push_back(&v);
        if (audioOnly(v)) audio.push_back(&v);
    }
    const Variant* chosen = pickByBandwidth(audio.empty() ? all : audio, cap);
    return chosen ? chosen->url : std::string();
}

}  // namespace hls
