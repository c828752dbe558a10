#include "report/audio_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/bass.h"
#include "platform/code_page.h"

namespace {

// The device list's buffer, counting its NUL.
constexpr size_t kDeviceListCapacity = 300;

// "Аудиовыходы:\n" in the program's code page.
const char kDeviceHeader[] = "\xC0\xF3\xE4\xE8\xEE\xE2\xFB\xF5\xEE\xE4\xFB:\n";

}  // namespace

bool appendDeviceLine(char* list, const char* name, DWORD flags) {
    std::string line = platform::displayTextUtf8(name ? name : "");
    if (flags & BASS_DEVICE_DEFAULT) line += "  -  DEFAULT";
    line += "\n";
    size_t used = strlen(list);
    if (used + line.size() >= kDeviceListCapacity) return false;
    memcpy(list + used, line.c_str(), line.size() + 1);
    return true;
}

// Device names are UTF-8, so the header joins them in UTF-8: the window reads
// a text as one encoding, and a Windows-1251 header would make it read a
// Russian device name as Windows-1251 too.
char* buildDeviceList() {
    char* list = new char[kDeviceListCapacity];
    snprintf(list, kDeviceListCapacity, "%s", platform::windows1251ToUtf8(kDeviceHeader).c_str());
    BASS_DEVICEINFO info;
    for (DWORD device = 0; BASS_GetDeviceInfo(device, &info); ++device)
        if (!appendDeviceLine(list, info.name, info.flags)) break;
    return list;
}

char* buildVersionText() {
    DWORD version = BASS_GetVersion();
    char text[50];
    snprintf(text, sizeof text, "BASS version. %x.%x", version >> 16, version & 0xffff);
    char* copy = strdup(text);
    // Zeros become points, turning the hexadecimal 204.900 into 2.4.9..
    for (char* c = copy; *c; ++c) {
        if (*c == '0') *c = '.';
    }
    return copy;
}
