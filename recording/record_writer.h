// The bytes of the followed connection, on their way into record files: the
// stream's kind is found in its first bytes, Ogg streams are cut at each new
// song's first page, MP3 and AAC at the frame after a new ICY title.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "state/player_state.h"

// Every received block of the followed connection, recording on or off (an
// Ogg song's header pages are kept from its start). Writes while recording
// is on, opening a file first when none is open. A failure to open or write
// is left in the stream's `failure`.
void receiveBlockLocked(const unsigned char* data, size_t size) REQUIRES(player.recordLock);

// The end of the download: the bytes of an Ogg page that never became whole
// still go into the open file.
void flushHeldBytesLocked() REQUIRES(player.recordLock);

// The status call's header texts: takes the station's name from icy-name.
void readStationHeadersLocked(const char* texts) REQUIRES(player.recordLock);
