#include "recording/record_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool isFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class RecordFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tunelark-home-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { std::system(("rm -rf '" + home + "'").c_str()); }

    void setMusicDir(const std::string& value)
    {
        mkdir((home + "/.config").c_str(), 0755);
        std::ofstream(home + "/.config/user-dirs.dirs") << "# xdg-user-dirs\nXDG_MUSIC_DIR=\"" << value << "\"\n";
    }

    std::string home;
};

TEST_F(RecordFolderTest, StaysBesideAWritableProgramAndTouchesNoHome)
{
    EXPECT_EQ(recordFolderFor(home + "/"), home + "/record/");
    EXPECT_FALSE(isFolder(home + "/Music"));
    EXPECT_EQ(recordFolder(), programFolder() + "record/");
}

TEST_F(RecordFolderTest, GoesToTheMusicFolderWhenTheProgramFolderCannotBeWritten)
{
    const std::string installed = home + "/usr/lib/tunelark/";  // missing: never writable
    EXPECT_EQ(recordFolderFor(installed), home + "/Music/Tunelark/");
    EXPECT_TRUE(isFolder(home + "/Music/Tunelark"));
    EXPECT_FALSE(isFolder(installed));

    setMusicDir("$HOME/Songs/");
    EXPECT_EQ(recordFolderFor(installed), home + "/Songs/Tunelark/");
    setMusicDir(home + "/abs/music");
    EXPECT_EQ(recordFolderFor(installed), home + "/abs/music/Tunelark/");
    EXPECT_TRUE(isFolder(home + "/abs/music/Tunelark"));
    setMusicDir("$HOME/");  // music folder switched off: not the bare home
    EXPECT_EQ(recordFolderFor(installed), home + "/Music/Tunelark/");
}

}  // namespace
