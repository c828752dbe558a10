#include "engine/source/source_table.h"

#include <mutex>

namespace engine::source {
namespace {

struct Table {
    std::mutex mutex;  // a leaf lock
    std::vector<SourceKind> kinds;  // guarded by mutex
};

// Never destroyed: download threads may look while the process exits.
Table& table() {
    static auto* t = new Table;
    return *t;
}

}  // namespace

void registerSource(const SourceKind& kind) {
    std::lock_guard lock(table().mutex);
    table().kinds.push_back(kind);
}

std::vector<SourceKind> sourceKinds() {
    std::lock_guard lock(table().mutex);
    return table().kinds;
}

}  // namespace engine::source
