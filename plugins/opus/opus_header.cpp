#include "plugins/opus/opus_header.h"

#include <cstdint>
#include <cstring>

namespace opus {
namespace {

constexpr size_t kHeadSize = 19;  // family 0; others add a channel table
constexpr size_t kPageHeaderSize = 27;
// More comments than any real stream has: a count beyond is a broken header.
constexpr uint32_t kMaxComments = 10000;

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int le16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

// The channel table of families other than 0: stream counts, then one
// entry per channel naming a decoded channel or 255 (silence).
bool validMapping(const unsigned char* packet, size_t size, int channels) {
    if (size < kHeadSize + 2 + size_t(channels)) return false;
    int streams = packet[19];
    int coupled = packet[20];
    if (streams < 1 || coupled > streams || streams + coupled > 255) return false;
    for (int i = 0; i < channels; ++i) {
        int entry = packet[21 + i];
        if (entry != 255 && entry >= streams + coupled) return false;
    }
    return true;
}

}  // namespace

bool parseOpusHead(const unsigned char* packet, size_t size, OpusHead& out) {
    if (size < kHeadSize || std::memcmp(packet, "OpusHead", 8) != 0) return false;
    if ((packet[8] & 0xF0) != 0) return false;  // a major version we do not know
    out.channels = packet[9];
    out.preSkip = le16(packet + 10);
    out.inputRate = long(le32(packet + 12));
    out.mappingFamily = packet[18];
    if (out.channels < 1) return false;
    if (out.mappingFamily == 0) return out.channels <= 2;
    if (out.mappingFamily == 1 && out.channels > 8) return false;
    return validMapping(packet, size, out.channels);
}

bool parseOpusTags(const unsigned char* packet, size_t size, std::vector<std::string>& comments) {
    comments.clear();
    if (size < 16 || std::memcmp(packet, "OpusTags", 8) != 0) return false;
    size_t at = 8;
    uint32_t vendor = le32(packet + at);
    if (vendor > size - at - 8) return false;  // its text, then the count
    at += 4 + vendor;
    uint32_t count = le32(packet + at);
    at += 4;
    if (count > kMaxComments) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < 4) return false;
        uint32_t length = le32(packet + at);
        at += 4;
        if (length > size - at) return false;
        comments.emplace_back(reinterpret_cast<const char*>(packet + at), length);
        at += length;
    }
    return true;
}

size_t findOpusStream(const unsigned char* data, size_t size) {
    for (size_t i = 0; i + kPageHeaderSize <= size; ++i) {
        const unsigned char* page = data + i;
        if (std::memcmp(page, "OggS", 4) != 0 || page[4] != 0 || (page[5] & 0x02) == 0) continue;
        size_t segments = page[26];
        if (segments == 0 || i + kPageHeaderSize + segments > size) continue;
        // The first packet: its lacing values up to the first below 255.
        size_t packet = 0, s = 0;
        while (s < segments && page[kPageHeaderSize + s] == 255) packet += page[kPageHeaderSize + s++];
        if (s == segments) continue;  // a header packet never spans pages
        packet += page[kPageHeaderSize + s];
        size_t body = i + kPageHeaderSize + segments;
        OpusHead head;
        if (packet <= size - body && parseOpusHead(data + body, packet, head)) return i;
    }
    return size;
}

}  // namespace opus
