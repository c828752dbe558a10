#include "tests/support/engine_fixture.h"

#include <dirent.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "engine/bass.h"
#include "tests/support/wait_until.h"

namespace test {

namespace {

std::vector<std::string> taskIds() {
    std::vector<std::string> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ids.emplace_back(entry->d_name);
        closedir(dir);
    }
    return ids;
}

}  // namespace

int threadCount() {
    return int(taskIds().size());
}

std::string threadNames() {
    std::string names;
    for (const std::string& id : taskIds()) {
        std::ifstream comm("/proc/self/task/" + id + "/comm");
        std::string name;
        if (std::getline(comm, name)) names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

int baselineThreads() {
    std::thread([] {}).join();
    return threadCount();
}

bool threadCountReturnsTo(int expected) {
    return waitUntil([expected] { return threadCount() == expected; });
}

std::vector<std::string> tagTexts(const char* list) {
    std::vector<std::string> out;
    for (; list && *list; list += std::strlen(list) + 1) out.emplace_back(list);
    return out;
}

void EngineTest::SetUp() {
    baseline_ = baselineThreads();
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

void EngineTest::TearDown() {
    BASS_Free();
    EXPECT_TRUE(threadCountReturnsTo(baseline_)) << "an engine thread outlived BASS_Free: " << threadNames();
}

}  // namespace test
