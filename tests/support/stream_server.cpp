#include "tests/support/stream_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>

extern char** environ;

namespace test {
namespace {

// A loaded 2-core machine may take a while to start Python.
constexpr int kReplyTimeoutMs = 30000;

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool waitForExit(pid_t pid, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
        usleep(10000);
    }
    return false;
}

}  // namespace

ServerProcess::ServerProcess(const std::vector<std::string>& scriptAndArguments) {
    // A write to a server that died must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        ADD_FAILURE() << "pipe failed";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> words{"python3"};
    words.insert(words.end(), scriptAndArguments.begin(), scriptAndArguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
    if (spawned != 0) {
        pid_ = -1;
        ADD_FAILURE() << "cannot start python3: " << spawned;
    }
}

ServerProcess::~ServerProcess() {
    if (toServer_ >= 0) close(toServer_);  // the server quits when its stdin closes
    if (pid_ > 0 && !waitForExit(pid_, 5000)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromServer_ >= 0) close(fromServer_);
}

int ServerProcess::readPort(const char* what) {
    std::string line;
    int port = running() && readLine(line) ? std::atoi(line.c_str()) : 0;
    if (port > 0) return port;
    ADD_FAILURE() << what << " did not report its port";
    return 0;
}

bool ServerProcess::writeLine(const std::string& line) {
    return running() && writeAll(toServer_, line + "\n");
}

bool ServerProcess::readLine(std::string& line) {
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        pollfd fd{fromServer_, POLLIN, 0};
        int ready = poll(&fd, 1, kReplyTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        ssize_t n = read(fromServer_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

StreamServer::StreamServer()
    : process_({TUNELARK_SOURCE_DIR "/tests/support/stream_server.py"}), port_(process_.readPort("the stream server")) {
}

StreamServer::~StreamServer() = default;

std::string StreamServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string StreamServer::url(const std::string& path) const {
    return base() + path;
}

bool StreamServer::route(const std::string& routeJson) {
    size_t brace = routeJson.find('{');
    if (brace == std::string::npos) {
        ADD_FAILURE() << "a route is a JSON object: " << routeJson;
        return false;
    }
    // Commands are lines; JSON needs no line break outside its strings.
    std::string body = routeJson.substr(brace + 1);
    for (char& c : body)
        if (c == '\n' || c == '\r') c = ' ';
    std::string reply = command("{\"cmd\": \"route\", " + body);
    bool ok = reply.find("\"ok\": true") != std::string::npos;
    if (!ok) ADD_FAILURE() << "route refused: " << reply;
    return ok;
}

std::string StreamServer::requests(const std::string& path) {
    return command("{\"cmd\": \"requests\", \"path\": " + quote(path) + "}");
}

int StreamServer::requestCount(const std::string& path) {
    std::string reply = requests(path);
    int count = 0;
    for (size_t at = reply.find("{\"line\": "); at != std::string::npos; at = reply.find("{\"line\": ", at + 1))
        ++count;
    return count;
}

bool StreamServer::openGate(const std::string& name) {
    return command("{\"cmd\": \"open\", \"gate\": " + quote(name) + "}").find("\"ok\": true") != std::string::npos;
}

int StreamServer::finishedCount(const std::string& path) {
    std::string reply = requests(path);
    int count = 0;
    for (size_t at = reply.find("\"done\": true"); at != std::string::npos; at = reply.find("\"done\": true", at + 1))
        ++count;
    return count;
}

std::string StreamServer::quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int StreamServer::closedPort() {
    // Bound and closed again without listening: the kernel will not hand the
    // port out again at once.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        ADD_FAILURE() << "cannot find a free port";
    if (fd >= 0) close(fd);
    return ntohs(address.sin_port);
}

std::string StreamServer::command(const std::string& json) {
    std::string line;
    if (!process_.writeLine(json) || !process_.readLine(line)) {
        ADD_FAILURE() << "the stream server did not answer: " << json.substr(0, 200);
        return {};
    }
    return line;
}

}  // namespace test
