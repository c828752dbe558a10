// Response heads of any shape: no crash, the size limit holds, chunking does
// not change the blocks, header values stay in range.
#include "engine/network/http_headers.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Blocks {
    std::vector<std::string> status;
    std::vector<std::vector<std::string>> headers;
    bool tooLarge = false;
    bool operator==(const Blocks&) const = default;
};

Blocks read(const char* data, size_t size, size_t piece) {
    using State = engine::net::HeaderBlockReader::State;
    Blocks blocks;
    engine::net::HeaderBlockReader reader;
    size_t at = 0;
    while (at < size) {
        at += reader.feed(data + at, std::min(piece, size - at));
        if (reader.state() == State::TooLarge) {
            blocks.tooLarge = true;
            break;
        }
        if (reader.state() == State::Complete) {
            blocks.status.push_back(reader.statusLine());
            blocks.headers.push_back(reader.headers());
            long metaint = engine::net::metaintValue(reader.headers());
            if (metaint < 0 || metaint > engine::net::kMaxMetaint) std::abort();
            auto status = engine::net::parseStatusLine(reader.statusLine());
            if (status && (status->code < 100 || status->code > 999)) std::abort();
            engine::net::mediaType(engine::net::headerValue(reader.headers(), "content-type").value_or(""));
            reader.reset();
        }
    }
    return blocks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t piece = 1 + data[0] % 19;
    auto text = reinterpret_cast<const char*>(data + 1);
    Blocks whole = read(text, size - 1, size);
    if (!(read(text, size - 1, piece) == whole)) std::abort();
    return 0;
}
