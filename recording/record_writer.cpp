#include "recording/record_writer.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "recording/frame_sync.h"
#include "recording/record_file.h"
#include "recording/record_stream.h"

namespace {

// Past this many bytes with no kind found, the kind is no longer looked for.
constexpr size_t kMaxSniff = 64 * 1024;
// A new song's cut waits this long for a frame boundary, then is made anyway.
constexpr size_t kMaxCutSearch = 64 * 1024;
constexpr size_t kMaxStationName = 200;

bool hasOggPage(const unsigned char* data, size_t size) {
    for (size_t i = 0; i + 5 < size; ++i)
        if (std::memcmp(data + i, "OggS", 4) == 0 && data[i + 4] == 0) return true;
    return false;
}

void findKindLocked(const unsigned char* data, size_t size) REQUIRES(player.recordLock) {
    RecordStream& stream = recordStream;
    if (hasOggPage(data, size)) {
        stream.kind = RecordKind::Ogg;
        return;
    }
    size_t sync = findFrameSync(data, size);
    if (sync < size) {
        stream.kind = RecordKind::Frames;
        stream.frameExtension = frameExtension(parseFrameHeader(data + sync, size - sync));
        return;
    }
    stream.unknownBytes += size;
    if (stream.unknownBytes > kMaxSniff) stream.kind = RecordKind::Other;
}

// Opens a file unless one is open; false when there is none to write to.
bool ensureFileLocked() REQUIRES(player.recordLock) {
    if (!player.recordFile) openRecordFileLocked();
    return player.recordFile != nullptr;
}

void receiveOggPieceLocked(const OggPiece& piece) REQUIRES(player.recordLock) {
    RecordStream& stream = recordStream;
    bool linkStart = piece.page && piece.bos && !stream.lastPageBos;
    stream.lastPageBos = piece.page && piece.bos;
    if (linkStart) {
        closeRecordFileLocked();  // the song before ends here; recording goes on
        stream.link.start(piece);
    }
    // A file starts at a page; one started within a song begins with the
    // song's header pages.
    if (player.recordEnabled && !player.recordFile && piece.page && ensureFileLocked() && !linkStart)
        writeRecordLocked(stream.link.headerPages().data(), stream.link.headerPages().size());
    stream.link.add(piece);
    if (player.recordEnabled && player.recordFile) writeRecordLocked(piece.bytes.data(), piece.bytes.size());
}

// While a cut waits for a frame, the last bytes of each block are held back:
// a frame header may begin in them and end in the next block.
constexpr size_t kHeldBack = 6;

void receiveFramesLocked(const unsigned char* data, size_t size) REQUIRES(player.recordLock) {
    RecordStream& stream = recordStream;
    if (!player.recordEnabled) return;
    if (player.recordFile && stream.cutPending) {
        std::string bytes = std::move(stream.heldBack);
        stream.heldBack.clear();
        bytes.append(reinterpret_cast<const char*>(data), size);
        const auto* all = reinterpret_cast<const unsigned char*>(bytes.data());
        size_t sync = findFrameSync(all, bytes.size());
        stream.cutSearched += size;
        if (sync == bytes.size() && stream.cutSearched < kMaxCutSearch) {
            size_t keep = std::min(kHeldBack, bytes.size());
            writeRecordLocked(all, bytes.size() - keep);
            stream.heldBack = bytes.substr(bytes.size() - keep);
            return;
        }
        if (sync == bytes.size()) sync = 0;
        if (!writeRecordLocked(all, sync)) return;
        closeRecordFileLocked();
        if (ensureFileLocked()) writeRecordLocked(all + sync, bytes.size() - sync);
        return;
    }
    size_t from = 0;
    if (!player.recordFile) {
        // A file begins with a whole frame: the bytes before the first one
        // are the end of a frame recording never had.
        from = findFrameSync(data, size);
        if (from == size) return;
    }
    if (ensureFileLocked()) writeRecordLocked(data + from, size - from);
}

}  // namespace

void receiveBlockLocked(const unsigned char* data, size_t size) {
    RecordStream& stream = recordStream;
    if (stream.kind == RecordKind::Unknown) findKindLocked(data, size);
    switch (stream.kind) {
    case RecordKind::Ogg:
        for (const OggPiece& piece : stream.pages.feed(data, size)) receiveOggPieceLocked(piece);
        break;
    case RecordKind::Frames:
        receiveFramesLocked(data, size);
        break;
    case RecordKind::Other:
    case RecordKind::Unknown:  // written as it comes while the kind is looked for
        if (player.recordEnabled && ensureFileLocked()) writeRecordLocked(data, size);
        break;
    }
}

void flushHeldBytesLocked() {
    std::string held = recordStream.pages.takeHeld();
    if (player.recordEnabled && player.recordFile) writeRecordLocked(held.data(), held.size());
}

void readStationHeadersLocked(const char* texts) {
    for (const char* text = texts; *text; text += std::strlen(text) + 1) {
        if (strncasecmp(text, "icy-name:", 9) != 0 && strncasecmp(text, "ice-name:", 9) != 0) continue;
        std::string name = text + 9;
        name.erase(0, name.find_first_not_of(" \t"));
        if (!name.empty()) recordStream.stationName = name.substr(0, kMaxStationName);
    }
}
