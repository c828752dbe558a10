#include "engine/core/channel_writer.h"

#include "engine/core/mixer.h"

namespace engine {

bool ChannelWriter::write(const decode::AudioFormat& format, const float* samples, size_t frames) {
    if (!resampler_ || resampler_->inRate() != format.rate || resampler_->channels() != format.channels) {
        // The previous format's tail goes out before the new format starts.
        if (!flush()) return false;
        resampler_ = std::make_unique<decode::Resampler>(format.rate, channel_.deviceRate(), format.channels);
    }
    resampled_.clear();
    resampler_->process(samples, frames, resampled_);
    return store(format.channels);
}

bool ChannelWriter::flush() {
    if (!resampler_) return true;
    resampled_.clear();
    resampler_->flush(resampled_);
    return store(resampler_->channels());
}

// Stores resampled_ (`channels` per frame) in the channel's own layout.
bool ChannelWriter::store(int channels) {
    size_t frames = resampled_.size() / size_t(channels);
    if (frames == 0) return true;
    const float* data = resampled_.data();
    int stored = channel_.format().channels;
    if (channels != stored) {
        mapped_.assign(frames * size_t(stored), 0.0f);
        addMapped(data, channels, mapped_.data(), stored, int(frames));
        data = mapped_.data();
    }
    return channel_.write(data, frames);
}

}  // namespace engine
