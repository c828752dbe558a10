// MP3 (and MPEG layer I/II) streams through libmpg123's feed API.
#include <mpg123.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/bass.h"
#include "engine/decode/decoder.h"

namespace engine::decode {
namespace {

// Bytes handed to mpg123 at a time: keeps its internal buffer small, so
// reopening after an error loses little.
constexpr size_t kFeedChunk = 16 * 1024;
// A stream that yields no audio in this many bytes (junk, or a huge tag) is
// given up; at 128 kbit/s this is half a minute.
constexpr size_t kMaxBytesWithoutAudio = 512 * 1024;
// Decoding errors in a row before the stream is given up.
constexpr int kMaxErrorsInARow = 32;

bool sameFormat(const AudioFormat& a, const AudioFormat& b) {
    return a.rate == b.rate && a.channels == b.channels;
}

class Mp3Decoder final : public Decoder {
public:
    Mp3Decoder() {
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        handle_ = mpg123_new(nullptr, nullptr);
        if (!handle_ || !configure() || mpg123_open_feed(handle_) != MPG123_OK)
            failed_ = true;
        else
            scratch_.resize(mpg123_outblock(handle_) / sizeof(float));
    }

    ~Mp3Decoder() override {
        if (handle_) mpg123_delete(handle_);
    }

    void feed(const unsigned char* data, size_t size) override {
        if (failed_ || size == 0) return;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(pendingPos_));
        pendingPos_ = 0;
        pending_.insert(pending_.end(), data, data + size);
    }

    long decode(std::vector<float>& out) override;

    AudioFormat format() const override { return current_; }

private:
    bool configure();
    bool feedMore();
    bool recover();
    long readFrame(std::vector<float>& out, int& status);

    mpg123_handle* handle_ = nullptr;
    std::vector<unsigned char> pending_;  // fed bytes mpg123 has not had yet
    std::vector<float> scratch_;          // room for the largest frame mpg123 can decode
    size_t pendingPos_ = 0;
    AudioFormat current_;
    std::optional<AudioFormat> nextFormat_;  // announced, no sample of it appended yet
    size_t bytesWithoutAudio_ = 0;
    int errorsInARow_ = 0;
    bool failed_ = false;
};

bool Mp3Decoder::configure() {
    // Junk may come before the first frame and in the middle: resync without limit
    // (kMaxBytesWithoutAudio bounds it instead). A radio stream is many files
    // one after the other, so one file's gapless trimming info must not cut
    // the others.
    if (mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK ||
        mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK || mpg123_format_none(handle_) != MPG123_OK)
        return false;
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        if (mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK)
            return false;
    return true;
}

// Hands mpg123 the next piece of the fed bytes; false when none is left.
bool Mp3Decoder::feedMore() {
    size_t size = std::min(kFeedChunk, pending_.size() - pendingPos_);
    if (size == 0) return false;
    if (mpg123_feed(handle_, pending_.data() + pendingPos_, size) != MPG123_OK) {
        failed_ = true;  // out of memory
        return false;
    }
    pendingPos_ += size;
    bytesWithoutAudio_ += size;
    return true;
}

// After an error mpg123 starts over on the bytes that follow; the few it
// still held are lost.
bool Mp3Decoder::recover() {
    if (++errorsInARow_ > kMaxErrorsInARow) return false;
    mpg123_close(handle_);
    return mpg123_open_feed(handle_) == MPG123_OK;
}

// One mpg123_read, appended to out; returns the frames appended.
long Mp3Decoder::readFrame(std::vector<float>& out, int& status) {
    size_t done = 0;
    status = mpg123_read(handle_, scratch_.data(), scratch_.size() * sizeof(float), &done);
    if (done == 0) return 0;
    size_t samples = done / sizeof(float);
    out.insert(out.end(), scratch_.begin(), scratch_.begin() + static_cast<long>(samples));
    errorsInARow_ = 0;
    bytesWithoutAudio_ = 0;
    return static_cast<long>(samples) / std::max(current_.channels, 1);
}

long Mp3Decoder::decode(std::vector<float>& out) {
    if (failed_) return -1;
    if (nextFormat_) current_ = *std::exchange(nextFormat_, std::nullopt);
    long added = 0;
    for (;;) {
        int status = MPG123_OK;
        added += readFrame(out, status);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            // A format mpg123 cannot tell, or a rate of 0, must not reach the
            // resampler: the stream is undecodable from here.
            if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0) {
                failed_ = true;
                break;
            }
            AudioFormat next{static_cast<int>(rate), channels, BASS_CTYPE_STREAM_MP3};
            // Samples of two formats never share one call's output.
            if (added > 0 && !sameFormat(next, current_)) {
                nextFormat_ = next;
                return added;
            }
            current_ = next;
        } else if (status == MPG123_NEED_MORE) {
            if (!feedMore()) break;
        } else if (status != MPG123_OK && !recover()) {
            failed_ = true;
            break;
        }
        if (bytesWithoutAudio_ > kMaxBytesWithoutAudio) failed_ = true;
        if (failed_) break;
    }
    if (failed_ && added == 0) return -1;
    return added;
}

}  // namespace

std::unique_ptr<Decoder> makeMp3Decoder() {
    return std::make_unique<Mp3Decoder>();
}

}  // namespace engine::decode
