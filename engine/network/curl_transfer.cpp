#include "engine/network/curl_transfer.h"

#include "engine/api/errors.h"
#include "engine/bass.h"
#include "engine/network/curl_errors.h"
#include "engine/network/http_headers.h"
#include "engine/network/proxy_rules.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace engine::net {
namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

SlistPtr makeSlist(const char* item) {
    return SlistPtr(curl_slist_append(nullptr, item));
}

class Transfer {
public:
    Transfer(const std::atomic<bool>& stop, const HttpOptions& options, TransferHandlers& handlers)
        : stop_(stop), options_(options), handlers_(handlers), timeoutMs_(std::max(options.timeoutMs, 1)) {}

    TransferResult run(CURLM* multi, const std::string& url);

private:
    static size_t headerCallback(char* data, size_t size, size_t count, void* self);
    static size_t writeCallback(char* data, size_t size, size_t count, void* self);
    using Handler = size_t (Transfer::*)(const char* data, size_t size);
    size_t guarded(Handler handler, const char* data, size_t size);

    bool configure(const std::string& url);
    CURLcode drive(CURLM* multi);
    bool finished(CURLM* multi, CURLcode& code);
    size_t onHeaderBytes(const char* data, size_t size);
    size_t onBodyBytes(const char* data, size_t size);
    bool finishBlock();
    bool startBody(bool icy);
    bool timedOut(Clock::time_point now) const;
    int waitMs(Clock::time_point now) const;
    int result(CURLcode code) const;
    int headlessError(CURLcode code) const;

    const std::atomic<bool>& stop_;
    const HttpOptions& options_;
    TransferHandlers& handlers_;
    const int timeoutMs_;

    std::unique_ptr<CURL, EasyDeleter> easy_;
    SlistPtr requestHeaders_ = makeSlist("Icy-MetaData: 1");
    // libcurl takes a status line it does not know as HTTP/0.9 and refuses
    // it; naming "ICY" lets every ICY status through, its code read by us.
    SlistPtr aliases_ = makeSlist("ICY");
    std::string noProxy_ = hostsWithoutProxy();

    HeaderBlockReader reader_;
    bool headDone_ = false;
    bool pendingRedirect_ = false;  // the last head was a redirect libcurl follows
    bool endedByBody_ = false;
    int lastStatus_ = 0;
    int error_ = 0;  // our own reason to end, set by a check or a handler
    Clock::time_point requestStart_ = Clock::now();
    Clock::time_point headTime_;
    Clock::time_point lastData_;
};

TransferResult Transfer::run(CURLM* multi, const std::string& url) {
    if (!configure(url)) return {false, BASS_ERROR_MEM};
    if (curl_multi_add_handle(multi, easy_.get()) != CURLM_OK) return {false, BASS_ERROR_MEM};
    CURLcode code = drive(multi);
    curl_multi_remove_handle(multi, easy_.get());
    return {headDone_, result(code)};
}

bool Transfer::configure(const std::string& url) {
    easy_.reset(curl_easy_init());
    if (!easy_ || !requestHeaders_ || !aliases_) return false;
    CURL* e = easy_.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(std::max(options_.maxRedirects, 0)));
    if (!options_.range.empty()) curl_easy_setopt(e, CURLOPT_RANGE, options_.range.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs_));
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Tunelark/3.0");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, requestHeaders_.get());
    curl_easy_setopt(e, CURLOPT_HTTP200ALIASES, aliases_.get());
    // A proxy set in the environment is used, as the user's no_proxy says.
    curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy_.c_str());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::headerCallback);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::writeCallback);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    return true;
}

CURLcode Transfer::drive(CURLM* multi) {
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            error_ = BASS_ERROR_MEM;
            return CURLE_OK;
        }
        CURLcode code = CURLE_OK;
        if (finished(multi, code) || error_ != 0 || stop_) return code;
        Clock::time_point now = Clock::now();
        if (timedOut(now)) {
            error_ = BASS_ERROR_TIMEOUT;
            return CURLE_OK;
        }
        if (curl_multi_poll(multi, nullptr, 0, waitMs(now), nullptr) != CURLM_OK) {
            error_ = BASS_ERROR_FILEOPEN;
            return CURLE_OK;
        }
    }
}

bool Transfer::finished(CURLM* multi, CURLcode& code) {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
            code = message->data.result;
            return true;
        }
    }
    return false;
}

bool Transfer::timedOut(Clock::time_point now) const {
    auto timeout = std::chrono::milliseconds(timeoutMs_);
    if (!headDone_) return now - requestStart_ >= timeout;
    if (now - lastData_ >= timeout) return true;
    return handlers_.bodyTimeLimitMs > 0 && now - headTime_ >= std::chrono::milliseconds(handlers_.bodyTimeLimitMs);
}

