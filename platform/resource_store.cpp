#include "platform/resource_store.h"

#include <map>

#include "base/thread_safety.h"

namespace platform {

namespace {

// lock is a leaf: nothing else is taken while it is held.
struct Store {
    Mutex lock;
    std::map<int, const DialogTemplate*> templates GUARDED_BY(lock);
    std::map<int, QImage> icons GUARDED_BY(lock);
};

Store& store() {
    static auto* s = new Store;
    return *s;
}

// HICON values are tokens: this offset plus the icon's id.
constexpr uintptr_t kIconTokenBase = 0x10000;

}  // namespace

void registerDialogTemplate(const DialogTemplate* t) {
    MutexLock guard(store().lock);
    store().templates[t->id] = t;
}

void registerIcon(int id, int width, int height, const uint32_t* argb) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        std::copy(argb + y * width, argb + (y + 1) * width, row);
    }
    MutexLock guard(store().lock);
    store().icons[id] = image;
}

namespace detail {

const DialogTemplate* findDialogTemplate(LPCSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    MutexLock guard(store().lock);
    auto it = store().templates.find(static_cast<int>(reinterpret_cast<uintptr_t>(name)));
    return it == store().templates.end() ? nullptr : it->second;
}

QImage iconImage(HICON icon) {
    const auto token = reinterpret_cast<uintptr_t>(icon);
    if (token <= kIconTokenBase || token > kIconTokenBase + 0xFFFF) return {};
    MutexLock guard(store().lock);
    auto it = store().icons.find(static_cast<int>(token - kIconTokenBase));
    return it == store().icons.end() ? QImage() : it->second;
}

}  // namespace detail

}  // namespace platform

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    using namespace platform;
    if (!IS_INTRESOURCE(name) || !name) return nullptr;
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    MutexLock guard(store().lock);
    if (!store().icons.count(id)) return nullptr;
    return reinterpret_cast<HICON>(kIconTokenBase + id);
}
