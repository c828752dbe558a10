// BASS_StreamCreateURL: the download (HttpStream) feeds the decoder, whose
// audio is resampled to the device rate and buffered in the channel.
//
// Threads: the creating thread waits in BASS_StreamCreateURL; every event of
// the download (headers, audio, metadata, end) runs on the download thread,
// which also decodes. The download callback and the META and OGG_CHANGE syncs
// are called there, between the bytes they belong to.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "engine/config.h"
#include "engine/decode/decoder.h"
#include "engine/decode/resampler.h"
#include "engine/errors.h"
#include "engine/network/http_stream.h"
#include "engine/streams.h"
#include "engine/text_match.h"

using namespace engine;

namespace {

// More than a server's 64 KiB burst at any usual bit rate.
constexpr int kMinBufferSeconds = 10;
// Bytes examined for a known format before the stream is refused.
constexpr size_t kMaxProbeBytes = 1 << 20;

// Copies frames of `in` (inChannels) as `outChannels` frames into out.
void convertChannels(const float* in, int inChannels, size_t frames, int outChannels, std::vector<float>& out) {
    out.assign(frames * size_t(outChannels), 0.0f);
    addMapped(in, inChannels, out.data(), outChannels, int(frames));
}

class UrlFeeder : public Feeder {
public:
    UrlFeeder(std::shared_ptr<Channel> channel, DOWNLOADPROC* proc, void* user)
        : channel_(std::move(channel)), proc_(proc), user_(user) {}

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
    void consume(const unsigned char* data, size_t size);
    bool startDecoder(const unsigned char* data, size_t size);
    void decodeAvailable();
    void push(const decode::AudioFormat& format, const float* samples, size_t frames);
    bool flushResampler();  // false once the channel is closed
    bool writeResampled(int channels);
    void onStreamChange();
    // Decides the create's outcome once; false when it was decided before.
    bool settle(int error);

    const std::shared_ptr<Channel> channel_;
    DOWNLOADPROC* const proc_;
    void* const user_;
    net::HttpStream http_;

    // The download thread's own.
    std::string contentType_;
    std::vector<unsigned char> probe_;
    std::unique_ptr<decode::Decoder> decoder_;
    bool vorbis_ = false;
    std::unique_ptr<decode::Resampler> resampler_;
    std::vector<float> pcm_, resampled_, mapped_;
    bool dead_ = false;  // no more decoding: failed, or the channel closed

