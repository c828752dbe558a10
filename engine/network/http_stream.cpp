#include "engine/network/http_stream.h"

#include "engine/api/errors.h"
#include "engine/bass.h"
#include "engine/core/text_match.h"
#include "engine/core/thread_name.h"
#include "engine/network/curl_transfer.h"
#include "engine/network/icy_parser.h"
#include "engine/network/playlist.h"
#include "engine/network/station_url.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace engine::net {
namespace {

// Connections one open() may make while walking playlists: open() must
// return in bounded time even when every entry is dead.
constexpr int kMaxTries = 10;
// A playlist may name a playlist, which may name a stream, no deeper.
constexpr int kMaxPlaylistDepth = 2;

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // With CURLOPT_NOSIGNAL, a TLS write to a peer that has gone raises
        // SIGPIPE, which would end the whole player; unless the program
        // chose a handler of its own, ignore it.
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
    });
}

bool isHttpUrl(const std::string& url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

}  // namespace

// Lock order: `mutex` and `joinMutex` are never held together.
struct HttpStream::Impl {
    enum class State { Idle, Connecting, Streaming, Failed };

    ~Impl() {
        if (multi) curl_multi_cleanup(multi);
    }

    void download();
    int tryUrl(const std::string& url, int depth);
    int tryPlaylist(const std::string& body, const std::string& baseUrl, int depth);
    void startStream(const HttpResponse& response);
    void publish(State next, int error);
    void join();

    std::mutex mutex;
    std::condition_variable settled;
    State state = State::Idle;  // guarded by mutex
    int openError = 0;          // guarded by mutex
    CURLM* multi = nullptr;     // set under mutex before the thread starts; freed by ~Impl
    std::thread thread;         // started under mutex; joined under joinMutex
    std::thread::id threadId;   // guarded by mutex
    std::mutex joinMutex;
    std::atomic<bool> stopping{false};

    // Written by open() before the thread starts, then the thread's own.
    std::string url;
    HttpOptions options;
    HttpEvents events;
    int triesLeft = kMaxTries;
    std::optional<IcyParser> icy;
};

// The thread's body: nothing the consumer's handlers throw leaves it (an
// exception would end the process); it becomes the download's error.
void HttpStream::Impl::download() {
    nameThisThread("tl-download");
    int error = 0;
    try {
        error = tryUrl(url, 0);
    } catch (...) {
        error = currentExceptionError();
    }
    if (!icy) publish(State::Failed, error);
}

// 0 once a stream has been played to its end; otherwise why none played.
int HttpStream::Impl::tryUrl(const std::string& target, int depth) {
    if (!isHttpUrl(target)) return BASS_ERROR_PROTOCOL;
    --triesLeft;
    bool playlist = false;
    std::string body;
    HttpResponse playlistHead;
    TransferHandlers handlers;
    handlers.onHead = [&](const HttpResponse& response) {
        bool reads = options.resolvePlaylists || events.onPlaylist;
        if (reads && isPlaylist(response.contentType, response.effectiveUrl)) {
            if (depth >= kMaxPlaylistDepth) return BASS_ERROR_FILEFORM;
            playlist = true;
            playlistHead = response;
            handlers.bodyTimeLimitMs = std::max(options.timeoutMs, 1);
            return 0;
        }
        startStream(response);
        return 0;
    };
    handlers.onBody = [&](const char* data, size_t size) {
        if (!playlist) {
            icy->feed(reinterpret_cast<const unsigned char*>(data), size);
            return true;
        }
        body.append(data, std::min(size, kMaxPlaylistBytes - body.size()));
        return body.size() < kMaxPlaylistBytes;
    };
    TransferResult result = runTransfer(multi, stopping, target, options, handlers);
    if (icy) {
        if (events.onEnd) events.onEnd(result.error);
        return 0;
    }
    if (!playlist || result.error != 0) return result.error;
    if (isHlsPlaylist(playlistHead.contentType, body)) {
        bool whole = body.size() < kMaxPlaylistBytes;
        return events.onPlaylist && events.onPlaylist(playlistHead, body, whole) ? kTakenBySource : BASS_ERROR_FILEFORM;
    }
    if (!options.resolvePlaylists) return BASS_ERROR_FILEFORM;
    return tryPlaylist(body, playlistHead.effectiveUrl, depth);
}

int HttpStream::Impl::tryPlaylist(const std::string& body, const std::string& baseUrl, int depth) {
    int error = BASS_ERROR_FILEFORM;
    for (const std::string& entry : parsePlaylist(body, baseUrl)) {
        if (triesLeft <= 0 || stopping) break;
        error = tryUrl(entry, depth + 1);
        if (icy || error == kStoppedError || error == kTakenBySource) break;
    }
    return stopping ? kStoppedError : error;
}

void HttpStream::Impl::startStream(const HttpResponse& response) {
    // The handler first: should it fail, no stream has begun and open()
    // hears of the failure.
    if (events.onHeaders) events.onHeaders(response);
    icy.emplace(response.metaint, events.onAudio, events.onMeta);
    publish(State::Streaming, 0);
}

void HttpStream::Impl::publish(State next, int error) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        state = next;
        openError = error;
    }
    settled.notify_all();
}

void HttpStream::Impl::join() {
    std::lock_guard<std::mutex> lock(joinMutex);
    if (thread.joinable()) thread.join();
}

HttpStream::HttpStream() : impl_(std::make_unique<Impl>()) {}

HttpStream::~HttpStream() {
    stop();
}

int HttpStream::open(const std::string& rawUrl, const HttpOptions& options, HttpEvents events) {
    std::string url = stationUrl(rawUrl);
    if (!isHttpUrl(url)) return BASS_ERROR_PROTOCOL;
    initCurlOnce();
    Impl& d = *impl_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (d.stopping) return kStoppedError;
        if (d.state != Impl::State::Idle) return BASS_ERROR_ALREADY;
        d.multi = curl_multi_init();
        if (!d.multi) return BASS_ERROR_MEM;
        d.url = url;
        d.options = options;
        d.events = std::move(events);
        d.state = Impl::State::Connecting;
        try {
            d.thread = std::thread(&Impl::download, &d);
            d.threadId = d.thread.get_id();
        } catch (const std::system_error&) {
            d.state = Impl::State::Failed;
            return BASS_ERROR_MEM;
        }
    }
    std::unique_lock<std::mutex> lock(d.mutex);
    d.settled.wait(lock, [&] { return d.state != Impl::State::Connecting; });
    int error = d.state == Impl::State::Streaming ? 0 : d.openError;
    lock.unlock();
    if (error != 0) d.join();
    return error;
}

void HttpStream::stop() {
    Impl& d = *impl_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = true;
        if (d.multi) curl_multi_wakeup(d.multi);
        // From inside an event the download ends when the event returns.
        if (d.threadId == std::this_thread::get_id()) return;
    }
    d.join();
}

}  // namespace engine::net
