#include "engine/core/channel.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "engine/core/sync_dispatch.h"

namespace engine {

namespace {

// The channel whose callback this thread is running, if any.
thread_local const Channel* callbackChannel = nullptr;

}  // namespace

Channel::Channel(DWORD flags, int deviceRate, std::string filename, size_t capacityFrames, size_t prebufFrames)
    : flags_(flags), deviceRate_(deviceRate), filename_(std::move(filename)), capacityFrames_(capacityFrames),
      prebufFrames_(std::min(prebufFrames, capacityFrames * 9 / 10)), prebuffering_(prebufFrames_ > 0),
      meter_(deviceRate) {}

Channel::~Channel() = default;

void Channel::setFormat(const StreamFormat& format) {
    format_ = format;
    buffer_ = std::make_unique<PcmBuffer>(capacityFrames_, format.channels, flags_ & BASS_SAMPLE_8BITS);
}

void Channel::setFeeder(std::shared_ptr<Feeder> feeder) {
    MutexLock lock(feederMutex_);
    feeder_ = std::move(feeder);
}

void Channel::setHandle(DWORD handle, SyncDispatcher* dispatcher) {
    handle_.store(handle);
    dispatcher_.store(dispatcher);
}

// ---- the feeder's side ----

bool Channel::write(const float* frames, size_t count) {
    while (count > 0) {
        if (closed_.load()) return false;
        size_t done = buffer_->write(frames, count);
        frames += done * size_t(format_.channels);
        count -= done;
        if (count == 0) break;
        // The output's thread never signals (it must not take a lock), so
        // a full buffer is polled; it drains in seconds, not milliseconds.
        std::unique_lock lock(writeMutex_);
        roomOrClose_.wait_for(lock, std::chrono::milliseconds(10), [this] { return closed_.load(); });
    }
    return !closed_.load();
}

void Channel::endOfData() {
    dataEnded_.store(true, std::memory_order_release);
}

size_t Channel::buffered() const {
    return buffer_ ? buffer_->available() : 0;
}

// ---- control ----

void Channel::play() {
    State current = state_.load();
    while (current != State::Ended && current != State::Playing &&
           !state_.compare_exchange_weak(current, State::Playing)) {
    }
}

int Channel::pause() {
    State current = State::Playing;
    if (state_.compare_exchange_strong(current, State::Paused)) return BASS_OK;
    return current == State::Paused ? BASS_ERROR_ALREADY : BASS_ERROR_NOPLAY;
}

void Channel::stop() {
    State current = state_.load();
    while (current != State::Ended && current != State::Stopped &&
           !state_.compare_exchange_weak(current, State::Stopped)) {
    }
}

DWORD Channel::activity() const {
    switch (state_.load()) {
    case State::Playing:
        return stalled_.load() ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
    case State::Paused:
        return BASS_ACTIVE_PAUSED;
    default:
        return BASS_ACTIVE_STOPPED;
    }
}

DWORD Channel::level() const {
    return state_.load() == State::Playing ? meter_.level() : 0;
}

// ---- effects ----

void Channel::addEffect(DWORD handle, int priority, std::unique_ptr<fx::Effect> effect) {
    effects_.add(handle, priority, std::move(effect));
}

bool Channel::removeEffect(DWORD handle) {
    return effects_.remove(handle);
}

bool Channel::setEffectParameters(DWORD handle, const void* params, bool* valid) {
    return effects_.setParameters(handle, params, valid);
}

bool Channel::getEffectParameters(DWORD handle, void* params) const {
    return effects_.getParameters(handle, params);
}

std::vector<DWORD> Channel::effectHandles() const {
    return effects_.handles();
}

// ---- syncs and callbacks ----

void Channel::addSync(DWORD handle, DWORD type, bool oneTime, SYNCPROC* proc, void* user) {
    syncs_.add(Sync{handle, type, oneTime, proc, user});
}

bool Channel::removeSync(DWORD handle) {
    return syncs_.remove(handle);
}

void Channel::fireSyncs(DWORD type, DWORD data) {
    const std::vector<Sync> due = syncs_.takeDue(type);
    if (due.empty()) return;
    const Channel* outer = std::exchange(callbackChannel, this);
    DWORD self = handle();
    for (const auto& sync : due) sync.proc(sync.handle, self, data, sync.user);
    callbackChannel = outer;
    leaveCallback();
}

bool Channel::enterCallback() {
    return syncs_.enter();
}

void Channel::leaveCallback() {
    syncs_.leave();
}

CallbackScope::CallbackScope(Channel& channel)
    : channel_(channel), outer_(callbackChannel), entered_(channel.enterCallback()) {
    if (entered_) callbackChannel = &channel;
}

CallbackScope::~CallbackScope() {
    if (!entered_) return;
    callbackChannel = outer_;
    channel_.leaveCallback();
}

bool Channel::insideCallback() const {
    return callbackChannel == this;
}

bool Channel::takeEnded() {
    return endPending_.exchange(false);
}

// ---- freeing ----

void Channel::close() {
    syncs_.close();
    closed_.store(true);
    std::lock_guard lock(writeMutex_);
    roomOrClose_.notify_all();
}

bool Channel::closed() const {
    return closed_.load();
}

void Channel::finish() {
    syncs_.waitIdle();
    std::shared_ptr<Feeder> feeder;
    {
        MutexLock lock(feederMutex_);
        feeder = std::move(feeder_);
    }
    if (feeder) feeder->stop();
}

// ---- the output's thread ----

void Channel::mixInto(float* out, int frames, int channels, float* scratch) {
    if (state_.load() != State::Playing || !buffer_) {
        meter_.reset();
        return;
    }
    int got = takeAudio(scratch, frames);
    if (got == 0 && state_.load() != State::Playing) return;  // just ended
    effects_.process(scratch, frames, format_.channels);
    applyVolume(scratch, frames);
    meter_.add(scratch, frames, format_.channels);
    addMapped(scratch, format_.channels, out, channels, frames);
}

// Fills `frames` frames of scratch: buffered audio, then silence when the
// buffer runs short. Returns the frames of audio.
int Channel::takeAudio(float* scratch, int frames) {
    // Read before the buffer: once the end is seen, every frame is in.
    bool ended = dataEnded_.load(std::memory_order_acquire);
    if (prebuffering_ && (ended || buffer_->available() >= prebufFrames_)) prebuffering_ = false;
    size_t got = prebuffering_ ? 0 : buffer_->read(scratch, size_t(frames));
    std::memset(scratch + got * format_.channels, 0, sizeof(float) * (size_t(frames) - got) * format_.channels);
    if (got == size_t(frames)) {
        stalled_.store(false);
    } else if (ended && buffer_->available() == 0) {
        finishPlayOut();
    } else {
        stalled_.store(true);
        if (prebufFrames_ > 0) prebuffering_ = true;
    }
    return int(got);
}

void Channel::finishPlayOut() {
    State playing = State::Playing;
    if (!state_.compare_exchange_strong(playing, State::Ended)) return;  // paused meanwhile
    stalled_.store(false);
    endPending_.store(true);
    if (auto* dispatcher = dispatcher_.load()) dispatcher->signal();
}

void Channel::applyVolume(float* samples, int frames) {
    float target = volume_.load(std::memory_order_relaxed);
    if (!volumeStarted_) {
        volumeRamp_.jumpTo(target);
        volumeStarted_ = true;
    }
    volumeRamp_.apply(samples, frames, format_.channels, target, deviceRate_);
}

}  // namespace engine
