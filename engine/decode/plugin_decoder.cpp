#include "engine/decode/plugin_decoder.h"

#include <sstream>

namespace engine::decode {
namespace {

// The plug-in reports channels and rates as it decodes; the rest of the
// engine takes these.
constexpr int kMaxChannels = 8;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;

class PluginDecoder final : public Decoder {
public:
    PluginDecoder(const TunelarkDecoderOps& ops, uint32_t ctype, void* state)
        : ops_(ops), ctype_(ctype), state_(state) {}
    ~PluginDecoder() override { ops_.close(state_); }
    PluginDecoder(const PluginDecoder&) = delete;
    PluginDecoder& operator=(const PluginDecoder&) = delete;

    void feed(const unsigned char* data, size_t size) override {
        if (!failed_ && size > 0 && !ops_.feed(state_, data, size)) failed_ = true;
    }

    long decode(std::vector<float>& out) override;
    AudioFormat format() const override { return format_; }
    std::vector<std::string> comments() const override { return comments_; }

private:
    void readComments();

    const TunelarkDecoderOps& ops_;
    const uint32_t ctype_;
    void* const state_;
    AudioFormat format_;
    std::vector<std::string> comments_;
    bool started_ = false;
    bool failed_ = false;
};

void PluginDecoder::readComments() {
    comments_.clear();
    if (!ops_.comments) return;
    const char* const* texts = nullptr;
    size_t count = ops_.comments(state_, &texts);
    for (size_t i = 0; texts && i < count; ++i)
        if (texts[i]) comments_.emplace_back(texts[i]);
}

long PluginDecoder::decode(std::vector<float>& out) {
    if (failed_) return -1;
    TunelarkPcm pcm{};
    ops_.decode(state_, &pcm);
    if (pcm.frames == 0) return 0;
    // A plug-in's answer is checked like any input before it is used.
    if (pcm.frames < 0 || !pcm.samples || pcm.channels < 1 || pcm.channels > kMaxChannels || pcm.rate < kMinRate ||
        pcm.rate > kMaxRate) {
        failed_ = true;
        return -1;
    }
    format_ = {pcm.rate, pcm.channels, ctype_};
    bool changed = started_ && pcm.streamChanged;
    if (!started_ || changed) readComments();
    started_ = true;
    if (changed && onStreamChange) onStreamChange();
    out.insert(out.end(), pcm.samples, pcm.samples + size_t(pcm.frames) * size_t(pcm.channels));
    return pcm.frames;
}

std::vector<std::string> splitTypes(const char* list) {
    std::vector<std::string> types;
    std::stringstream in(list ? list : "");
    for (std::string type; std::getline(in, type, ';');)
        if (!type.empty()) types.push_back(type);
    return types;
}

}  // namespace

KindPtr pluginDecoderKind(const TunelarkPluginFormat& format, uint32_t plugin) {
    auto kind = std::make_shared<DecoderKind>();
    const TunelarkDecoderOps& ops = *format.decoder;
    kind->ctype = format.ctype;
    kind->name = format.name;
    kind->contentTypes = splitTypes(format.contentTypes);
    kind->hasComments = ops.comments != nullptr;
    kind->plugin = plugin;
    kind->probe = [&ops](const unsigned char* data, size_t size) -> std::optional<ProbeHit> {
        size_t offset = 0;
        if (!ops.probe(data, size, &offset) || offset >= size) return std::nullopt;
        return ProbeHit{offset, false};
    };
    uint32_t ctype = format.ctype;
    kind->make = [&ops, ctype]() -> std::unique_ptr<Decoder> {
        void* state = ops.open();
        if (!state) return nullptr;
        return std::make_unique<PluginDecoder>(ops, ctype, state);
    };
    return kind;
}

}  // namespace engine::decode
