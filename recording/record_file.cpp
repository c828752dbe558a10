#include "recording/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "recording/record_keep.h"
#include "recording/record_names.h"
#include "recording/record_stream.h"
#include "recording/recorder.h"
#include "state/player_state.h"

namespace {

// A run of taken names this long means something is wrong with the folder;
// give up rather than spin on every block.
constexpr int kMaxNumberTries = 10000;

// flags: O_EXCL for numbered files (never replace one), O_TRUNC for the scratch
// file. O_NOFOLLOW keeps a planted link from leading the bytes elsewhere.
FILE* openInFolder(const char* name, int flags, int& error) {
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

FILE* openNumbered(const std::string& stem, const std::string& extension, int& error) REQUIRES(player.recordLock) {
    int number = player.recordCounter;
    for (int tries = 0; tries < kMaxNumberTries; ++tries) {
        ++number;
        std::string name = numberedRecordName(number, stem, extension);
        FILE* file = openInFolder(name.c_str(), O_EXCL, error);
        if (file) {
            player.recordCounter = number;
            return file;
        }
        if (error != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

// A scratch file left by a run that ended before it could be named is kept
// under a number, never emptied.
FILE* openScratch(int& error) REQUIRES(player.recordLock) {
    FILE* file = openInFolder(kScratchRecordName, O_EXCL, error);
    if (file || error != EEXIST) return file;
    std::string folder = recordStream.folder;
    struct stat left {};
    if (lstat((folder + kScratchRecordName).c_str(), &left) == 0 && S_ISREG(left.st_mode) && left.st_size == 0)
        unlink((folder + kScratchRecordName).c_str());  // nothing to keep
    else if (int kept = keepRecording(folder + kScratchRecordName, folder, "r", "tmp", player.recordCounter))
        player.recordCounter = kept;
    std::snprintf(player.recordPath, sizeof player.recordPath, "%s", folder.c_str());
    return openInFolder(kScratchRecordName, O_EXCL, error);
}

std::string pieceExtension() REQUIRES(player.recordLock) {
    const RecordStream& stream = recordStream;
    if (stream.kind == RecordKind::Ogg) return stream.link.extension();
    if (stream.kind == RecordKind::Frames) return stream.frameExtension;
    return stream.declaredExtension.empty() ? "mp3" : stream.declaredExtension;
}

// What a scratch piece is named after when it is kept: an Ogg song's own
// comments, else the title it was recorded under, else the station.
std::string scratchStem() REQUIRES(player.recordLock) {
    const RecordStream& stream = recordStream;
    std::string text = stream.kind == RecordKind::Ogg ? stream.link.titleText() : stream.pieceTitle;
    std::optional<std::string> stem = recordStem(text.c_str());
    if (stem && !stem->empty()) return *stem;
    if (!text.empty()) return text;
    return stream.stationName.empty() ? "Radio" : stream.stationName;
}

void openRecordFileLocked() {
    RecordStream& stream = recordStream;
    int error = ENOENT;
    FILE* file = nullptr;
    int folderError = 0;
    stream.pieceExtension = pieceExtension();
    if (buildRecordPath(folderError)) {
        stream.folder = player.recordPath;
        std::optional<std::string> stem;
        if (stream.kind != RecordKind::Ogg) stem = recordStem(player.currentTitle);
        stream.scratch = !stem;
        stream.pieceTitle = player.currentTitle ? player.currentTitle : "";
        stream.adoptTitle = !stream.titleSeen;
        file = stem ? openNumbered(*stem, stream.pieceExtension, error) : openScratch(error);
        // The file is missing because its folder is: why that is tells more.
        if (!file && error == ENOENT && folderError != 0) error = folderError;
    }
    stream.written = 0;
    player.recordFile = file;
    player.recordOpenError = error;
    if (!file) stream.failure = error;
}

void closeRecordFileLocked() {
    RecordStream& stream = recordStream;
    if (!player.recordFile) return;
    writeRecordLocked(stream.heldBack.data(), stream.heldBack.size());
    stream.heldBack.clear();
    std::fclose(player.recordFile);
    player.recordFile = nullptr;
    std::string path = player.recordPath;
    // Nothing written (the disk was full): no empty file is left.
    // A numbered piece was named when it was opened.
    if (stream.written == 0) {
        unlink(path.c_str());
    } else if (stream.scratch) {
        int kept = keepRecording(path, stream.folder, scratchStem(), stream.pieceExtension, player.recordCounter);
        if (kept > 0) player.recordCounter = kept;
    }
    stream.written = 0;
    stream.scratch = false;
    stream.adoptTitle = false;
    stream.cutPending = false;
}

void nameScratchPieceLocked(const std::string& title) {
    RecordStream& stream = recordStream;
    stream.pieceTitle = title;
    std::optional<std::string> stem = recordStem(title.c_str());
    if (!player.recordFile || !stream.scratch || stream.kind == RecordKind::Ogg || !stem || stem->empty()) return;
    // The open file moves with its name: what follows is written on into it.
    int kept = keepRecording(player.recordPath, stream.folder, *stem, stream.pieceExtension, player.recordCounter);
    if (kept <= 0) return;  // named when it is closed instead
    player.recordCounter = kept;
    std::string name = numberedRecordName(kept, *stem, stream.pieceExtension);
    std::snprintf(player.recordFileName, sizeof player.recordFileName, "%s", name.c_str());
    std::snprintf(player.recordPath, sizeof player.recordPath, "%s%s", stream.folder.c_str(), name.c_str());
    stream.scratch = false;
}

bool writeRecordLocked(const void* data, size_t size) {
    if (!player.recordFile || size == 0) return player.recordFile != nullptr;
    size_t done = std::fwrite(data, 1, size, player.recordFile);
    recordStream.written += done;
    if (done == size) return true;
    recordStream.failure = errno ? errno : EIO;
    return false;
}
