// An HttpStream against the scripted server on 127.0.0.1, its events
// recorded, for the network tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/network/http_stream.h"
#include "tests/engine/network/event_recorder.h"
#include "tests/support/stream_server.h"

namespace test {

class HttpTest : public ::testing::Test {
protected:
    int open(const std::string& path, const engine::net::HttpOptions& options = {}) {
        return stream.open(server.url(path), options, recorder.events());
    }

    // Declared in this order so that the stream stops before the recorder
    // and the server go.
    StreamServer server;
    EventRecorder recorder;
    engine::net::HttpStream stream;
};

}  // namespace test
