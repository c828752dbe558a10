// What the recorder knows of the followed connection's bytes, and of the
// piece (record file) being written. Guarded by player.recordLock, as the
// rest of the recording state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "recording/ogg_pages.h"
#include "state/player_state.h"

enum class RecordKind {
    Unknown,  // not yet found: written as it comes
    Frames,   // MP3 or AAC (ADTS): cut at frame boundaries
    Ogg,      // Ogg pages: cut at a new link's first page
    Other,    // anything else: written as it comes
};

struct RecordStream {
    RecordKind kind = RecordKind::Unknown;
    std::string frameExtension;     // for Frames: "mp3" or "aac"
    std::string declaredExtension;  // from the stream type, for Other
    std::string stationName;        // the server's icy-name, else the list's
    size_t unknownBytes = 0;        // looked at without finding the kind
    bool titleSeen = false;         // an ICY title came on this connection
    // A new song while a frame file is open: cut at the next frame.
    bool cutPending = false;
    size_t cutSearched = 0;
    std::string heldBack;  // not yet written: may begin a frame
    OggPageSplitter pages;
    OggLink link;
    bool lastPageBos = false;

    // The piece being written (player.recordFile).
    std::string folder;      // where it lies, ending in '/'
    bool scratch = false;    // written as r.tmp, named when closed
    std::string pieceTitle;  // what a scratch piece is named after
    std::string pieceExtension;
    uint64_t written = 0;
    bool adoptTitle = false;  // begun before the connection's first title
    int failure = 0;          // errno of a failed open or write
};

extern RecordStream& recordStream GUARDED_BY(player.recordLock);

// Forgets everything about the previous connection's bytes.
void resetRecordStreamLocked(const std::string& stationName) REQUIRES(player.recordLock);
