#include "report/audio_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/bass.h"

char* buildVersionText()
{
    DWORD version = BASS_GetVersion();
    char text[50];
    snprintf(text, sizeof text, "BASS version. %x.%x", version >> 16, version & 0xffff);
    char* copy = strdup(text);
    // Zeros become points, turning the hexadecimal 204.900 into 2.4.9..
    for (char* c = copy; *c; ++c) {
        if (*c == '0')
            *c = '.';
    }
    return copy;
}
