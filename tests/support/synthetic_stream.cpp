#include "tests/support/synthetic_stream.h"

#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "engine/core/streams.h"

namespace test {

namespace {

class ToneFeeder : public engine::Feeder {
public:
    ToneFeeder(std::shared_ptr<engine::Channel> channel, ToneStream tone) : channel_(std::move(channel)), tone_(tone) {}
    ~ToneFeeder() override { stop(); }

    void start() {
        thread_ = std::thread([this] { run(); });
    }

    void stop() override {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    void run() {
        const int rate = channel_->deviceRate();
        const int channels = tone_.channels;
        const long total = tone_.seconds > 0 ? long(tone_.seconds * rate) : -1;
        std::vector<float> block(size_t(1024) * channels);
        long frame = 0;
        while (!stopping_ && (total < 0 || frame < total)) {
            long count = total < 0 ? 1024 : std::min(1024L, total - frame);
            for (long i = 0; i < count; ++i) {
                float s = tone_.amplitude *
                          float(std::sin(2 * std::numbers::pi * tone_.frequency * double(frame + i) / rate));
                for (int c = 0; c < channels; ++c) block[size_t(i) * channels + c] = s;
            }
            if (!channel_->write(block.data(), size_t(count))) return;
            frame += count;
        }
        if (!stopping_) channel_->endOfData();
    }

    std::shared_ptr<engine::Channel> channel_;
    ToneStream tone_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace

HSTREAM createToneStream(const ToneStream& tone) {
    auto runtime = engine::currentRuntime();
    if (!runtime) return 0;
    int rate = runtime->format.rate;
    auto channel = std::make_shared<engine::Channel>(tone.flags, rate, "tone://generated", size_t(rate) * 2, 0);
    int ownRate = tone.rate > 0 ? int(tone.rate) : rate;
    channel->setFormat({ownRate, tone.channels, tone.ctype});
    auto feeder = std::make_shared<ToneFeeder>(channel, tone);
    channel->setFeeder(feeder);
    feeder->start();
    HSTREAM handle = engine::registerStream(runtime, channel);
    if (handle == 0) {
        channel->close();
        channel->finish();
    }
    return handle;
}

std::shared_ptr<engine::Channel> channelOf(HSTREAM handle) {
    return engine::streamTable().get(handle);
}

}  // namespace test
