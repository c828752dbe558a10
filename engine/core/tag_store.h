// A channel's tags (BASS_ChannelGetTags). A returned pointer stays valid
// after its tag is replaced or its channel freed: replaced blocks are kept
// in a process-wide pool of the latest 256, so a reader on another thread
// that uses a pointer soon after getting it never reads freed memory.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include <string>
#include <vector>
#include "base/thread_safety.h"

#include "engine/bass.h"

namespace engine {

// "a\0b\0\0": each text NUL-terminated, the list ended by an empty text.
std::string textList(const std::vector<std::string>& texts);

class TagStore {
public:
    ~TagStore();
    void set(DWORD type, std::string block);
    // Null when the channel has no tag of that type.
    const char* get(DWORD type) const;

private:
    mutable Mutex mutex_;  // a leaf lock
    std::map<DWORD, std::shared_ptr<const std::string>> tags_ GUARDED_BY(mutex_);
};

}  // namespace engine
