#include "engine/source/source_table.h"

#include "base/thread_safety.h"

namespace engine::source {
namespace {

struct Table {
    Mutex mutex;  // a leaf lock
    std::vector<SourceKind> kinds GUARDED_BY(mutex);
};

// Never destroyed: download threads may look while the process exits.
Table& table() {
    static auto* t = new Table;
    return *t;
}

}  // namespace

void registerSource(const SourceKind& kind) {
    MutexLock lock(table().mutex);
    table().kinds.push_back(kind);
}

std::vector<SourceKind> sourceKinds() {
    MutexLock lock(table().mutex);
    return table().kinds;
}

}  // namespace engine::source
