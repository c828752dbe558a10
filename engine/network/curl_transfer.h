// One HTTP(S) request, run on the calling thread: libcurl's easy handle is
// driven through a multi handle so that another thread can wake it at once
// (curl_multi_wakeup), with the engine's time-outs and checks of the head.
#pragma once

#include "engine/network/http_stream.h"

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace engine::net {

struct TransferHandlers {
    // The final response's head is in. Returns 0 to read the body, or the
    // error code to end the transfer with.
    std::function<int(const HttpResponse& response)> onHead;
    // Body bytes; false ends the transfer (a normal end, code 0).
    std::function<bool(const char* data, size_t size)> onBody;
    // When not 0, the whole body must arrive within this many milliseconds
    // of the head. onHead may set it.
    int bodyTimeLimitMs = 0;
};

struct TransferResult {
    bool headReceived = false;
    // Before the head: why it never came. After it: 0 when the server closed
    // or onBody ended the transfer, otherwise a BASS_ERROR_* code.
    int error = 0;
};

// Runs a request to its end. `multi` holds no other transfer; `stop` ends the
// request (kStoppedError) at the next wake-up of `multi`. Handlers run on the
// calling thread.
TransferResult runTransfer(CURLM* multi, const std::atomic<bool>& stop, const std::string& url,
                           const HttpOptions& options, TransferHandlers& handlers);

}  // namespace engine::net
