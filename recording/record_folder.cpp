#include "recording/record_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/win32.h"

namespace {

std::string homeFolder() {
    if (const char* home = getenv("HOME"); home && *home) return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) return found->pw_dir;
    return "";
}

// The music folder as xdg-user-dirs records it in user-dirs.dirs:
// XDG_MUSIC_DIR="$HOME/..." or an absolute path. Anything else, or no entry,
// means ~/Music (xdg-user-dir itself would answer the home folder, which
// would scatter recordings over it).
std::string musicFolder(const std::string& home) {
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string configDir = config && *config == '/' ? config : home + "/.config";
    std::ifstream dirs(configDir + "/user-dirs.dirs");
    const std::string key = "XDG_MUSIC_DIR=\"";
    for (std::string line; std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        if (value.rfind("$HOME/", 0) == 0) return home + value.substr(5);
        if (value.size() > 1 && value[0] == '/') return value;
    }
    return home + "/Music";
}

}  // namespace

// mkdir -p: neither the music folder nor Tunelark/ exist in a fresh home.
// A part that cannot be made (a read-only disk, no permission) leaves the
// rest missing, and opening a file there would only say "No such file".
int makeRecordFolder(const std::string& path) {
    int error = 0;
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST && error == 0) error = errno;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? 0 : error;
}

namespace {

// The install rules put the program in <prefix>/lib/tunelark/. There it never
// writes into its own folder, whoever runs it: a folder made there as root
// would outlive the package's removal.
bool isInstalledFolder(const std::string& programDir) {
    const std::string installed = "/lib/tunelark/";
    return programDir.size() >= installed.size() &&
           programDir.compare(programDir.size() - installed.size(), installed.size(), installed) == 0;
}

}  // namespace

std::string programFolder() {
    char path[4096];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string("./") : s.substr(0, slash + 1);
}

std::string recordFolderFor(const std::string& programDir) {
    if (!isInstalledFolder(programDir) && access(programDir.c_str(), W_OK) == 0) return programDir + "record/";
    std::string home = homeFolder();
    if (home.empty() || home[0] != '/') return programDir + "record/";  // nowhere better; opening will fail
    return musicFolder(home) + "/Tunelark/";
}

std::string recordFolder() {
    return recordFolderFor(programFolder());
}
