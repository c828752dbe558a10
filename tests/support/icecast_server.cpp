#include "tests/support/icecast_server.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace test {
namespace {

const std::string kHarness = std::string(TUNELARK_SOURCE_DIR) + "/tests/support/icecast";

// Written once inside get()'s call_once, read after it.
std::string gProblem;
bool gSkippable = false;
std::string gStartedDir;  // the folder of a server this process started

std::string envText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string tempRoot() {
    std::string root = envText("TMPDIR");
    return root.empty() ? "/tmp" : root;
}

bool onPath(const std::string& program) {
    std::string path = envText("PATH");
    std::stringstream dirs(path.empty() ? "/usr/bin:/bin" : path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The value of a "NAME=value" line of text, or "".
std::string lineValue(const std::string& text, const std::string& name) {
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
    }
    return "";
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The folder of the server start.sh last started without one (as the test
// script does), if it is the one on `port`.
std::string folderOfPort(int port) {
    std::string last = readText(tempRoot() + "/tunelark-icecast-" + std::to_string(getuid()) + ".last");
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    if (last.empty()) return "";
    std::string env = readText(last + "/env");
    return lineValue(env, "ICECAST_PORT") == std::to_string(port) ? last : "";
}

void stopAtExit() {
    if (gStartedDir.empty()) return;
    std::string command =
        "bash " + shellQuote(kHarness + "/stop.sh") + " " + shellQuote(gStartedDir) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "icecast harness: stop.sh failed\n");
}

// Runs start.sh into a new folder; returns its standard output, "" on failure.
std::string runStart(std::string& dir) {
    std::string pattern = tempRoot() + "/tunelark-icecast.XXXXXX";
    if (!mkdtemp(pattern.data())) return "";
    dir = pattern;
    std::string command =
        "bash " + shellQuote(kHarness + "/start.sh") + " --owner " + std::to_string(getpid()) + " " + shellQuote(dir);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string out;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    return pclose(pipe) == 0 ? out : "";
}

}  // namespace

std::vector<IcecastSong> readIcecastSongs() {
    std::vector<IcecastSong> songs;
    std::stringstream lines(readText(kHarness + "/songs.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream fields(line);
        std::string frequency, seconds;
        IcecastSong song;
        std::getline(fields, frequency, '\t');
        std::getline(fields, seconds, '\t');
        std::getline(fields, song.artist, '\t');
        std::getline(fields, song.title);
        song.frequency = std::atof(frequency.c_str());
        song.seconds = std::atof(seconds.c_str());
        songs.push_back(song);
    }
    return songs;
}

IcecastServer* IcecastServer::start() {
    static IcecastServer server;
    server.songs_ = readIcecastSongs();
    if (server.songs_.empty()) {
        gProblem = "cannot read " + kHarness + "/songs.txt";
        return nullptr;
    }
    if (std::string port = envText("ICECAST_PORT"); !port.empty()) {
        server.port_ = std::atoi(port.c_str());
        server.dir_ = envText("ICECAST_DIR");
        if (server.dir_.empty()) server.dir_ = folderOfPort(server.port_);
        if (server.port_ > 0 && server.port_ < 65536) return &server;
        gProblem = "ICECAST_PORT is not a port number: " + port;
        return nullptr;
    }
    if (!onPath("icecast2") || !onPath("ezstream")) {
        gSkippable = envText("TUNELARK_REQUIRE_ICECAST") != "1";
        gProblem = "icecast2 or ezstream is not installed (tools/setup.sh installs them)";
        return nullptr;
    }
    std::string out = runStart(server.dir_);
    server.port_ = std::atoi(lineValue(out, "ICECAST_PORT").c_str());
    if (server.port_ <= 0) {
        gProblem = "the Icecast harness did not start; its messages are on stderr";
        return nullptr;
    }
    gStartedDir = server.dir_;
    std::atexit(stopAtExit);
    return &server;
}

const IcecastServer* IcecastServer::get() {
    static std::once_flag once;
    static IcecastServer* server = nullptr;
    std::call_once(once, [] { server = start(); });
    return server;
}

bool IcecastServer::skippable() {
    get();
    return gSkippable;
}

const std::string& IcecastServer::problem() {
    get();
    return gProblem;
}

std::string IcecastServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string IcecastServer::mp3Url() const {
    return base() + "/test.mp3";
}

std::string IcecastServer::oggUrl() const {
    return base() + "/test.ogg";
}

int IcecastServer::songIndex(const std::string& streamTitle) const {
    for (size_t i = 0; i < songs_.size(); ++i) {
        if (songs_[i].streamTitle() == streamTitle) return static_cast<int>(i);
    }
    return -1;
}

std::string IcecastServer::sourceFile(size_t index, const std::string& extension) const {
    if (dir_.empty() || index >= songs_.size()) return "";
    char name[64];
    std::snprintf(name, sizeof name, "%02zu-%g.", index + 1, songs_[index].frequency);
    std::string path = dir_ + "/media/" + name + extension;
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? path : "";
}

}  // namespace test
