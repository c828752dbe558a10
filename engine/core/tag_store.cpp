#include "engine/core/tag_store.h"

#include <deque>
#include <utility>

namespace engine {

namespace {

constexpr size_t kRetiredBlocks = 256;

// Never destroyed: a reader may hold a pointer while the process exits.
std::mutex* const retiredMutex = new std::mutex;
auto* const retired = new std::deque<std::shared_ptr<const std::string>>;

void retire(std::shared_ptr<const std::string> block) {
    std::shared_ptr<const std::string> oldest;  // freed outside the lock
    std::lock_guard lock(*retiredMutex);
    retired->push_back(std::move(block));
    if (retired->size() > kRetiredBlocks) {
        oldest = std::move(retired->front());
        retired->pop_front();
    }
}

}  // namespace

std::string textList(const std::vector<std::string>& texts) {
    std::string block;
    for (const auto& text : texts) {
        block.append(text.c_str());  // a text cannot hold a NUL of its own
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

TagStore::~TagStore() {
    for (auto& [type, block] : tags_) retire(std::move(block));
}

void TagStore::set(DWORD type, std::string block) {
    auto fresh = std::make_shared<const std::string>(std::move(block));
    std::shared_ptr<const std::string> old;
    {
        MutexLock lock(mutex_);
        old = std::exchange(tags_[type], std::move(fresh));
    }
    if (old) retire(std::move(old));
}

const char* TagStore::get(DWORD type) const {
    MutexLock lock(mutex_);
    auto it = tags_.find(type);
    return it == tags_.end() ? nullptr : it->second->c_str();
}

}  // namespace engine
