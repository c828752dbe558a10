// Small text tests the engine's parsers share (headers, playlists, URLs,
// the format probe). ASCII letter case only: these are protocol words.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace engine {

inline char lowerAscii(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// A URL as a station file holds it may end in LF or CR LF: neither is part
// of the address.
inline std::string withoutLineEnd(std::string url) {
    while (!url.empty() && (url.back() == '\n' || url.back() == '\r')) url.pop_back();
    return url;
}

}  // namespace engine
