#include "recording/ogg_pages.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kPageHeader = 27;
// A comment header larger than this (cover art) is not kept for naming.
constexpr size_t kMaxPacket = 1 << 20;
// Header pages larger than this together are not kept: a piece started in
// the middle of such a song goes without them.
constexpr size_t kMaxHeaders = 1 << 20;

const char kCapture[] = "OggS";

size_t findCapture(const std::string& bytes, size_t from) {
    return bytes.find(kCapture, from, 4);
}

// The whole page's length at `at`, 0 while it is not all there, npos when
// the bytes there are no page header.
size_t pageLength(const std::string& bytes, size_t at) {
    size_t have = bytes.size() - at;
    if (have < kPageHeader) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    if (p[4] != 0) return std::string::npos;
    size_t segments = p[26];
    if (have < kPageHeader + segments) return 0;
    size_t length = kPageHeader + segments;
    for (size_t i = 0; i < segments; ++i) length += p[kPageHeader + i];
    return have < length ? 0 : length;
}

uint32_t readLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool startsWithNoCase(const char* text, size_t size, const char* prefix) {
    size_t n = std::strlen(prefix);
    return size >= n && strncasecmp(text, prefix, n) == 0;
}

}  // namespace

std::vector<OggPiece> OggPageSplitter::feed(const unsigned char* data, size_t size) {
    held_.append(reinterpret_cast<const char*>(data), size);
    std::vector<OggPiece> pieces;
    auto onPiece = [&](size_t at, size_t length, bool page) {
        bool bos = page && (static_cast<unsigned char>(held_[at + 5]) & 0x02) != 0;
        pieces.push_back({held_.substr(at, length), page, bos});
    };
    size_t at = 0;
    while (at < held_.size()) {
        size_t capture = findCapture(held_, at);
        if (capture != at) {
            // Not a page: up to the next capture pattern, or all but the
            // last three bytes, which may begin one.
            size_t end =
                capture != std::string::npos ? capture : std::max(at, held_.size() - std::min<size_t>(3, held_.size()));
            if (end == at) break;
            onPiece(at, end - at, false);
            at = end;
            continue;
        }
        size_t length = pageLength(held_, at);
        if (length == 0) break;
        if (length == std::string::npos) {
            onPiece(at, 1, false);
            at += 1;
            continue;
        }
        onPiece(at, length, true);
        at += length;
    }
    held_.erase(0, at);
    return pieces;
}

std::string OggPageSplitter::takeHeld() {
    std::string held;
    held.swap(held_);
    return held;
}

void OggLink::start(const OggPiece& bos) {
    *this = OggLink();
    started_ = true;
    size_t segments = static_cast<unsigned char>(bos.bytes[26]);
    const char* packet = bos.bytes.data() + kPageHeader + segments;
    size_t size = bos.bytes.size() - kPageHeader - segments;
    opus_ = size >= 8 && std::memcmp(packet, "OpusHead", 8) == 0;
    bool vorbis = size >= 7 && std::memcmp(packet, "\x01vorbis", 7) == 0;
    // Identification and comments, and for Vorbis the setup header; another
    // codec's headers are not known here: its first page is kept alone.
    packetsNeeded_ = opus_ ? 2 : vorbis ? 3 : 1;
}

void OggLink::add(const OggPiece& page) {
    if (!started_ || headersDone() || !page.page) return;
    if (headers_.size() + page.bytes.size() <= kMaxHeaders)
        headers_ += page.bytes;
    else
        headers_.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(page.bytes.data());
    size_t segments = p[26];
    const unsigned char* body = p + kPageHeader + segments;
    for (size_t i = 0; i < segments && !headersDone(); ++i) {
        size_t lace = p[kPageHeader + i];
        addPacketBytes(body, lace, lace < 255);
        body += lace;
    }
}

void OggLink::addPacketBytes(const unsigned char* data, size_t size, bool ends) {
    if (packetsDone_ == 1 && packet_.size() + size <= kMaxPacket)
        packet_.append(reinterpret_cast<const char*>(data), size);
    if (!ends) return;
    if (packetsDone_ == 1) comments_.swap(packet_);
    packet_.clear();
    ++packetsDone_;
}

std::string OggLink::titleText() const {
    size_t magic = opus_ ? 8 : 7;
    const auto* p = reinterpret_cast<const unsigned char*>(comments_.data());
    size_t size = comments_.size();
    if (size < magic + 4) return "";
    size_t at = magic + 4 + readLe32(p + magic);
    if (at < magic + 4 || at + 4 > size) return "";
    uint32_t count = readLe32(p + at);
    at += 4;
    std::string artist;
    std::string title;
    for (uint32_t i = 0; i < count && at + 4 <= size; ++i) {
        size_t length = readLe32(p + at);
        at += 4;
        if (length > size - at) break;
        const char* text = comments_.data() + at;
        if (startsWithNoCase(text, length, "artist="))
            artist.assign(text + 7, length - 7);
        else if (startsWithNoCase(text, length, "title="))
            title.assign(text + 6, length - 6);
        at += length;
    }
    if (!artist.empty() && !title.empty()) return artist + " - " + title;
    return title.empty() ? artist : title;
}
