#include "recording/record_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(RecordFolder, BesideAWritableProgramElseInTheMusicFolder) {
    char pattern[] = "/tmp/tunelark-home-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    setenv("HOME", pattern, 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(recordFolder(), programFolder() + "record/");  // the build folder, as ever
    EXPECT_EQ(recordFolderFor(home + "/"), home + "/record/");
    EXPECT_FALSE(isFolder(home + "/Music"));

    const std::string installed = home + "/usr/lib/tunelark/";  // missing: cannot be written
    EXPECT_EQ(recordFolderFor(installed), home + "/Music/Tunelark/");
    EXPECT_FALSE(isFolder(home + "/Music"));  // made only when a recording needs it
    EXPECT_EQ(makeRecordFolder(home + "/Music/Tunelark/"), 0);
    EXPECT_TRUE(isFolder(home + "/Music/Tunelark"));
    // sysfs makes no folders (read-only in containers): that is why, not the missing folder.
    const int error = makeRecordFolder("/sys/tunelark-nowhere/Tunelark/");
    EXPECT_TRUE(error == EPERM || error == EROFS) << error;
    EXPECT_FALSE(isFolder(installed));
    // Installed and writable (run by root): still not into its own prefix.
    std::system(("mkdir -p '" + installed + "'").c_str());
    EXPECT_EQ(recordFolderFor(installed), home + "/Music/Tunelark/");
    EXPECT_FALSE(isFolder(installed + "record"));
    mkdir((home + "/.config").c_str(), 0755);
    const auto musicDir = [&](const std::string& value) {
        std::ofstream(home + "/.config/user-dirs.dirs")
            << "# set by xdg-user-dirs\nXDG_MUSIC_DIR=\"" << value << "\"\n";
        return recordFolderFor(installed);
    };
    EXPECT_EQ(musicDir("$HOME/Songs/"), home + "/Songs/Tunelark/");
    EXPECT_EQ(musicDir(home + "/abs/music"), home + "/abs/music/Tunelark/");
    EXPECT_EQ(musicDir("$HOME/"), home + "/Music/Tunelark/");  // switched off: not the bare home
    std::system(("rm -rf '" + home + "'").c_str());
}

}  // namespace
