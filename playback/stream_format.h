// The stream's channel count, rate and type, shown in control 1009.
#pragma once

void showStreamFormat();
// The name shown for a channel type code ("MP3 stream", "unknown stream").
const char* streamTypeName(unsigned long ctype);
