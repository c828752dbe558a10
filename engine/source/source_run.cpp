#include "engine/source/source_run.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <system_error>

#include "engine/api/errors.h"
#include "engine/bass.h"
#include "engine/core/text_match.h"
#include "engine/core/thread_name.h"
#include "engine/network/curl_transfer.h"
#include "engine/network/http_headers.h"

struct TunelarkSourceHost {
    engine::source::SourceRun* run;
};

namespace engine::source {
namespace {

static_assert(TUNELARK_ERROR_MEM == BASS_ERROR_MEM && TUNELARK_ERROR_DECODE == BASS_ERROR_DECODE &&
              TUNELARK_ERROR_TIMEOUT == BASS_ERROR_TIMEOUT && TUNELARK_ERROR_FILEFORM == BASS_ERROR_FILEFORM &&
              TUNELARK_ERROR_UNSTREAMABLE == BASS_ERROR_UNSTREAMABLE && TUNELARK_ERROR_HTTP == BASS_ERROR_HTTP &&
              TUNELARK_ERROR_PROTOCOL == BASS_ERROR_PROTOCOL && TUNELARK_ERROR_STOPPED == net::kStoppedError);

// What a plug-in hands over is checked like any input.
constexpr int kMaxChannels = 8;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr long kMaxFrames = 1 << 20;
// The longest sleep a source may ask for; a live playlist reloads sooner.
constexpr int kMaxWaitMs = 60 * 1000;

SourceRun& of(TunelarkSourceHost* host) {
    return *host->run;
}

int hostFetch(TunelarkSourceHost* h, const char* url, size_t maxBytes, int timeLimitMs, TunelarkFetched* out) {
    return of(h).fetch(url, maxBytes, timeLimitMs, out);
}
int hostAudio(TunelarkSourceHost* h, const TunelarkPcm* pcm, uint32_t ctype) {
    return of(h).audio(pcm, ctype);
}
void hostReceived(TunelarkSourceHost* h, const unsigned char* data, size_t size) {
    of(h).received(data, size);
}
void hostMeta(TunelarkSourceHost* h, const char* text) {
    of(h).meta(text);
}
int hostWait(TunelarkSourceHost* h, int ms) {
    return of(h).wait(ms);
}
int hostFetchRange(TunelarkSourceHost* h, const char* url, uint64_t offset, size_t length, int timeLimitMs,
                   TunelarkFetched* out) {
    return of(h).fetchRange(url, offset, length, timeLimitMs, out);
}

const TunelarkHostOps kHostOps = {.fetch = hostFetch,
                                  .audio = hostAudio,
                                  .received = hostReceived,
                                  .meta = hostMeta,
                                  .wait = hostWait,
                                  .fetchRange = hostFetchRange};

bool isHttpUrl(const char* url) {
    return url && (startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://"));
}

// A 206 answer: the body is the range asked for.
bool isPartial(const net::HttpResponse& response) {
    auto status = net::parseStatusLine(response.statusLine);
    return status && status->code == 206;
}

// Where the part a 206 answer holds begins ("Content-Range: bytes 100-199/1000");
// UINT64_MAX when it says none.
uint64_t rangeStart(const net::HttpResponse& response) {
    std::string value = net::headerValue(response.headers, "content-range").value_or("");
    uint64_t start = UINT64_MAX;
    if (!startsWithNoCase(value.c_str(), "bytes ")) return start;
    auto [end, error] = std::from_chars(value.data() + 6, value.data() + value.size(), start);
    return error == std::errc() && end != value.data() + 6 && *end == '-' ? start : UINT64_MAX;
}

}  // namespace

SourceRun::SourceRun() : host_(std::make_unique<TunelarkSourceHost>(TunelarkSourceHost{this})) {}

SourceRun::~SourceRun() {
    stop();
    if (multi_) curl_multi_cleanup(multi_);
}

int SourceRun::start(Claim claim, const net::HttpOptions& options, SourceSink& sink) {
    MutexLock lock(mutex_);
    if (stopping_ || started_) return BASS_ERROR_INIT;
    multi_ = curl_multi_init();
    if (!multi_) return BASS_ERROR_MEM;
    claim_ = std::move(claim);
    options_ = options;
    sink_ = &sink;
    try {
        thread_ = std::thread(&SourceRun::body, this);
    } catch (const std::system_error&) {
        return BASS_ERROR_MEM;
    }
    started_ = true;
    return BASS_OK;
}

void SourceRun::stop() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
        if (multi_) curl_multi_wakeup(multi_);
    }
    wake_.notify_all();
    MutexLock join(joinMutex_);
    if (thread_.joinable()) thread_.join();
}

