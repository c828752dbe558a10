// Titles of any shape as record file names: always one safe name inside the
// record folder, valid UTF-8, at most 99 characters and 255 bytes.
#include "platform/code_page.h"
#include "recording/record_names.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

size_t characterCount(const std::string& utf8) {
    size_t count = 0;
    for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int number = data[0] * 256 + data[1];
    std::string title(reinterpret_cast<const char*>(data + 2), size - 2);
    auto stem = recordStem(title.c_str());
    if (!stem) return 0;
    std::string name = numberedRecordName(number, *stem);
    if (!platform::isValidUtf8(name) || name.size() > kRecordNameMaxBytes) std::abort();
    if (characterCount(name) > kRecordNameMaxChars || name.size() < 7) std::abort();
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("/\\:*?\"<>|", c)) std::abort();
    if (name.compare(name.size() - 4, 4, ".mp3") != 0) std::abort();
    return 0;
}
