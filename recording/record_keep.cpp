#include "recording/record_keep.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "recording/record_names.h"

namespace {

constexpr int kMaxNumberTries = 10000;

// rename without replacing; a file system that cannot do that in one step
// gets a hard link and an unlink, which refuse an existing name as well.
int moveNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
}

}  // namespace

int keepRecording(const std::string& path, const std::string& folder, const std::string& stem,
                  const std::string& extension, int after) {
    int number = after;
    for (int tries = 0; tries < kMaxNumberTries; ++tries) {
        ++number;
        int error = moveNoReplace(path, folder + numberedRecordName(number, stem, extension));
        if (error == 0) return number;
        if (error != EEXIST) return 0;
    }
    return 0;
}
