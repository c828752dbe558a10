// Windows wildcard patterns over a folder, without regard to case.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/file_search.h"

namespace {

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tunelark-search-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        for (const char* name : {"001 Song.MP3", "002 other.mp3", "notes.txt", "a[1].txt", "noext", ".hidden.mp3"})
            std::ofstream(dir + "/" + name) << "x";
        mkdir((dir + "/folder.mp3").c_str(), 0700);
        symlink((dir + "/notes.txt").c_str(), (dir + "/link.mp3").c_str());
        symlink((dir + "/missing").c_str(), (dir + "/dangling.mp3").c_str());
    }

    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::vector<std::string> find(const std::string& pattern) const {
        auto names = findFiles(dir, pattern);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;
};

TEST_F(FileSearchTest, StarMatchesRegularFilesOfAnyCase) {
    EXPECT_EQ(find("*.mp3"), (std::vector<std::string>{".hidden.mp3", "001 Song.MP3", "002 other.mp3", "link.mp3"}));
    EXPECT_EQ(find("*.Mp3"), find("*.mp3"));
    EXPECT_EQ(find("00? *"), (std::vector<std::string>{"001 Song.MP3", "002 other.mp3"}));
    EXPECT_EQ(find("NOTES.TXT"), (std::vector<std::string>{"notes.txt"}));
}

TEST_F(FileSearchTest, BracketsAreOrdinaryAndStarDotStarTakesEveryName) {
    EXPECT_EQ(find("a[1].txt"), (std::vector<std::string>{"a[1].txt"}));
    EXPECT_TRUE(find("a1.txt").empty());
    const auto all = find("*.*");
    EXPECT_EQ(all.size(), 7u);  // every regular file (and link to one), also "noext"
    EXPECT_TRUE(std::find(all.begin(), all.end(), "noext") != all.end());
    EXPECT_TRUE(std::find(all.begin(), all.end(), "folder.mp3") == all.end());
}

TEST_F(FileSearchTest, AMissingFolderGivesNothing) {
    EXPECT_TRUE(findFiles(dir + "/nowhere", "*").empty());
    EXPECT_TRUE(find("*.ogg").empty());
}

}  // namespace
