#include "engine/decode/mpeg_header.h"

namespace engine::decode {
namespace {

// kbit/s by [MPEG 1 or not][layer - 1][index]; index 0 (free) and 15 are refused.
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

int frameLength(int version, int layer, int bitrate, int rate, int padding) {
    if (layer == 1) return (12 * bitrate / rate + padding) * 4;
    // MPEG 2 and 2.5 layer III frames hold half as many samples.
    int factor = (layer == 3 && version != 10) ? 72 : 144;
    return factor * bitrate / rate + padding;
}

}  // namespace

bool parseMpegHeader(const unsigned char* p, MpegHeader& out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int versionBits = (p[1] >> 3) & 3;
    int layerBits = (p[1] >> 1) & 3;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (p[3] & 3) == 2)
        return false;
    MpegHeader h;
    h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    h.layer = 4 - layerBits;
    bool mpeg1 = h.version == 10;
    h.bitrate = kBitrates[mpeg1 ? 0 : 1][h.layer - 1][bitrateIndex] * 1000;
    h.rate = kMpeg1Rates[rateIndex] / (mpeg1 ? 1 : h.version == 20 ? 2 : 4);
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.frameLength = frameLength(h.version, h.layer, h.bitrate, h.rate, (p[2] >> 1) & 1);
    out = h;
    return true;
}

bool sameMpegStream(const MpegHeader& a, const MpegHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

}  // namespace engine::decode
