#include "recording/record_names.h"

#include <cstdio>
#include <cstring>

#include "playback/title_parse.h"

std::optional<std::string> recordStem(const char* title)
{
    if (!title)
        return std::nullopt;
    const char* dash = std::strrchr(title, '-');
    if (!dash)
        return std::nullopt;
    const char* end = dash;
    while (end > title && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    return std::string(title, end);
}

void makeFileNameSafe(std::string& text)
{
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c))
            c = '_';
    }
}

std::string numberedRecordName(int number, const std::string& stem)
{
    static const char extension[] = ".mp3";
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", number);
    std::string safeStem = stem;
    makeFileNameSafe(safeStem);
    size_t fixed = std::strlen(prefix) + sizeof extension - 1;
    cutText(safeStem, kRecordNameMax - fixed);
    return prefix + safeStem + extension;
}
