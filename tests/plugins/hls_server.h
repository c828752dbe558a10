// The local HLS stations of tests/support/hls/hls_server.py for gtest: a
// folder of files, ffmpeg's live windows (--ts, --fmp4) and packed audio
// with ID3 titles. Stops with the object (its stdin closes).
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace test {

class HlsServer {
public:
    HlsServer(const std::string& folder, const std::vector<std::string>& options) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe failed";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> words{"python3", TUNELARK_SOURCE_DIR "/tests/support/hls/hls_server.py", folder};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toServer_ = in[1];
        std::string line;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        port_ = std::atoi(line.c_str());
        if (port_ <= 0) ADD_FAILURE() << "the HLS server did not report its port";
    }
    ~HlsServer() {
        if (toServer_ >= 0) close(toServer_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    HlsServer(const HlsServer&) = delete;
    HlsServer& operator=(const HlsServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    pid_t pid_ = -1;
    int toServer_ = -1;
    int port_ = 0;
};

}  // namespace test
