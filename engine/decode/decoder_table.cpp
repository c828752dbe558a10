#include "engine/decode/decoder_table.h"

#include <mutex>

namespace engine::decode {
namespace {

struct Table {
    std::mutex mutex;                                    // a leaf lock
    std::vector<KindPtr> kinds = builtinDecoderKinds();  // guarded by mutex
};

// Never destroyed: download threads may probe while the process exits.
Table& table() {
    static auto* t = new Table;
    return *t;
}

}  // namespace

void registerDecoder(KindPtr kind) {
    std::lock_guard lock(table().mutex);
    table().kinds.push_back(std::move(kind));
}

std::vector<KindPtr> decoderKinds() {
    std::lock_guard lock(table().mutex);
    return table().kinds;
}

}  // namespace engine::decode