// Until the nearest of our deadlines; libcurl shortens the wait itself when
// one of its own timers is due sooner.
int Transfer::waitMs(Clock::time_point now) const {
    Clock::time_point deadline = (headDone_ ? lastData_ : requestStart_) + std::chrono::milliseconds(timeoutMs_);
    if (headDone_ && handlers_.bodyTimeLimitMs > 0)
        deadline = std::min(deadline, headTime_ + std::chrono::milliseconds(handlers_.bodyTimeLimitMs));
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    return static_cast<int>(std::clamp<long long>(left, 1, 1000));
}

// The handlers run the stream's consumer (decoding, resampling, the
// program's download callback) inside libcurl, which is C: whatever they
// throw ends the transfer with its error code here instead of unwinding
// through libcurl or ending the process.
size_t Transfer::guarded(Handler handler, const char* data, size_t size) {
    try {
        return (this->*handler)(data, size);
    } catch (...) {
        error_ = currentExceptionError();
        return 0;
    }
}

size_t Transfer::headerCallback(char* data, size_t size, size_t count, void* self) {
    return static_cast<Transfer*>(self)->guarded(&Transfer::onHeaderBytes, data, size * count);
}

size_t Transfer::writeCallback(char* data, size_t size, size_t count, void* self) {
    return static_cast<Transfer*>(self)->guarded(&Transfer::onBodyBytes, data, size * count);
}

size_t Transfer::onHeaderBytes(const char* data, size_t size) {
    if (headDone_) return size;  // trailers of a chunked body
    if (stop_) return 0;
    size_t used = 0;
    while (used < size) {
        used += reader_.feed(data + used, size - used);
        if (reader_.state() == HeaderBlockReader::State::TooLarge) {
            error_ = BASS_ERROR_HEADERS;
            return 0;
        }
        if (reader_.state() == HeaderBlockReader::State::Complete && !finishBlock()) return 0;
    }
    return size;
}

// A complete head: an interim or redirect head is forgotten (libcurl goes
// on), an error status ends the transfer, a success starts the body.
bool Transfer::finishBlock() {
    std::optional<StatusLine> status = parseStatusLine(reader_.statusLine());
    if (!status) {
        error_ = BASS_ERROR_HEADERS;
        return false;
    }
    lastStatus_ = status->code;
    bool redirect = status->code / 100 == 3 && headerValue(reader_.headers(), "location").has_value();
    if (status->code < 200 || redirect) {
        pendingRedirect_ = redirect;
        if (redirect) requestStart_ = Clock::now();
        reader_.reset();
        return true;
    }
    if (status->code >= 300) {
        error_ = BASS_ERROR_HTTP;
        return false;
    }
    return startBody(status->icy);
}

bool Transfer::startBody(bool icy) {
    HttpResponse response;
    response.icy = icy;
    response.statusLine = reader_.statusLine();
    response.headers = reader_.headers();
    response.contentType = mediaType(headerValue(response.headers, "content-type").value_or(""));
    response.metaint = metaintValue(response.headers);
    char* effective = nullptr;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.effectiveUrl = effective;
    headDone_ = true;
    headTime_ = Clock::now();
    error_ = handlers_.onHead ? handlers_.onHead(response) : 0;
    lastData_ = Clock::now();
    return error_ == 0;
}

size_t Transfer::onBodyBytes(const char* data, size_t size) {
    if (stop_) return 0;
    if (!headDone_) return size;  // the body of a head we did not take
    if (handlers_.onBody && !handlers_.onBody(data, size)) {
        endedByBody_ = true;
        return 0;
    }
    // Counted from the handler's return: time a consumer spends waiting for
    // room is not a stall of the server.
    lastData_ = Clock::now();
    return size;
}

int Transfer::result(CURLcode code) const {
    if (stop_) return kStoppedError;
    if (error_ != 0) return error_;
    if (!headDone_) return headlessError(code);
    if (endedByBody_) return BASS_OK;
    return downloadEndError(code);
}

int Transfer::headlessError(CURLcode code) const {
    // The connection ended cleanly after a head we could not take: a
    // redirect libcurl would not follow (no Location it accepts).
    if (code == CURLE_OK) return lastStatus_ >= 300 ? BASS_ERROR_HTTP : BASS_ERROR_FILEOPEN;
    // Refused protocols come from a redirect elsewhere; otherwise libcurl met
    // a response with no status line at all (HTTP/0.9 or noise).
    if (code == CURLE_UNSUPPORTED_PROTOCOL && !pendingRedirect_) return BASS_ERROR_HEADERS;
    // libcurl 7.x reports a header line past its own limit (100 KiB) as out
    // of memory, before our callback could count it.
    if (code == CURLE_OUT_OF_MEMORY) return BASS_ERROR_HEADERS;
    return connectError(code);
}

}  // namespace

TransferResult runTransfer(CURLM* multi, const std::atomic<bool>& stop, const std::string& url,
                           const HttpOptions& options, TransferHandlers& handlers) {
    Transfer transfer(stop, options, handlers);
    return transfer.run(multi, url);
}

}  // namespace engine::net
