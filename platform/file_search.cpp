#include "platform/file_search.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace {

bool isRegularFile(const std::string& dir, const dirent* entry) {
    if (entry->d_type == DT_REG) return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
    struct stat info;
    const std::string path = dir + "/" + entry->d_name;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Windows patterns have no brackets and no escapes, and "*.*" also matches
// names without a dot.
std::string toFnmatchPattern(const std::string& pattern) {
    if (pattern == "*.*") return "*";
    std::string out;
    for (char c : pattern) {
        if (c == '[')
            out += "[[]";
        else
            out += c;
    }
    return out;
}

}  // namespace

namespace platform {

std::vector<std::string> findFiles(const std::string& dir, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* folder = opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) return names;
    const std::string glob = toFnmatchPattern(pattern);
    while (const dirent* entry = readdir(folder)) {
        if (fnmatch(glob.c_str(), entry->d_name, FNM_CASEFOLD | FNM_NOESCAPE) != 0) continue;
        if (isRegularFile(dir.empty() ? "." : dir, entry)) names.emplace_back(entry->d_name);
    }
    closedir(folder);
    return names;
}

}  // namespace platform
