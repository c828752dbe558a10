// BASS_StreamCreateURL: the download (HttpStream) feeds the decoding stage,
// whose audio the channel writer resamples into the channel; the create
// waits for the outcome.
//
// Threads: the creating thread waits in BASS_StreamCreateURL; every event of
// the download (headers, audio, metadata, end) runs on the download thread,
// which also decodes. The download callback and the META and OGG_CHANGE syncs
// are called there, between the bytes they belong to. An HLS playlist that a
// source plug-in claims is played by that source on a thread of its own
// (SourceRun), which then is the download thread.
#include <algorithm>

#include "engine/api/config.h"
#include "engine/api/errors.h"
#include "engine/core/channel_writer.h"
#include "engine/core/create_outcome.h"
#include "engine/core/streams.h"
#include "engine/core/text_match.h"
#include "engine/decode/decode_stage.h"
#include "engine/network/http_stream.h"
#include "engine/source/source_run.h"

using namespace engine;

namespace {

// More than a server's 64 KiB burst at any usual bit rate.
constexpr int kMinBufferSeconds = 10;

class UrlFeeder : public Feeder, private decode::AudioSink, private source::SourceSink {
public:
    UrlFeeder(std::shared_ptr<Channel> channel, DOWNLOADPROC* proc, void* user)
        : channel_(std::move(channel)), proc_(proc), user_(user), decoding_(*this), writer_(*channel_) {}

    // Connects, then waits for the first decoded audio; BASS_OK or the reason.
    int start(const std::string& url);
    void stop() override;

private:
    net::HttpEvents events();
    void onHeaders(const net::HttpResponse& response);
    void onAudio(const unsigned char* data, size_t size);
    void onMeta(const std::string& meta);
    void onEnd(int error);
    void callProc(const void* buffer, DWORD length);
    bool audio(const decode::AudioFormat& format, const float* samples, size_t frames) override;
    void streamChanged() override;
    bool startChannel(const decode::AudioFormat& format);
    bool claim(const net::HttpResponse& response, const std::string& body, bool whole);
    bool sourceAudio(const decode::AudioFormat& format, const float* samples, size_t frames) override;
    void sourceReceived(const unsigned char* data, size_t size) override;
    void sourceMeta(const std::string& text) override { onMeta(text); }
    void sourceEnded(int error) override;

    const std::shared_ptr<Channel> channel_;
    DOWNLOADPROC* const proc_;
    void* const user_;
    net::HttpStream http_;
    source::SourceRun source_;
    CreateOutcome outcome_;
    source::Claim claim_;       // the creating thread's, until the source starts
    HPLUGIN sourcePlugin_ = 0;  // set before the source starts

