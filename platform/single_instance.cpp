#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "base/thread_safety.h"

namespace {

std::string lockPath(const char* name, const char* extension = ".lock") {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir) return std::string(runtimeDir) + "/" + name + extension;
    return "/tmp/" + std::string(name) + "-" + std::to_string(getuid()) + extension;
}

// A leaf lock: nothing else is taken while it is held.
Mutex guardLock;
std::set<std::string> held GUARDED_BY(guardLock);
std::map<std::string, int> channels GUARDED_BY(guardLock);  // name -> listening socket

bool channelAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int unixSocket() {
    return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// The lock is ours, so a socket file already there was left by a holder that
// has ended. Knocks queue in the socket's backlog until they are watched for.
int openChannel(const std::string& path) {
    sockaddr_un address;
    if (!channelAddress(path, address)) return -1;
    const int fd = unixSocket();
    if (fd < 0) return -1;
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Takes every waiting knock; true when one came from this user (in /tmp,
// another user may reach the socket).
bool takeKnocks(int channel) {
    bool knocked = false;
    for (;;) {
        const int fd = accept4(channel, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return knocked;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid()) knocked = true;
        close(fd);
    }
}

}  // namespace

namespace platform {

bool acquireSingleInstance(const char* name) {
    MutexLock guard(guardLock);
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
    channels[name] = openChannel(lockPath(name, ".sock"));
    return true;
}

bool knockOnRunningInstance(const char* name) {
    sockaddr_un address;
    if (!channelAddress(lockPath(name, ".sock"), address)) return false;
    const int fd = unixSocket();
    if (fd < 0) return false;
    // Non-blocking: a holder whose backlog is full (it does not watch) makes
    // the knock fail instead of waiting.
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    close(fd);
    return rc == 0;
}

void watchForKnocks(const char* name, std::function<void()> onKnock) {
    int channel = -1;
    {
        MutexLock guard(guardLock);
        const auto found = channels.find(name);
        if (found != channels.end()) channel = found->second;
    }
    if (channel < 0 || !QCoreApplication::instance()) return;
    // Lives as long as the application: the channel is open until the end.
    auto* notifier = new QSocketNotifier(channel, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [channel, onKnock = std::move(onKnock)] {
        if (takeKnocks(channel)) onKnock();
    });
}

}  // namespace platform
