// Giving back the pages of loaded code: the process runs on with the same
// code and data, and its resident memory drops.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/working_set.h"

namespace {

int changedAtRunTime = 1;  // a data segment, which must be left alone

long residentFileKib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssFile:", 0) == 0) return std::stol(line.substr(8));
    return -1;
}

TEST(WorkingSet, LoadedCodeLeavesResidentMemoryAndRunsOnUnchanged) {
    changedAtRunTime = 42;
    const long before = residentFileKib();
    EXPECT_GT(releaseLoadedCode(), 0u);
    EXPECT_LT(residentFileKib(), before);
    EXPECT_EQ(changedAtRunTime, 42);
    // A call into a released library, through relocated pointers, with a
    // format string read back from released read-only data.
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", 3.25);
    EXPECT_STREQ(text, "3.25 %");
}

}  // namespace
