#include "plugins/hls/hls_adts.h"

namespace hls {
namespace {

class Bits {
public:
    Bits(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    // -1 once past the end.
    int read(int count) {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (at_ >= size_ * 8) return -1;
            value = (value << 1) | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1);
            ++at_;
        }
        return value;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t at_ = 0;
};

int objectType(Bits& bits) {
    int type = bits.read(5);
    return type == 31 ? 32 + bits.read(6) : type;
}

constexpr int kSbr = 5, kPs = 29;
constexpr size_t kMaxFrame = 0x1FFF;  // 13 bits of length, header included

}  // namespace

std::optional<AdtsConfig> adtsConfig(const unsigned char* asc, size_t size) {
    Bits bits(asc, size);
    int type = objectType(bits);
    int rate = bits.read(4);
    if (rate == 15) return std::nullopt;  // an explicit rate ADTS cannot name
    int channels = bits.read(4);
    if (type == kSbr || type == kPs) {  // the core follows the extension rate
        int extension = bits.read(4);
        if (extension == 15) bits.read(24);
        type = objectType(bits);
    }
    if (type < 1 || type > 4 || rate < 0 || rate > 12 || channels < 1 || channels > 7) return std::nullopt;
    return AdtsConfig{type - 1, rate, channels};
}

std::optional<std::array<unsigned char, 7>> adtsHeader(const AdtsConfig& c, size_t payloadSize) {
    size_t length = payloadSize + 7;
    if (length > kMaxFrame) return std::nullopt;
    std::array<unsigned char, 7> h{};
    h[0] = 0xFF;
    h[1] = 0xF1;  // MPEG-4, layer 0, no CRC
    h[2] = static_cast<unsigned char>((c.profile << 6) | (c.rateIndex << 2) | (c.channelConfig >> 2));
    h[3] = static_cast<unsigned char>(((c.channelConfig & 3) << 6) | (length >> 11));
    h[4] = static_cast<unsigned char>((length >> 3) & 0xFF);
    h[5] = static_cast<unsigned char>(((length & 7) << 5) | 0x1F);  // buffer fullness: variable
    h[6] = 0xFC;
    return h;
}

bool startsWithAdts(const unsigned char* data, size_t size) {
    return size >= 7 && data[0] == 0xFF && (data[1] & 0xF6) == 0xF0;
}

}  // namespace hls
