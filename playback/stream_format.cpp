#include "playback/stream_format.h"

#include <cstdio>

#include "engine/bass.h"
#include "state/player_state.h"
#include "state/resource_ids.h"

const char* streamTypeName(unsigned long ctype) {
    switch (ctype) {
    case BASS_CTYPE_STREAM_OGG:
        return "OGG stream";
    case BASS_CTYPE_STREAM_MP3:
        return "MP3 stream";
    case BASS_CTYPE_STREAM_AIFF:
        return "IFF stream";
    case BASS_CTYPE_STREAM_WMA:
        return "WMA stream";
    case BASS_CTYPE_STREAM_WMA_MP3:
        return "WMA-MP3 stream";
    case BASS_CTYPE_STREAM_AAC:
        return "AAC stream";
    case BASS_CTYPE_STREAM_MP4:
        return "MP4 stream";
    default:
        return "unknown stream";
    }
}

void showStreamFormat() {
    BASS_ChannelGetInfo(player.stream, &player.channelInfo);
    const BASS_CHANNELINFO& info = player.channelInfo;
    // The rate in kHz as people write it: 44.1, 48, 22.05.
    char text[100];
    snprintf(text, sizeof text, "channels: %d %g kHz\n\n %s", static_cast<int>(info.chans), info.freq / 1000.0,
             streamTypeName(info.ctype));
    SendDlgItemMessageA(player.mainWindow, IDC_FORMAT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
