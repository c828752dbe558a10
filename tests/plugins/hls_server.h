// The local HLS stations of tests/support/hls/hls_server.py for gtest: a
// folder of files, ffmpeg's live windows (--ts, --fmp4) and packed audio
// with ID3 titles. Stops with the object.
#pragma once

#include <string>
#include <vector>

#include "tests/support/stream_server.h"

namespace test {

class HlsServer {
public:
    HlsServer(const std::string& folder, const std::vector<std::string>& options)
        : process_(arguments(folder, options)), port_(process_.readPort("the HLS server")) {}

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    static std::vector<std::string> arguments(const std::string& folder, const std::vector<std::string>& options) {
        std::vector<std::string> words{TUNELARK_SOURCE_DIR "/tests/support/hls/hls_server.py", folder};
        words.insert(words.end(), options.begin(), options.end());
        return words;
    }

    ServerProcess process_;
    int port_;
};

}  // namespace test
