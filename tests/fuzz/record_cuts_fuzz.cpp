// Received bytes of any shape through the recorder's frame finder and Ogg
// page splitter, cut into blocks at the fuzzer's choice: the pages handed out
// are the bytes fed, in order, and nothing grows without bound.
#include "recording/frame_sync.h"
#include "recording/ogg_pages.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t blockSize = size > 0 ? data[0] + 1 : 1;
    data += size > 0;
    size -= size > 0;
    if (findFrameSync(data, size) > size) std::abort();
    OggPageSplitter pages;
    OggLink link;
    std::string out;  // every byte handed on, pages and the rest
    for (size_t at = 0; at < size; at += blockSize) {
        size_t n = size - at < blockSize ? size - at : blockSize;
        for (const OggPiece& piece : pages.feed(data + at, n)) {
            if (piece.page && piece.bos) link.start(piece);
            link.add(piece);
            out += piece.bytes;
        }
        if (link.headerPages().size() > (1u << 20)) std::abort();
    }
    (void)link.titleText();
    out += pages.takeHeld();
    if (out != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    return 0;
}
