// The ADTS header that makes a raw AAC frame (as fMP4 carries it) a frame
// of an .aac file, from the stream's AudioSpecificConfig.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace hls {

struct AdtsConfig {
    int profile = 1;    // the core object type - 1 (1: AAC-LC)
    int rateIndex = 4;  // of the core (SBR is implicit in ADTS)
    int channelConfig = 2;
};

// Null when the config is not one ADTS can say (more than 7 channels in a
// program config, an escape rate, a main profile beyond 4).
std::optional<AdtsConfig> adtsConfig(const unsigned char* asc, size_t size);

// The 7-byte header of a frame of payloadSize bytes; null when too large.
std::optional<std::array<unsigned char, 7>> adtsHeader(const AdtsConfig& config, size_t payloadSize);

// True when data starts with an ADTS sync word (the frame has its header).
bool startsWithAdts(const unsigned char* data, size_t size);

}  // namespace hls
