// Pure helpers for HTTP and ICY response heads: status lines, header blocks,
// the few header values the stream needs. No I/O; safe on any input.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::net {

struct StatusLine {
    bool icy = false;  // "ICY 200 OK" rather than "HTTP/1.x 200 OK"
    int code = 0;      // 100..999
};

// Parses "HTTP/<version> <code> [reason]" or "ICY <code> [reason]".
std::optional<StatusLine> parseStatusLine(std::string_view line);

// The value of the first header called `name` (case-insensitive), with the
// blanks around it removed.
std::optional<std::string> headerValue(const std::vector<std::string>& headers, std::string_view name);

// "Audio/MPEG; charset=x" -> "audio/mpeg".
std::string mediaType(std::string_view contentType);

// Real servers use 8192..65536; an interval past 1 MiB (26 s of 320 kbit/s
// audio between titles) is a broken header rather than a plan, and taking it
// as none merely hands the occasional metadata block to the decoder, which
// skips it as junk.
inline constexpr long kMaxMetaint = 1L << 20;

// icy-metaint as the audio interval, 0 (no metadata) when absent, not a plain
// decimal number, zero or above kMaxMetaint.
long metaintValue(const std::vector<std::string>& headers);

// Splits a response head into its blocks (a redirect's head, then the next
// one...), whatever the chunking of the bytes. Lines end in LF or CR LF.
class HeaderBlockReader {
public:
    // A block whose lines (line ends included) exceed this is refused.
    static constexpr size_t kMaxBlockBytes = 64 * 1024;

    enum class State { Reading, Complete, TooLarge };

    // Takes bytes until a block is complete; returns how many it used.
    size_t feed(const char* data, size_t size);
    State state() const { return state_; }

    // The block read so far: the status line, then "name: value" lines.
    const std::string& statusLine() const { return status_; }
    const std::vector<std::string>& headers() const { return headers_; }

    // Forgets the finished block, ready for the next one.
    void reset();

private:
    void endLine();

    State state_ = State::Reading;
    std::string line_;
    std::string status_;
    std::vector<std::string> headers_;
    size_t blockBytes_ = 0;
    bool sawStatus_ = false;
};

}  // namespace engine::net
