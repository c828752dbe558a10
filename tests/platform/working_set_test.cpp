// Giving back the pages of loaded code: the process keeps running on the
// same code and data, and its resident memory drops.
#include <gtest/gtest.h>

#include <QString>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/working_set.h"

namespace {

// Written at run time: a data segment the release must leave alone.
int changedAtRunTime = 1;

long residentFileKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssFile:", 0) == 0) return std::stol(line.substr(8));
    }
    return -1;
}

TEST(WorkingSet, LoadedCodeLeavesResidentMemoryAndRunsOnUnchanged) {
    changedAtRunTime = 42;
    // Touch some code of the libraries the player loads, as start-up does.
    const std::string before = QString::number(3.25, 'f', 2).toStdString();
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", 3.25);
    const long residentBefore = residentFileKib();

    const size_t released = releaseLoadedCode();

    EXPECT_GT(released, 0u);
    EXPECT_LT(residentFileKib(), residentBefore);
    EXPECT_EQ(changedAtRunTime, 42);  // data segments are not given back
    // Calls through relocated pointers and into released code still work,
    // and read-only data comes back from the file unchanged.
    EXPECT_EQ(QString::number(3.25, 'f', 2).toStdString(), before);
    char again[32];
    std::snprintf(again, sizeof again, "%.2f %%", 3.25);
    EXPECT_STREQ(again, text);
    EXPECT_STREQ(again, "3.25 %");
}

}  // namespace
