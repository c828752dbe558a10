#include "plugins/hls/hls_crypto.h"

extern "C" {
#include <libavutil/aes.h>
#include <libavutil/mem.h>
}

#include <memory>

namespace hls {
namespace {

struct AesDeleter {
    void operator()(AVAES* aes) const { av_free(aes); }
};

constexpr size_t kBlock = 16;

}  // namespace

bool decryptAes128(std::vector<unsigned char>& bytes, const AesBlock& key, const AesBlock& iv) {
    if (bytes.empty() || bytes.size() % kBlock != 0) return false;
    std::unique_ptr<AVAES, AesDeleter> aes(av_aes_alloc());
    if (!aes || av_aes_init(aes.get(), key.data(), 128, 1) != 0) return false;
    AesBlock chain = iv;
    av_aes_crypt(aes.get(), bytes.data(), bytes.data(), int(bytes.size() / kBlock), chain.data(), 1);
    unsigned pad = bytes.back();
    if (pad == 0 || pad > kBlock) return false;
    for (size_t i = bytes.size() - pad; i < bytes.size(); ++i)
        if (bytes[i] != pad) return false;
    bytes.resize(bytes.size() - pad);
    return true;
}

AesBlock sequenceIv(long long sequence) {
    AesBlock iv{};
    auto value = static_cast<unsigned long long>(sequence);
    for (int i = 15; i >= 8; --i, value >>= 8) iv[size_t(i)] = static_cast<unsigned char>(value & 0xFF);
    return iv;
}

}  // namespace hls
