#include "plugins/opus/opus_decoder.h"

namespace opus {
namespace {

constexpr int kRate = 48000;
constexpr int kMaxChannels = 8;
// 120 ms, the longest Opus packet, of every channel.
constexpr size_t kMaxFrames = 5760;
// Damaged packets or pages in a row before the stream is given up.
constexpr int kMaxErrorsInARow = 32;

int readFromGate(void* source, unsigned char* out, int size) {
    return int(static_cast<PageGate*>(source)->read(out, size_t(size)));
}

}  // namespace

OpusDecoder::~OpusDecoder() {
    if (file_) op_free(file_);
}

// opusfile starts once the first song's headers and audio are released.
bool OpusDecoder::open() {
    if (file_) return true;
    if (gate_.songs().empty()) return false;
    OpusFileCallbacks callbacks = {readFromGate, nullptr, nullptr, nullptr};
    int error = 0;
    file_ = op_open_callbacks(&gate_, &callbacks, nullptr, 0, &error);
    if (!file_) failed_ = true;
    return file_ != nullptr;
}

// Each song's comments come from the gate in the order its songs began.
void OpusDecoder::startSong(int link, TunelarkPcm& pcm) {
    pcm.streamChanged = link_ >= 0;
    link_ = link;
    if (!gate_.songs().empty()) {
        comments_ = std::move(gate_.songs().front());
        gate_.songs().pop_front();
    }
    texts_.clear();
    for (auto& c : comments_) texts_.push_back(c.c_str());
}

void OpusDecoder::decode(TunelarkPcm& pcm) {
    pcm = TunelarkPcm{};
    if (!failed_ && open()) {
        samples_.resize(kMaxFrames * kMaxChannels);
        int link = -1;
        int frames = op_read_float(file_, samples_.data(), int(samples_.size()), &link);
        const OpusHead* head = frames > 0 ? op_head(file_, link) : nullptr;
        if (head && head->channel_count <= kMaxChannels) {
            if (link != link_) startSong(link, pcm);
            errorsInARow_ = 0;
            pcm = {samples_.data(), frames, kRate, head->channel_count, pcm.streamChanged};
            return;
        }
        // 0: the released pages are used up; a hole is a lost page, decoding
        // goes on after it.
        if (frames != 0 && ++errorsInARow_ > kMaxErrorsInARow) failed_ = true;
        if (frames > 0) failed_ = true;  // more channels than we play
    }
    if (failed_) pcm.frames = -1;
}

size_t OpusDecoder::comments(const char* const** texts) {
    *texts = texts_.data();
    return texts_.size();
}

}  // namespace opus