    // The download thread's own.
    decode::DecodeStage decoding_;
    ChannelWriter writer_;
    bool dead_ = false;  // no more decoding: failed, or the channel closed
};

net::HttpEvents UrlFeeder::events() {
    net::HttpEvents events;
    events.onHeaders = [this](const net::HttpResponse& r) { onHeaders(r); };
    events.onAudio = [this](const unsigned char* data, size_t size) { onAudio(data, size); };
    events.onMeta = [this](const std::string& meta) { onMeta(meta); };
    events.onEnd = [this](int error) { onEnd(error); };
    if (!source::sourceKinds().empty())
        events.onPlaylist = [this](const net::HttpResponse& r, const std::string& body, bool whole) {
            return claim(r, body, whole);
        };
    return events;
}

int UrlFeeder::start(const std::string& url) {
    net::HttpOptions options;
    options.timeoutMs = config::netTimeoutMs();
    options.resolvePlaylists = config::netPlaylist();
    int error = http_.open(url, options, events());
    if (error == net::kTakenBySource) error = source_.start(std::move(claim_), options, *this);
    if (error == net::kStoppedError) return BASS_ERROR_INIT;  // BASS_Free ended it
    if (error != 0) return error;
    return outcome_.wait(options.timeoutMs);
}

void UrlFeeder::stop() {
    outcome_.settle(BASS_ERROR_INIT);  // wakes a creator still waiting
    http_.stop();
    source_.stop();
}

// On the download thread, before open() returns: the playlist's head is the
// stream's head, as a station's would be.
bool UrlFeeder::claim(const net::HttpResponse& response, const std::string& body, bool whole) {
    auto bytes = reinterpret_cast<const unsigned char*>(body.data());
    for (const auto& kind : source::sourceKinds()) {
        if (!kind.ops->claim(response.effectiveUrl.c_str(), response.contentType.c_str(), bytes, body.size())) continue;
        claim_ = {kind, response.effectiveUrl, body, whole};
        sourcePlugin_ = kind.plugin;
        onHeaders(response);
        return true;
    }
    return false;
}

bool UrlFeeder::sourceAudio(const decode::AudioFormat& format, const float* samples, size_t frames) {
    if (dead_ || channel_->closed()) return false;
    return audio(format, samples, frames);
}

void UrlFeeder::sourceReceived(const unsigned char* data, size_t size) {
    callProc(data, DWORD(size));
}

void UrlFeeder::sourceEnded(int error) {
    // A station that ended before its first audio could not be played.
    onEnd(error != 0 ? error : BASS_ERROR_UNSTREAMABLE);
}

void UrlFeeder::callProc(const void* buffer, DWORD length) {
    if (!proc_) return;
    CallbackScope scope(*channel_);
    if (scope) proc_(buffer, length, user_);
}

void UrlFeeder::onHeaders(const net::HttpResponse& response) {
    decoding_.setContentType(response.contentType);
    std::vector<std::string> texts{response.statusLine};
    texts.insert(texts.end(), response.headers.begin(), response.headers.end());
    std::string block = textList(texts);
    channel_->tags().set(response.icy ? BASS_TAG_ICY : BASS_TAG_HTTP, block);
    if (channel_->flags() & BASS_STREAM_STATUS) callProc(block.data(), 0);
}

void UrlFeeder::onAudio(const unsigned char* data, size_t size) {
    callProc(data, DWORD(size));
    if (dead_ || channel_->closed()) return;
    int error = decoding_.consume(data, size);
    if (error == BASS_OK) return;
    dead_ = true;
    // After a decoding failure, what came plays out, then the stream ends.
    if (error == BASS_ERROR_DECODE) channel_->endOfData();
    outcome_.settle(error);
}

void UrlFeeder::onMeta(const std::string& meta) {
    channel_->tags().set(BASS_TAG_META, meta.c_str());
    channel_->fireSyncs(BASS_SYNC_META, 0);
}

void UrlFeeder::onEnd(int error) {
    callProc(nullptr, 0);  // not after a free: the channel is closed by then
    if (!dead_) writer_.flush();
    channel_->endOfData();
    outcome_.settle(error != 0 && error != net::kStoppedError ? error : decoding_.endError());
}

bool UrlFeeder::audio(const decode::AudioFormat& format, const float* samples, size_t frames) {
    if (!channel_->hasFormat() && !startChannel(format)) return false;
    if (writer_.write(format, samples, frames)) return true;
    dead_ = true;
    return false;
}

// The first audio fixes the channel's format and ends the create's wait.
bool UrlFeeder::startChannel(const decode::AudioFormat& format) {
    const decode::DecoderKind* kind = decoding_.kind();
    int stored = std::min(format.channels, kMaxSourceChannels);
    channel_->setFormat({format.rate, stored, format.ctype, kind ? kind->plugin : sourcePlugin_});
    if (kind && kind->hasComments) channel_->tags().set(BASS_TAG_OGG, textList(decoding_.comments()));
    // Before the first write: a first block larger than the buffer must not
    // keep the creator waiting for a play that cannot start yet.
    if (outcome_.settle(BASS_OK)) return true;
    dead_ = true;  // the creator gave up: nobody will read
    return false;
}

void UrlFeeder::streamChanged() {
    channel_->tags().set(BASS_TAG_OGG, textList(decoding_.comments()));
    channel_->fireSyncs(BASS_SYNC_OGG_CHANGE, 0);
}

std::shared_ptr<Channel> makeChannel(const Runtime& runtime, const char* url, DWORD flags) {
    int rate = runtime.format.rate;
    int seconds = std::max(kMinBufferSeconds, config::netBufferMs() * 2 / 1000);
    size_t prebuf = size_t(int64_t(config::netBufferMs()) * config::netPrebuf() / 100 * rate / 1000);
    return std::make_shared<Channel>(flags, rate, withoutLineEnd(url), size_t(rate) * seconds, prebuf);
}

}  // namespace

HSTREAM BASS_StreamCreateURL(const char* url, DWORD, DWORD flags, DOWNLOADPROC* proc, void* user) {
    auto runtime = requireRuntime();
    if (!runtime) return 0;
    if (!url) return fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
    auto channel = makeChannel(*runtime, url, flags);
    auto feeder = std::make_shared<UrlFeeder>(channel, proc, user);
    auto pending = std::make_shared<PendingCreate>(PendingCreate{channel, feeder});
    if (!beginCreate(runtime, pending)) return 0;
    int error = feeder->start(url);
    endCreate(pending);
    HSTREAM handle = 0;
    if (error == BASS_OK) {
        channel->setFeeder(feeder);
        handle = registerStream(runtime, channel);
        if (handle == 0) error = BASS_ERROR_INIT;
    }
    if (handle == 0) {
        // Audio may already fill the buffer when only the registration
        // failed: closing releases the writer. Otherwise the channel stays
        // open through stop(), so the download callback hears of the end.
        if (error == BASS_ERROR_INIT) channel->close();
        feeder->stop();
        channel->close();
        channel->finish();
        return fail(error, HSTREAM(0));
    }
    return ok(handle);
}
