#include "tests/support/record_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string programFolder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) throw std::runtime_error("cannot read /proc/self/exe");
    std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

RecordFolderGuard::RecordFolderGuard() : path_(programFolder() + "record/") {
    std::string lockPath = programFolder() + "record.lock";
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + lockPath);
    mkdir(path_.c_str(), 0755);
    clear();
}

RecordFolderGuard::~RecordFolderGuard() {
    clear();
    close(lockFd_);  // releases the lock
}

std::vector<std::string> RecordFolderGuard::names() const {
    std::vector<std::string> result;
    if (DIR* dir = opendir(path_.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") result.push_back(name);
        }
        closedir(dir);
    }
    std::sort(result.begin(), result.end());
    return result;
}

void RecordFolderGuard::clear() const {
    for (const std::string& name : names()) {
        std::string full = path_ + name;
        if (unlink(full.c_str()) != 0) rmdir(full.c_str());
    }
}

std::string RecordFolderGuard::read(const std::string& name) const {
    std::ifstream in(path_ + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void RecordFolderGuard::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ + name, std::ios::binary);
    out << bytes;
}

}  // namespace testsupport
