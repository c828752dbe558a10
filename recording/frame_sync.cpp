#include "recording/frame_sync.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderBytes = 7;  // ADTS's header; MPEG audio's is 4

// kbps by [MPEG-1?][layer 1..3][index]; index 0 (free format) and 15 are refused.
constexpr unsigned kBitrates[2][3][15] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
};
constexpr unsigned kRates[3] = {44100, 48000, 32000};

FrameHeader parseAdts(const unsigned char* p) {
    FrameHeader header;
    unsigned rateIndex = (p[2] >> 2) & 0x0F;
    size_t length = (size_t(p[3] & 0x03) << 11) | (size_t(p[4]) << 3) | (p[5] >> 5);
    size_t headerLength = (p[1] & 0x01) ? 7 : 9;
    if (rateIndex > 12 || length <= headerLength) return header;
    header.length = length;
    header.adts = true;
    header.layout = (unsigned(p[1]) << 8 | (p[2] & 0xFC)) & 0x0FFC;
    return header;
}

FrameHeader parseMpeg(const unsigned char* p) {
    FrameHeader header;
    unsigned version = (p[1] >> 3) & 0x03;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    unsigned layer = 4 - ((p[1] >> 1) & 0x03);
    unsigned bitrateIndex = p[2] >> 4;
    unsigned rateIndex = (p[2] >> 2) & 0x03;
    if (version == 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return header;
    bool mpeg1 = version == 3;
    unsigned rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    unsigned bitrate = kBitrates[mpeg1][layer - 1][bitrateIndex] * 1000;
    unsigned padding = (p[2] >> 1) & 0x01;
    if (layer == 1)
        header.length = (12 * bitrate / rate + padding) * 4;
    else
        header.length = (layer == 3 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
    header.layout = (unsigned(p[1]) << 8 | (p[2] & 0x0C)) & 0xFFFE;
    return header;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return b.length > 0 && a.adts == b.adts && a.layout == b.layout;
}

}  // namespace

FrameHeader parseFrameHeader(const unsigned char* data, size_t size) {
    if (size < kHeaderBytes || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return {};
    unsigned layerBits = (data[1] >> 1) & 0x03;
    if (layerBits == 0) return (data[1] & 0xF0) == 0xF0 ? parseAdts(data) : FrameHeader{};
    return parseMpeg(data);
}

size_t findFrameSync(const unsigned char* data, size_t size) {
    // A frame whose follower lies past the bytes is taken only when no
    // confirmed one is found: a sync pattern inside audio data is common.
    size_t unconfirmed = size;
    for (size_t i = 0; i + kHeaderBytes <= size; ++i) {
        FrameHeader header = parseFrameHeader(data + i, size - i);
        if (header.length == 0) continue;
        size_t next = i + header.length;
        if (next + kHeaderBytes > size)
            unconfirmed = std::min(unconfirmed, i);
        else if (sameStream(header, parseFrameHeader(data + next, size - next)))
            return i;
    }
    return unconfirmed;
}

std::string frameExtension(const FrameHeader& header) {
    return header.adts ? "aac" : "mp3";
}
