#include "engine/network/playlist.h"

#include <curl/curl.h>

#include "engine/core/text_match.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <optional>

namespace engine::net {
namespace {

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && startsWithNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Binary noise is never a URL; skipping such lines keeps a mislabelled audio
// stream from turning into dozens of hopeless connection attempts.
bool hasControlChars(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7f;
    });
}

std::vector<std::string_view> textLines(std::string_view body) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        size_t end = body.find('\n');
        std::string_view line = trim(body.substr(0, end));
        if (!line.empty() && !hasControlChars(line)) lines.push_back(line);
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    }
    return lines;
}

struct PlsEntry {
    long number;
    std::string_view url;
};

// "File12=http://..." -> {12, "http://..."}.
std::optional<PlsEntry> plsEntry(std::string_view line) {
    if (!startsWithNoCase(line, "file")) return std::nullopt;
    size_t pos = 4;
    long number = 0;
    while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos])) && pos < 13)
        number = number * 10 + (line[pos++] - '0');
    if (pos == 4 || pos >= line.size() || line[pos] != '=') return std::nullopt;
    return PlsEntry{number, trim(line.substr(pos + 1))};
}

bool isPls(const std::vector<std::string_view>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
        return startsWithNoCase(line, "[playlist]") || plsEntry(line).has_value();
    });
}

std::vector<std::string_view> plsUrls(const std::vector<std::string_view>& lines) {
    std::vector<PlsEntry> entries;
    for (std::string_view line : lines)
        if (auto entry = plsEntry(line); entry && !entry->url.empty()) entries.push_back(*entry);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PlsEntry& a, const PlsEntry& b) { return a.number < b.number; });
    std::vector<std::string_view> urls;
    for (const PlsEntry& entry : entries) urls.push_back(entry.url);
    return urls;
}

std::vector<std::string_view> m3uUrls(const std::vector<std::string_view>& lines) {
    std::vector<std::string_view> urls;
    for (std::string_view line : lines)
        if (line.front() != '#') urls.push_back(line);
    return urls;
}

std::string_view urlPath(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return url;
    std::string_view rest = url.substr(scheme + 3);
    size_t slash = rest.find('/');
    return slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
}

struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

}  // namespace

bool isPlaylist(std::string_view mediaType, std::string_view url) {
    static constexpr std::array<std::string_view, 9> playlistTypes = {
        "audio/x-scpls", "audio/scpls",           "application/pls+xml",           "audio/x-mpegurl",
        "audio/mpegurl", "application/x-mpegurl", "application/vnd.apple.mpegurl", "audio/x-m3u",
        "audio/m3u"};
    if (std::find(playlistTypes.begin(), playlistTypes.end(), mediaType) != playlistTypes.end()) return true;
    if (startsWithNoCase(mediaType, "audio/") || startsWithNoCase(mediaType, "video/") ||
        mediaType == "application/ogg")
        return false;
    std::string_view path = urlPath(url);
    return endsWithNoCase(path, ".pls") || endsWithNoCase(path, ".m3u") || endsWithNoCase(path, ".m3u8");
}

bool isHlsPlaylist(std::string_view mediaType, std::string_view body) {
    if (mediaType == "application/vnd.apple.mpegurl") return true;
    for (std::string_view line : textLines(body))
        if (line.starts_with("#EXT-X-")) return true;
    return false;
}

std::vector<std::string> parsePlaylist(std::string_view body, const std::string& baseUrl) {
    std::vector<std::string_view> lines = textLines(body);
    std::vector<std::string_view> urls = isPls(lines) ? plsUrls(lines) : m3uUrls(lines);
    if (urls.size() > kMaxPlaylistEntries) urls.resize(kMaxPlaylistEntries);
    std::vector<std::string> entries;
    for (std::string_view url : urls) entries.push_back(resolveUrl(baseUrl, std::string(url)));
    return entries;
}

std::string resolveUrl(const std::string& base, const std::string& ref) {
    std::unique_ptr<CURLU, CurlUrlDeleter> url(curl_url());
    if (!url) return ref;
    if (curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return ref;
    if (curl_url_set(url.get(), CURLUPART_URL, ref.c_str(), CURLU_URLENCODE) != CURLUE_OK) return ref;
    char* resolved = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK || !resolved) return ref;
    std::string result(resolved);
    curl_free(resolved);
    return result;
}

}  // namespace engine::net
