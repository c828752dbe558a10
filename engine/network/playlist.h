// Radio playlists (PLS and M3U): recognising one and reading its entries.
// Pure functions; safe on any input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace engine::net {

// Bytes of a playlist body worth reading; real ones are a few hundred.
inline constexpr size_t kMaxPlaylistBytes = 64 * 1024;
// Entries kept from one playlist.
inline constexpr size_t kMaxPlaylistEntries = 64;

// True when the media type (lower-case, no parameters) names a playlist, or
// when it names no audio type and the URL's path ends in .pls, .m3u or .m3u8.
// An audio type wins over the extension: a server that sends audio/mpeg for
// "x.m3u" is streaming, whatever the name says.
bool isPlaylist(std::string_view mediaType, std::string_view url);

// An HLS playlist: announced by Apple's own media type, or carrying the
// "#EXT-X-" tags every HLS playlist has and no plain radio playlist does. Its
// entries are segments or variants, never a station: the first-entry rule
// must not play one.
bool isHlsPlaylist(std::string_view mediaType, std::string_view body);

// The entries in play order (PLS by FileN number, M3U by line), each resolved
// against baseUrl, at most kMaxPlaylistEntries.
std::vector<std::string> parsePlaylist(std::string_view body, const std::string& baseUrl);

// ref resolved against base as a browser would ("a.mp3", "/x", "//host/x",
// "../x"); ref unchanged when it is absolute or cannot be resolved.
std::string resolveUrl(const std::string& base, const std::string& ref);

}  // namespace engine::net
