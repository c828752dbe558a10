#include "recording/record_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "state/player_state.h"
#include "recording/record_names.h"
#include "recording/recorder.h"

namespace {

// A run of taken names this long means something is wrong with the folder;
// give up rather than spin on every block.
constexpr int kMaxNumberTries = 10000;

// flags: O_EXCL for numbered files (never replace one), O_TRUNC for the scratch
// file. O_NOFOLLOW keeps a planted link from leading the bytes elsewhere.
FILE* openInFolder(const char* name, int flags, int& error)
{
    std::string path = std::string(player.recordPath) + name;
    if (path.size() >= sizeof player.recordPath) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = errno;
        close(fd);
        return nullptr;
    }
    // Unbuffered: each block is on disk when its callback returns, so a file
    // being recorded can be played, and nothing is lost if the player dies.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::snprintf(player.recordFileName, sizeof player.recordFileName, "%s", name);
    std::snprintf(player.recordPath, sizeof player.recordPath, "%s", path.c_str());
    error = 0;
    return file;
}

FILE* openNumbered(const std::string& stem, int& error) REQUIRES(player.recordLock)
{
    int number = player.recordCounter;
    for (int tries = 0; tries < kMaxNumberTries; ++tries) {
        ++number;
        std::string name = numberedRecordName(number, stem);
        FILE* file = openInFolder(name.c_str(), O_EXCL, error);
        if (file) {
            player.recordCounter = number;
            return file;
        }
        if (error != EEXIST)
            return nullptr;
    }
    return nullptr;
}

}  // namespace

void openRecordFileLocked()
{
    int error = ENOENT;
    FILE* file = nullptr;
    if (buildRecordPath()) {
        std::optional<std::string> stem = recordStem(player.currentTitle);
        file = stem ? openNumbered(*stem, error) : openInFolder(kScratchRecordName, O_TRUNC, error);
    }
    player.recordFile = file;
    player.recordOpenError = error;
}

void closeRecordFileLocked()
{
    if (player.recordFile)
        std::fclose(player.recordFile);
    player.recordFile = nullptr;
}