    // The outcome of the create, for the waiting thread.
    std::mutex mutex_;
    std::condition_variable settled_;
    bool settledDone_ = false;  // guarded by mutex_
    int error_ = BASS_OK;       // guarded by mutex_
};

net::HttpEvents UrlFeeder::events() {
    net::HttpEvents events;
    events.onHeaders = [this](const net::HttpResponse& r) { onHeaders(r); };
    events.onAudio = [this](const unsigned char* data, size_t size) { onAudio(data, size); };
    events.onMeta = [this](const std::string& meta) { onMeta(meta); };
    events.onEnd = [this](int error) { onEnd(error); };
    return events;
}

int UrlFeeder::start(const std::string& url) {
    net::HttpOptions options;
    options.timeoutMs = config::netTimeoutMs();
    options.resolvePlaylists = config::netPlaylist();
    int error = http_.open(url, options, events());
    if (error == net::kStoppedError) return BASS_ERROR_INIT;  // BASS_Free ended it
    if (error != 0) return error;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    std::unique_lock lock(mutex_);
    if (!settled_.wait_until(lock, deadline, [this] { return settledDone_; })) {
        settledDone_ = true;  // a format found from now on comes too late
        error_ = BASS_ERROR_TIMEOUT;
    }
    return error_;
}

void UrlFeeder::stop() {
    settle(BASS_ERROR_INIT);  // wakes a creator still waiting
    http_.stop();
}

bool UrlFeeder::settle(int error) {
    {
        std::lock_guard lock(mutex_);
        if (settledDone_) return false;
        settledDone_ = true;
        error_ = error;
    }
    settled_.notify_all();
    return true;
}

void UrlFeeder::callProc(const void* buffer, DWORD length) {
    if (!proc_) return;
    CallbackScope scope(*channel_);
    if (scope) proc_(buffer, length, user_);
}

void UrlFeeder::onHeaders(const net::HttpResponse& response) {
    contentType_ = response.contentType;
    std::vector<std::string> texts{response.statusLine};
    texts.insert(texts.end(), response.headers.begin(), response.headers.end());
    std::string block = textList(texts);
    channel_->tags().set(response.icy ? BASS_TAG_ICY : BASS_TAG_HTTP, block);
    if (channel_->flags() & BASS_STREAM_STATUS) callProc(block.data(), 0);
}

void UrlFeeder::onAudio(const unsigned char* data, size_t size) {
    callProc(data, DWORD(size));
    if (!dead_ && !channel_->closed()) consume(data, size);
}

void UrlFeeder::onMeta(const std::string& meta) {
    channel_->tags().set(BASS_TAG_META, meta.c_str());
    channel_->fireSyncs(BASS_SYNC_META, 0);
}

void UrlFeeder::onEnd(int error) {
    callProc(nullptr, 0);  // not after a free: the channel is closed by then
    if (resampler_ && !dead_) flushResampler();
    channel_->endOfData();
    if (error != 0 && error != net::kStoppedError)
        settle(error);
    else
        settle(decoder_ || probe_.empty() ? BASS_ERROR_UNSTREAMABLE : BASS_ERROR_FILEFORM);
}

void UrlFeeder::consume(const unsigned char* data, size_t size) {
    if (!decoder_) {
        if (!startDecoder(data, size)) return;
    } else {
        decoder_->feed(data, size);
    }
    decodeAvailable();
}

// Collects bytes until their format is known; true once a decoder has them.
bool UrlFeeder::startDecoder(const unsigned char* data, size_t size) {
    probe_.insert(probe_.end(), data, data + size);
    auto probe = decode::probeFormat(probe_.data(), probe_.size(), contentType_);
    if (probe == decode::Probe::NeedMore && probe_.size() <= kMaxProbeBytes) return false;
    if (probe != decode::Probe::Mp3 && probe != decode::Probe::Vorbis) {
        dead_ = true;
        settle(BASS_ERROR_FILEFORM);
        return false;
    }
    vorbis_ = probe == decode::Probe::Vorbis;
    decoder_ = vorbis_ ? decode::makeVorbisDecoder() : decode::makeMp3Decoder();
    decoder_->onStreamChange = [this] { onStreamChange(); };
    decoder_->feed(probe_.data(), probe_.size());
    probe_ = {};
    return true;
}

void UrlFeeder::decodeAvailable() {
    while (!dead_) {
        pcm_.clear();
        long frames = decoder_->decode(pcm_);
        if (frames == 0) return;
        if (frames < 0) {  // too many errors in a row: play what came, then end
            dead_ = true;
            channel_->endOfData();
            settle(BASS_ERROR_DECODE);
            return;
        }
        push(decoder_->format(), pcm_.data(), size_t(frames));
    }
}

void UrlFeeder::push(const decode::AudioFormat& format, const float* samples, size_t frames) {
    if (!channel_->hasFormat()) {
        int stored = std::min(format.channels, kMaxSourceChannels);
        channel_->setFormat({format.rate, stored, format.ctype});
        if (vorbis_) channel_->tags().set(BASS_TAG_OGG, textList(decoder_->comments()));
        // Before the first write: a first block larger than the buffer must
        // not keep the creator waiting for a play that cannot start yet.
        if (!settle(BASS_OK)) {  // the creator gave up: nobody will read
            dead_ = true;
            return;
        }
    }
    if (!resampler_ || resampler_->inRate() != format.rate || resampler_->channels() != format.channels) {
        // The previous format's tail goes out before the new format starts.
        if (resampler_ && !flushResampler()) {
            dead_ = true;
            return;
        }
        try {
            resampler_ = std::make_unique<decode::Resampler>(format.rate, channel_->deviceRate(), format.channels);
        } catch (const std::exception&) {  // soxr refuses the rate: a format we cannot play
            dead_ = true;
            channel_->endOfData();
            settle(BASS_ERROR_FORMAT);
            return;
        }
    }
    resampled_.clear();
    resampler_->process(samples, frames, resampled_);
    if (!writeResampled(format.channels)) dead_ = true;
}

bool UrlFeeder::flushResampler() {
    resampled_.clear();
    resampler_->flush(resampled_);
    return writeResampled(resampler_->channels());
}

// Stores resampled_ (`channels` per frame) in the channel's own layout.
bool UrlFeeder::writeResampled(int channels) {
    size_t frames = resampled_.size() / size_t(channels);
    if (frames == 0) return true;
    const float* data = resampled_.data();
    int stored = channel_->format().channels;
    if (channels != stored) {
        convertChannels(data, channels, frames, stored, mapped_);
        data = mapped_.data();
    }
    return channel_->write(data, frames);
}

void UrlFeeder::onStreamChange() {
    channel_->tags().set(BASS_TAG_OGG, textList(decoder_->comments()));
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