// The thread's body: nothing the plug-in or the sink throws leaves it.
void SourceRun::body() {
    nameThisThread("tl-source");
    int error = 0;
    try {
        const Claim& c = claim_;
        error = c.kind.ops->run(&kHostOps, host_.get(), c.url.c_str(),
                                reinterpret_cast<const unsigned char*>(c.body.data()), c.body.size(), c.whole ? 1 : 0);
    } catch (...) {
        error = currentExceptionError();
    }
    sink_->sourceEnded(stopping_ ? net::kStoppedError : error);
}

int SourceRun::fetch(const char* url, size_t maxBytes, int timeLimitMs, TunelarkFetched* out) {
    if (stopping_) return net::kStoppedError;
    if (!out) return BASS_ERROR_ILLPARAM;
    return transfer(url, options_, 0, maxBytes, timeLimitMs, out);
}

int SourceRun::fetchRange(const char* url, uint64_t offset, size_t length, int timeLimitMs, TunelarkFetched* out) {
    if (stopping_) return net::kStoppedError;
    if (!out || length == 0 || offset > UINT64_MAX - length) return BASS_ERROR_ILLPARAM;
    net::HttpOptions options = options_;
    options.range = std::to_string(offset) + "-" + std::to_string(offset + length - 1);
    int error = transfer(url, options, offset, length, timeLimitMs, out);
    return error == 0 && out->size != length ? BASS_ERROR_FILEFORM : error;
}

int SourceRun::transfer(const char* url, const net::HttpOptions& options, uint64_t skip, size_t maxBytes,
                        int timeLimitMs, TunelarkFetched* out) {
    if (!isHttpUrl(url)) return BASS_ERROR_PROTOCOL;
    fetched_.clear();
    bool ranged = !options.range.empty();
    bool tooLarge = false;
    net::TransferHandlers handlers;
    handlers.bodyTimeLimitMs = std::max(timeLimitMs, 0);
    handlers.onHead = [&](const net::HttpResponse& response) {
        fetchedType_ = response.contentType;
        fetchedUrl_ = response.effectiveUrl.empty() ? url : response.effectiveUrl;
        if (!ranged || !isPartial(response)) return 0;
        if (rangeStart(response) != skip) return BASS_ERROR_FILEFORM;  // not the part asked for
        skip = 0;
        return 0;
    };
    handlers.onBody = [&](const char* data, size_t size) {
        size_t skipped = size_t(std::min<uint64_t>(skip, size));
        skip -= skipped;
        data += skipped;
        size -= skipped;
        // A part ends where it is whole; a whole body must fit.
        if (ranged)
            size = std::min(size, maxBytes - fetched_.size());
        else if (size > maxBytes - fetched_.size())
            return !(tooLarge = true);
        fetched_.insert(fetched_.end(), data, data + size);
        return !ranged || fetched_.size() < maxBytes;
    };
    net::TransferResult result = net::runTransfer(multi_, stopping_, url, options, handlers);
    if (result.error != 0) return result.error;
    if (tooLarge) return BASS_ERROR_FILEFORM;
    *out = {fetched_.data(), fetched_.size(), fetchedType_.c_str(), fetchedUrl_.c_str()};
    return BASS_OK;
}

int SourceRun::audio(const TunelarkPcm* pcm, uint32_t ctype) {
    if (stopping_) return 1;
    if (!pcm || pcm->frames <= 0) return 0;
    if (!pcm->samples || pcm->channels < 1 || pcm->channels > kMaxChannels || pcm->rate < kMinRate ||
        pcm->rate > kMaxRate || pcm->frames > kMaxFrames)
        return 0;  // not audio we can take: dropped, as a decoder's bad frame
    decode::AudioFormat format{pcm->rate, pcm->channels, ctype};
    return sink_->sourceAudio(format, pcm->samples, size_t(pcm->frames)) ? 0 : 1;
}

void SourceRun::received(const unsigned char* data, size_t size) {
    if (data && size > 0 && !stopping_) sink_->sourceReceived(data, size);
}

void SourceRun::meta(const char* text) {
    if (text && !stopping_) sink_->sourceMeta(text);
}

int SourceRun::wait(int ms) {
    MutexLock lock(mutex_);
    wake_.wait_for(mutex_, std::chrono::milliseconds(std::clamp(ms, 0, kMaxWaitMs)),
                   [this] { return stopping_.load(); });
    return stopping_ ? 1 : 0;
}

}  // namespace engine::source
