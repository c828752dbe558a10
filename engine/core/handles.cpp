#include "engine/core/handles.h"

#include <atomic>

namespace engine {

uint32_t newHandle() {
    // Starts away from small numbers so a count or an index passed by mistake
    // is refused as a handle.
    static std::atomic<uint32_t> next{0x10000};
    for (;;) {
        uint32_t handle = next.fetch_add(1, std::memory_order_relaxed);
        if (handle != 0 && handle != 0xFFFFFFFFu) return handle;
    }
}

}  // namespace engine
