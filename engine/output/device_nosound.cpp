// "No sound": the mix runs in real time on a thread of its own and is thrown
// away, so streams play, meter and end exactly as they would on a device.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/thread_name.h"
#include "engine/output/output.h"

namespace engine::out {

namespace {

constexpr int kBufferFrames = 1024;
constexpr int kChannels = 2;

class NoSoundOutput : public Output {
public:
    NoSoundOutput(int rate, RenderFn render) : render_(std::move(render)), format_{rate, kChannels, kBufferFrames} {}

    ~NoSoundOutput() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    Format format() const override { return format_; }
    const char* driver() const override { return "nosound"; }
    void start() override {
        thread_ = std::thread([this] { run(); });
    }

private:
    void run() {
        nameThisThread("tl-nosound");
        std::vector<float> block(size_t(kBufferFrames) * kChannels);
        auto period = std::chrono::nanoseconds(int64_t(kBufferFrames) * 1000000000 / format_.rate);
        auto next = std::chrono::steady_clock::now();
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            render_(block.data(), kBufferFrames);
            next += period;
            // After a long stall (a suspended machine) start afresh rather
            // than render a burst to catch up.
            auto now = std::chrono::steady_clock::now();
            if (next < now - period * 4) next = now;
            lock.lock();
            wake_.wait_until(lock, next, [this] { return stopping_; });
        }
    }

    RenderFn render_;
    Format format_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;  // guarded by mutex_
    std::thread thread_;
};

}  // namespace

std::unique_ptr<Output> openNoSound(int rate, RenderFn render) {
    return std::make_unique<NoSoundOutput>(rate, std::move(render));
}

}  // namespace engine::out
