#include "engine/output/device_keeper.h"

#include <utility>

#include "engine/core/thread_name.h"

namespace engine::out {

namespace {

// How often an open device, or one wanted but not to be had, is looked at:
// a lost device is heard again within about this.
constexpr auto kPollInterval = std::chrono::milliseconds(250);
// A pause, or the gap of a station change, keeps the device: closing and
// opening it again for each would cost more than it saves.
constexpr auto kIdleGrace = std::chrono::seconds(3);

}  // namespace

DeviceKeeper::~DeviceKeeper() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    signal_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DeviceKeeper::start() {
    lastWanted_ = Clock::now();
    thread_ = std::thread([this] { run(); });
}

void DeviceKeeper::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    signal_.notify_all();
}

bool DeviceKeeper::wanted(Clock::time_point now) const {
    return now - lastWanted_ < kIdleGrace;
}

void DeviceKeeper::run() {
    nameThisThread("tl-device");
    std::unique_lock lock(mutex_);
    auto signalled = [this] { return stopping_ || woken_; };
    while (!stopping_) {
        // A closed device nobody wants costs nothing: no wake-up until a
        // stream starts.
        if (open_ || wanted(Clock::now()))
            signal_.wait_for(lock, kPollInterval, signalled);
        else
            signal_.wait(lock, signalled);
        if (stopping_) break;
        bool woken = std::exchange(woken_, false);
        lock.unlock();
        step(woken);
        lock.lock();
    }
}

void DeviceKeeper::step(bool woken) {
    auto now = Clock::now();
    if (woken || ops_.busy()) lastWanted_ = now;
    bool wanted = this->wanted(now);
    if (open_ && (!wanted || ops_.lost())) {
        ops_.close();
        open_ = false;
    }
    if (!open_ && wanted) open_ = ops_.open();
}

}  // namespace engine::out
