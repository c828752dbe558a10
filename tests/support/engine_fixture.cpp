#include "tests/support/engine_fixture.h"

#include <dirent.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "engine/bass.h"
#include "tests/support/wait_until.h"

namespace test {

namespace {

// One name per thread of this process ("?" for one ending as it is read).
std::vector<std::string> threads() {
    std::vector<std::string> names;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
            std::string name;
            names.push_back(std::getline(comm, name) ? name : "?");
        }
        closedir(dir);
    }
    return names;
}

}  // namespace

int threadCount() {
    return int(threads().size());
}

std::string threadNames() {
    std::string joined;
    for (const std::string& name : threads()) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
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
