#include "engine/network/http_headers.h"

#include <algorithm>

#include <cctype>
#include "engine/core/text_match.h"

namespace engine::net {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exactly three digits followed by the end or a blank.
std::optional<int> statusCode(std::string_view rest) {
    if (rest.size() < 3 || !isDigit(rest[0]) || !isDigit(rest[1]) || !isDigit(rest[2])) return std::nullopt;
    if (rest.size() > 3 && !isBlank(rest[3])) return std::nullopt;
    int code = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
    if (code < 100) return std::nullopt;
    return code;
}

}  // namespace

std::optional<StatusLine> parseStatusLine(std::string_view line) {
    StatusLine status;
    if (line.size() >= 4 && equalsNoCase(line.substr(0, 4), "ICY ")) {
        status.icy = true;
        line.remove_prefix(4);
    } else if (line.size() >= 5 && equalsNoCase(line.substr(0, 5), "HTTP/")) {
        size_t blank = line.find(' ');
        if (blank == std::string_view::npos) return std::nullopt;
        line.remove_prefix(blank + 1);
    } else {
        return std::nullopt;
    }
    std::optional<int> code = statusCode(trimBlanks(line));
    if (!code) return std::nullopt;
    status.code = *code;
    return status;
}

std::optional<std::string> headerValue(const std::vector<std::string>& headers, std::string_view name) {
    for (const std::string& line : headers) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (equalsNoCase(trimBlanks(std::string_view(line).substr(0, colon)), name))
            return std::string(trimBlanks(std::string_view(line).substr(colon + 1)));
    }
    return std::nullopt;
}

std::string mediaType(std::string_view contentType) {
    std::string_view type = trimBlanks(contentType.substr(0, contentType.find(';')));
    std::string result(type);
    std::transform(result.begin(), result.end(), result.begin(), lowerAscii);
    return result;
}

long metaintValue(const std::vector<std::string>& headers) {
    std::optional<std::string> value = headerValue(headers, "icy-metaint");
    if (!value || value->empty()) return 0;
    long interval = 0;
    for (char c : *value) {
        if (!isDigit(c)) return 0;
        interval = interval * 10 + (c - '0');
        if (interval > kMaxMetaint) return 0;
    }
    return interval;
}

size_t HeaderBlockReader::feed(const char* data, size_t size) {
    size_t used = 0;
    while (used < size && state_ == State::Reading) {
        char c = data[used++];
        if (++blockBytes_ > kMaxBlockBytes) {
            state_ = State::TooLarge;
            break;
        }
        if (c == '\n')
            endLine();
        else
            line_ += c;
    }
    return used;
}

void HeaderBlockReader::endLine() {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (line_.empty()) {
        // Blank lines before the status line are tolerated, as browsers do.
        if (sawStatus_) state_ = State::Complete;
    } else if (!sawStatus_) {
        status_ = std::move(line_);
        sawStatus_ = true;
    } else {
        headers_.push_back(std::move(line_));
    }
    line_.clear();
}

void HeaderBlockReader::reset() {
    *this = HeaderBlockReader();
}

}  // namespace engine::net
