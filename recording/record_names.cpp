#include "recording/record_names.h"

#include <cstdio>
#include <cstring>

#include "platform/code_page.h"

namespace {

bool isUnsafeAscii(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c);
}

// The bytes a UTF-8 character takes, from its lead byte (valid text only).
size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    return lead < 0xF0 ? 3 : 4;
}

}  // namespace

std::optional<std::string> recordStem(const char* title) {
    if (!title) return std::nullopt;
    const char* dash = std::strrchr(title, '-');
    if (!dash) return std::nullopt;
    const char* end = dash;
    while (end > title && (end[-1] == ' ' || end[-1] == '\t')) --end;
    return std::string(title, end);
}

std::string recordNameText(const std::string& stem) {
    if (platform::isValidUtf8(stem)) return stem;
    return platform::windows1251ToUtf8(stem);
}

void makeFileNameSafe(std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // U+0080..U+009F are C2 80..C2 9F: controls a terminal may act on.
        bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (c1) ++i;
        safe += c1 || isUnsafeAscii(c) ? '_' : static_cast<char>(c);
    }
    text.swap(safe);
}

void cutUtf8(std::string& text, size_t maxChars, size_t maxBytes) {
    size_t end = 0;
    for (size_t chars = 0; end < text.size() && chars < maxChars; ++chars) {
        size_t next = end + utf8Length(static_cast<unsigned char>(text[end]));
        if (next > maxBytes || next > text.size()) break;
        end = next;
    }
    text.resize(end);
}

std::string numberedRecordName(int number, const std::string& stem, const std::string& extensionName) {
    std::string extension = "." + extensionName;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", number);
    std::string text = recordNameText(stem);
    makeFileNameSafe(text);
    size_t fixed = std::strlen(prefix) + extension.size();
    cutUtf8(text, kRecordNameMaxChars - fixed, kRecordNameMaxBytes - fixed);
    return prefix + text + extension;
}
