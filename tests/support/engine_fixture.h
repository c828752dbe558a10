// The engine started for each test, and the check that BASS_Free leaves no
// engine thread behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace test {

// The threads this process has now, and their names (for a failure message).
int threadCount();
std::string threadNames();

// The thread count with no engine running. A first thread is made and joined
// before counting, since sanitizer runtimes start a helper thread of their
// own with the process's first thread.
int baselineThreads();

// Engine threads end asynchronously in the kernel's bookkeeping; waits
// (generously) for the count to settle at `expected`.
bool threadCountReturnsTo(int expected);

// The texts of a tag list as BASS_ChannelGetTags gives it: one after another,
// each ended by a NUL, the list by an empty one. Empty for a null list.
std::vector<std::string> tagTexts(const char* list);

// BASS_Init on the no-sound device at 44100 Hz before each test; BASS_Free
// after it, failing the test if the thread count does not return to what it
// was before the engine started.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int baseline_ = 0;
};

}  // namespace test
