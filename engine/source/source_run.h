// A source plug-in playing one station: its run() on a thread of its own
// (the stream's download thread), with the engine's host calls behind it.
// Every fetch goes through the engine's transfer (runTransfer), so a source
// has the station's protocols, redirects, TLS checks and time-outs.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_safety.h"
#include "engine/decode/decoder.h"
#include "engine/network/http_stream.h"
#include "engine/source/source_table.h"

struct TunelarkSourceHost;

namespace engine::source {

// Where a source's output goes. Called on the source's thread.
class SourceSink {
public:
    virtual ~SourceSink() = default;
    // False when nobody takes audio any more.
    virtual bool sourceAudio(const decode::AudioFormat& format, const float* samples, size_t frames) = 0;
    virtual void sourceReceived(const unsigned char* data, size_t size) = 0;
    virtual void sourceMeta(const std::string& text) = 0;
    // Once, last: 0 when the station ended normally, else why.
    virtual void sourceEnded(int error) = 0;
};

// The playlist a source claimed.
struct Claim {
    SourceKind kind;
    std::string url;
    std::string body;
    bool whole = false;
};

class SourceRun {
public:
    SourceRun();
    ~SourceRun();  // stop()
    SourceRun(const SourceRun&) = delete;
    SourceRun& operator=(const SourceRun&) = delete;

    // Starts the thread: BASS_OK, or why not (BASS_ERROR_INIT after stop()).
    int start(Claim claim, const net::HttpOptions& options, SourceSink& sink);
    // Ends the run and joins its thread; a sink call that waits for room
    // must be released first. Not from the run's own thread; idempotent.
    void stop();

    // The host calls, for the C table.
    int fetch(const char* url, size_t maxBytes, int timeLimitMs, TunelarkFetched* out);
    int fetchRange(const char* url, uint64_t offset, size_t length, int timeLimitMs, TunelarkFetched* out);
    int audio(const TunelarkPcm* pcm, uint32_t ctype);
    void received(const unsigned char* data, size_t size);
    void meta(const char* text);
    int wait(int ms);

private:
    void body();
    // The body of url (skipping `skip` bytes of a whole one when the server
    // ignored options.range) into fetched_, up to maxBytes of it.
    int transfer(const char* url, const net::HttpOptions& options, uint64_t skip, size_t maxBytes, int timeLimitMs,
                 TunelarkFetched* out);

    Mutex mutex_;  // a leaf lock
    std::condition_variable_any wake_;
    std::atomic<bool> stopping_{false};
    bool started_ GUARDED_BY(mutex_) = false;
    CURLM* multi_ = nullptr;  // made by start(), freed by the destructor
    std::thread thread_;      // started by start(); joined under joinMutex_
    Mutex joinMutex_;

    // The run's thread's own.
    Claim claim_;
    net::HttpOptions options_;
    SourceSink* sink_ = nullptr;
    std::unique_ptr<TunelarkSourceHost> host_;
    std::vector<unsigned char> fetched_;
    std::string fetchedType_, fetchedUrl_;
};

}  // namespace engine::source
