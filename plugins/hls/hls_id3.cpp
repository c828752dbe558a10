#include "plugins/hls/hls_id3.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace hls {
namespace {

constexpr size_t kHeader = 10;
constexpr std::string_view kIcyMark = "StreamTitle='";

size_t syncsafe(const unsigned char* p) {
    return (size_t(p[0] & 0x7f) << 21) | (size_t(p[1] & 0x7f) << 14) | (size_t(p[2] & 0x7f) << 7) | size_t(p[3] & 0x7f);
}

size_t bigEndian(const unsigned char* p) {
    return (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | size_t(p[3]);
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

std::string fromUtf16(std::string_view bytes, bool bigEndianOrder) {
    if (bytes.size() >= 2) {
        auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            bigEndianOrder = b0 == 0xFE;
            bytes.remove_prefix(2);
        }
    }
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto hi = static_cast<unsigned char>(bytes[i + (bigEndianOrder ? 0 : 1)]);
        auto lo = static_cast<unsigned char>(bytes[i + (bigEndianOrder ? 1 : 0)]);
        unsigned unit = (unsigned(hi) << 8) | lo;
        if (unit == 0) break;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            auto hi2 = static_cast<unsigned char>(bytes[i + 2 + (bigEndianOrder ? 0 : 1)]);
            auto lo2 = static_cast<unsigned char>(bytes[i + 2 + (bigEndianOrder ? 1 : 0)]);
            unsigned low = (unsigned(hi2) << 8) | lo2;
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
        appendUtf8(out, unit);
    }
    return out;
}

// A text in one of ID3's four encodings, up to its NUL, as UTF-8.
std::string decodeText(unsigned char encoding, std::string_view bytes) {
    if (encoding == 1 || encoding == 2) return fromUtf16(bytes, encoding == 2);
    bytes = bytes.substr(0, bytes.find('\0'));
    if (encoding == 3) return std::string(bytes);
    std::string out;
    for (char c : bytes) appendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

// Where the text after a terminated string begins (the NUL is one byte, or
// two aligned ones in UTF-16).
size_t afterTerminator(unsigned char encoding, std::string_view bytes) {
    if (encoding == 1 || encoding == 2) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            if (bytes[i] == 0 && bytes[i + 1] == 0) return i + 2;
        return bytes.size();
    }
    size_t nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes.size() : nul + 1;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct Found {
    std::string icy, artist, title, txxxArtist, txxxTitle;
};

// An ICY text inside a value: from its marker to the end.
void takeIcy(Found& found, std::string_view value) {
    size_t at = value.find(kIcyMark);
    if (at != std::string_view::npos && found.icy.empty()) found.icy = std::string(value.substr(at));
}

void readFrame(Found& found, std::string_view id, std::string_view body) {
    if (body.empty()) return;
    auto encoding = static_cast<unsigned char>(body[0]);
    std::string_view rest = body.substr(1);
    if (id == "TIT2") {
        found.title = decodeText(encoding, rest);
    } else if (id == "TPE1") {
        found.artist = decodeText(encoding, rest);
    } else if (id == "TXXX") {
        size_t split = afterTerminator(encoding, rest);
        std::string description = decodeText(encoding, rest.substr(0, split));
        std::string value = decodeText(encoding, rest.substr(split));
        takeIcy(found, value);
        if (equalsNoCase(description, "title")) found.txxxTitle = value;
        if (equalsNoCase(description, "artist")) found.txxxArtist = value;
    } else if (id == "PRIV") {
        size_t owner = body.find('\0');
        if (owner != std::string_view::npos) takeIcy(found, body.substr(owner + 1));
    }
}

std::string icyText(const Found& f) {
    if (!f.icy.empty()) {
        std::string text = f.icy.substr(0, f.icy.find('\0'));
        return text;
    }
    std::string title = f.title.empty() ? f.txxxTitle : f.title;
    std::string artist = f.artist.empty() ? f.txxxArtist : f.artist;
    if (title.empty()) return {};
    return "StreamTitle='" + (artist.empty() ? title : artist + " - " + title) + "';";
}

}  // namespace

size_t id3TagSize(const unsigned char* data, size_t size) {
    if (size < kHeader || std::memcmp(data, "ID3", 3) != 0 || data[3] == 0xFF || data[4] == 0xFF) return 0;
    if ((data[6] | data[7] | data[8] | data[9]) & 0x80) return 0;
    size_t footer = (data[5] & 0x10) ? kHeader : 0;
    return kHeader + syncsafe(data + 6) + footer;
}

std::string id3Title(const unsigned char* data, size_t size) {
    size_t tag = id3TagSize(data, size);
    if (tag == 0 || data[3] < 3 || data[3] > 4) return {};
    size_t end = std::min(size, tag - ((data[5] & 0x10) ? kHeader : 0));
    size_t at = kHeader;
    if ((data[5] & 0x40) && at + 4 <= end)  // an extended header first
        at += data[3] == 4 ? syncsafe(data + at) : bigEndian(data + at) + 4;
    Found found;
    while (at + kHeader <= end && data[at] != 0) {
        std::string_view id(reinterpret_cast<const char*>(data + at), 4);
        size_t length = data[3] == 4 ? syncsafe(data + at + 4) : bigEndian(data + at + 4);
        at += kHeader;
        if (length > end - at) break;
        readFrame(found, id, std::string_view(reinterpret_cast<const char*>(data + at), length));
        at += length;
    }
    return icyText(found);
}

}  // namespace hls
