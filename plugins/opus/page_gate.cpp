#include "plugins/opus/page_gate.h"

#include <algorithm>
#include <cstring>

#include "plugins/opus/opus_header.h"

namespace opus {
namespace {

// Headers past this size (pictures in the comments, or junk) are refused.
constexpr size_t kMaxHeld = 4 << 20;
// The identification header, the comment header and one packet of audio.
constexpr int kPacketsToRelease = 3;

bool beginsOpusSong(const ogg_page& page) {
    return ogg_page_bos(&page) && page.body_len >= 8 && std::memcmp(page.body, "OpusHead", 8) == 0;
}

// Packets that end on the page: lacing values below 255.
int packetsEnding(const ogg_page& page) {
    int segments = page.header[26];
    int count = 0;
    for (int i = 0; i < segments; ++i) count += page.header[27 + i] < 255;
    return count;
}

}  // namespace

PageGate::PageGate() {
    ogg_sync_init(&sync_);
}

PageGate::~PageGate() {
    ogg_sync_clear(&sync_);
}

bool PageGate::feed(const unsigned char* data, size_t size) {
    if (failed_) return false;
    char* buffer = ogg_sync_buffer(&sync_, long(size));
    if (!buffer) return false;
    std::memcpy(buffer, data, size);
    ogg_sync_wrote(&sync_, long(size));
    ogg_page page;
    for (int result; (result = ogg_sync_pageout(&sync_, &page)) != 0;)
        if (result > 0) take(page);  // < 0: junk skipped
    return !failed_;
}

void PageGate::take(ogg_page& page) {
    if (beginsOpusSong(page)) {
        if (holding_) releaseHeld();  // a song without audio: let it go as it is
        holding_ = true;
        heldSerial_ = ogg_page_serialno(&page);
        heldPackets_ = 0;
    }
    if (holding_) {
        hold(page);
    } else if (started_) {  // nothing before the first song
        append(released_, page);
    }
}

void PageGate::hold(ogg_page& page) {
    append(held_, page);
    if (ogg_page_serialno(&page) == heldSerial_) {
        heldPages_.emplace_back();
        append(heldPages_.back(), page);
        heldPackets_ += packetsEnding(page);
    }
    if (held_.size() > kMaxHeld) failed_ = true;
    if (heldPackets_ >= kPacketsToRelease) releaseHeld();
}

void PageGate::releaseHeld() {
    songs_.push_back(heldComments());
    started_ = true;
    released_.insert(released_.end(), held_.begin(), held_.end());
    held_.clear();
    heldPages_.clear();
    holding_ = false;
}

// The comment header is the song's second packet.
std::vector<std::string> PageGate::heldComments() {
    ogg_stream_state stream;
    ogg_stream_init(&stream, heldSerial_);
    std::vector<std::string> comments;
    ogg_packet packet;
    int packets = 0;
    for (auto& bytes : heldPages_) {
        ogg_page page;
        long header = 27 + bytes[26];
        page = {bytes.data(), header, bytes.data() + header, long(bytes.size()) - header};
        ogg_stream_pagein(&stream, &page);
        while (packets < 2 && ogg_stream_packetout(&stream, &packet) == 1)
            if (++packets == 2) parseOpusTags(packet.packet, size_t(packet.bytes), comments);
    }
    ogg_stream_clear(&stream);
    return comments;
}

void PageGate::append(std::vector<unsigned char>& to, const ogg_page& page) {
    to.insert(to.end(), page.header, page.header + page.header_len);
    to.insert(to.end(), page.body, page.body + page.body_len);
}

size_t PageGate::read(unsigned char* out, size_t size) {
    size_t n = std::min(size, released());
    if (n == 0) return 0;
    std::memcpy(out, released_.data() + readPos_, n);
    readPos_ += n;
    // What opusfile has read is dropped once it is the larger part.
    if (readPos_ > 65536 && readPos_ * 2 > released_.size()) {
        released_.erase(released_.begin(), released_.begin() + long(readPos_));
        readPos_ = 0;
    }
    return n;
}

}  // namespace opus
