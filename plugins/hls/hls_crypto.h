// AES-128 segments (#EXT-X-KEY METHOD=AES-128): CBC over the whole segment
// with PKCS#7 padding, on libavutil's AES.
#pragma once

#include <array>
#include <vector>

namespace hls {

using AesBlock = std::array<unsigned char, 16>;

// Decrypts in place; false when the bytes are no whole number of blocks or
// their padding is wrong (a wrong key, or a segment that is not encrypted).
bool decryptAes128(std::vector<unsigned char>& bytes, const AesBlock& key, const AesBlock& iv);

// The IV of a segment whose key names none: its media sequence number,
// big-endian.
AesBlock sequenceIv(long long sequence);

}  // namespace hls
