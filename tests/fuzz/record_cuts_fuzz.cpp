// Received bytes of any shape through the recorder's frame finder and Ogg
// page splitter, cut into blocks at the fuzzer's choice: the pages handed out
// are the bytes fed, in order, and nothing grows without bound.
#include "recording/frame_sync.h"
#include "recording/ogg_pages.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t blockSize = data[0] + 1;
    data += 1;
    size -= 1;
    if (findFrameSync(data, size) > size)
        std::abort();
    OggPageSplitter pages;
    OggLink link;
    std::string out;
    for (size_t at = 0; at < size; at += blockSize) {
        size_t n = size - at < blockSize ? size - at : blockSize;
        for (const OggPiece& piece : pages.feed(data + at, n)) {
            if (piece.page && piece.bos)
                link.start(piece);
            link.add(piece);
            out += piece.bytes;
        }
        if (link.headerPages().size() > (1u << 20))
            std::abort();
    }
    out += pages.takeHeld();
    if (out != std::string(reinterpret_cast<const char*>(data), size))
        std::abort();
    (void)link.titleText();
    return 0;
}
