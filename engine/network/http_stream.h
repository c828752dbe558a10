// One radio stream's download: libcurl on a thread of its own, ICY metadata cut
// out of the audio bytes, playlists resolved, response headers kept.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine::net {

// What open() and onEnd report when stop() ended the download
// (BASS_ERROR_UNKNOWN).
inline constexpr int kStoppedError = -1;
// What open() reports when onPlaylist took the station (an HLS playlist a
// source plays); the download has ended.
inline constexpr int kTakenBySource = -2;

struct HttpOptions {
    int timeoutMs = 5000;           // connect, and each read while waiting for headers or data
    bool resolvePlaylists = false;  // a .pls / .m3u answer resolves to its first playable entry
    int maxRedirects = 5;
    std::string range;  // "first-last": asks for those bytes only (a source's part of a file)
};

struct HttpResponse {
    bool icy = false;                  // the status line was "ICY 200 OK"
    std::string statusLine;            // "ICY 200 OK", "HTTP/1.0 200 OK"
    std::vector<std::string> headers;  // "name: value" lines as received, in order, no line ends
    std::string contentType;           // lower-cased, parameters removed
    std::string effectiveUrl;          // after redirects and playlist resolution
    long metaint = 0;                  // icy-metaint, 0 when none
};

// Events arrive on the download thread, in download order. None is called
// while the HttpStream holds a lock that its own calls take.
struct HttpEvents {
    // Once, after the final response's headers and before any audio; it
    // has returned before open() returns 0 (audio may already flow by then).
    std::function<void(const HttpResponse&)> onHeaders;
    // Audio bytes as received, metadata removed.
    std::function<void(const unsigned char* data, size_t size)> onAudio;
    // A metadata text that differs from the one before, after every audio byte
    // that preceded its block and before any byte that follows it.
    std::function<void(const std::string& meta)> onMeta;
    // Once, when the download has ended for any reason after onHeaders
    // (0 = the server closed, otherwise a BASS_ERROR_* code; kStoppedError
    // after stop()). Not called when open() failed. An incomplete metadata
    // block at the end is dropped.
    std::function<void(int error)> onEnd;
    // An HLS playlist was read (its response, its body, and whether the body
    // is whole): true when a source takes the station, so open() ends with
    // kTakenBySource. Without it, or when refused, the station fails with
    // BASS_ERROR_FILEFORM. Set, it also has playlists read when
    // resolvePlaylists is off.
    std::function<bool(const HttpResponse&, const std::string& body, bool whole)> onPlaylist;
};

class HttpStream {
public:
    HttpStream();
    ~HttpStream();  // stop()
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;

    // Starts the download thread and blocks until the final response's headers
    // are in (0) or the connection failed (a BASS_ERROR_* code). A trailing
    // line feed or carriage return of the URL is ignored. Call once.
    int open(const std::string& url, const HttpOptions& options, HttpEvents events);

    // Ends the download and joins its thread. Safe from any thread except
    // from inside an event; idempotent. It waits for a running event to
    // return, so an event that waits for its owner (for room in a buffer)
    // must be released before stop() is called.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace engine::net
