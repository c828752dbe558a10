// The formats the engine plays by itself: MP3 (and MPEG layers I and II) and
// Ogg Vorbis, entered in the decoder table like any plug-in's.
#include <algorithm>
#include <cstring>

#include "engine/bass.h"
#include "engine/decode/decoder_table.h"
#include "engine/decode/mpeg_header.h"

namespace engine::decode {
namespace {

// Two consecutive frame headers of one stream.
std::optional<size_t> findMpegFrames(const unsigned char* data, size_t size) {
    for (size_t i = 0; i + 4 <= size; ++i) {
        MpegHeader first;
        if (!parseMpegHeader(data + i, first)) continue;
        size_t next = i + static_cast<size_t>(first.frameLength);
        MpegHeader second;
        if (next + 4 <= size && parseMpegHeader(data + next, second) && sameMpegStream(first, second)) return i;
    }
    return std::nullopt;
}

bool isId3v2(const unsigned char* data, size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return false;
    if (data[3] == 0xFF || data[4] == 0xFF) return false;
    return std::all_of(data + 6, data + 10, [](unsigned char c) { return c < 0x80; });
}

std::optional<ProbeHit> probeMp3(const unsigned char* data, size_t size) {
    if (auto at = findMpegFrames(data, size)) return ProbeHit{*at, false};
    if (isId3v2(data, size)) return ProbeHit{0, true};
    return std::nullopt;
}

// The first page of a Vorbis logical stream: "OggS", version 0, the
// beginning-of-stream flag and a packet that starts with "\x01vorbis".
std::optional<ProbeHit> probeVorbis(const unsigned char* data, size_t size) {
    static constexpr unsigned char kCapture[4] = {'O', 'g', 'g', 'S'};
    static constexpr unsigned char kVorbisId[7] = {1, 'v', 'o', 'r', 'b', 'i', 's'};
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (std::memcmp(data + i, kCapture, 4) != 0) continue;
        if (i + 27 > size || data[i + 4] != 0 || (data[i + 5] & 2) == 0) continue;
        size_t body = i + 27 + data[i + 26];
        if (data[i + 26] > 0 && body + sizeof kVorbisId <= size &&
            std::memcmp(data + body, kVorbisId, sizeof kVorbisId) == 0)
            return ProbeHit{i, false};
    }
    return std::nullopt;
}

}  // namespace

std::vector<KindPtr> builtinDecoderKinds() {
    static const std::vector<KindPtr> kinds = [] {
        auto mp3 = std::make_shared<DecoderKind>();
        mp3->ctype = BASS_CTYPE_STREAM_MP3;
        mp3->name = "MP3";
        mp3->contentTypes = {"audio/mpeg", "audio/mp3", "audio/x-mpeg", "audio/mpg", "audio/x-mp3"};
        mp3->probe = probeMp3;
        mp3->make = makeMp3Decoder;
        auto vorbis = std::make_shared<DecoderKind>();
        vorbis->ctype = BASS_CTYPE_STREAM_OGG;
        vorbis->name = "Ogg Vorbis";
        vorbis->contentTypes = {"application/ogg", "audio/ogg", "audio/x-ogg", "audio/vorbis", "application/x-ogg"};
        vorbis->hasComments = true;
        vorbis->probe = probeVorbis;
        vorbis->make = makeVorbisDecoder;
        return std::vector<KindPtr>{mp3, vorbis};
    }();
    return kinds;
}

}  // namespace engine::decode
