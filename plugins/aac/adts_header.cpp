#include "plugins/aac/adts_header.h"

namespace aac {
namespace {

constexpr int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

}  // namespace

bool parseAdtsHeader(const unsigned char* p, AdtsHeader& out) {
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return false;  // sync word, layer 0
    int rateIndex = (p[2] >> 2) & 0x0F;
    if (rateIndex >= 13) return false;
    out.profile = p[2] >> 6;
    out.rateIndex = rateIndex;
    out.rate = kRates[rateIndex];
    out.channelConfig = ((p[2] & 0x01) << 2) | (p[3] >> 6);
    out.headerSize = (p[1] & 0x01) ? 7 : 9;  // protection_absent clear: a CRC follows
    out.frameSize = (size_t(p[3] & 0x03) << 11) | (size_t(p[4]) << 3) | (p[5] >> 5);
    return out.frameSize > out.headerSize;
}

bool sameAdtsStream(const AdtsHeader& a, const AdtsHeader& b) {
    return a.profile == b.profile && a.rateIndex == b.rateIndex && a.channelConfig == b.channelConfig;
}

size_t findAdtsFrames(const unsigned char* data, size_t size) {
    for (size_t i = 0; i + kAdtsHeaderSize <= size; ++i) {
        AdtsHeader first, second;
        if (!parseAdtsHeader(data + i, first)) continue;
        size_t next = i + first.frameSize;
        if (next + kAdtsHeaderSize <= size && parseAdtsHeader(data + next, second) && sameAdtsStream(first, second))
            return i;
    }
    return size;
}

}  // namespace aac
