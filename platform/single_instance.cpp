#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace {

std::string lockPath(const char* name) {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir) return std::string(runtimeDir) + "/" + name + ".lock";
    return "/tmp/" + std::string(name) + "-" + std::to_string(getuid()) + ".lock";
}

}  // namespace

namespace platform {

bool acquireSingleInstance(const char* name) {
    static std::mutex lock;
    static std::set<std::string> held;  // guarded by lock
    std::lock_guard guard(lock);
    if (held.count(name)) return true;
    // O_CLOEXEC: a child process must not inherit the lock.
    const int fd = open(lockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that exists but may not be opened belongs to someone else;
    // with no place for a lock at all the player runs unguarded.
    if (fd < 0) return errno != EACCES && errno != EPERM;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(fd);
        return false;
    }
    held.insert(name);  // the descriptor stays open for the life of the process
    return true;
}

}  // namespace platform
