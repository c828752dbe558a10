// Hands opusfile the pages of a live stream so that it never runs dry at a
// point it cannot resume from. opusfile reads a stream through a callback;
// when that callback has nothing, it takes the stream as ended. Between two
// pages that is harmless (it reads on when called again), but in the middle
// of a new song's headers it is not. So whole pages are released, and the
// first pages of a song are held until its identification header, its
// comment header and a page of audio are all there. Those headers are read
// here too: their comments are the song's.
#pragma once

#include <ogg/ogg.h>

#include <deque>
#include <string>
#include <vector>

namespace opus {

class PageGate {
public:
    PageGate();
    ~PageGate();
    PageGate(const PageGate&) = delete;
    PageGate& operator=(const PageGate&) = delete;

    // False when out of memory or the stream broke a limit.
    bool feed(const unsigned char* data, size_t size);
    // Copies up to `size` released bytes to `out`; the count.
    size_t read(unsigned char* out, size_t size);
    // Bytes released and not read yet.
    size_t released() const { return released_.size() - readPos_; }
    // Songs whose headers have been released, oldest first; each song's
    // comments, taken off as the decoder reaches the song.
    std::deque<std::vector<std::string>>& songs() { return songs_; }

private:
    void take(ogg_page& page);
    void hold(ogg_page& page);
    void releaseHeld();
    void append(std::vector<unsigned char>& to, const ogg_page& page);
    std::vector<std::string> heldComments();

    ogg_sync_state sync_;
    std::vector<unsigned char> released_;
    size_t readPos_ = 0;
    bool started_ = false;  // the first song's headers are out
    bool holding_ = false;
    int heldSerial_ = 0;
    int heldPackets_ = 0;  // packets of the held song completed so far
    std::vector<unsigned char> held_;
    std::vector<std::vector<unsigned char>> heldPages_;  // the held song's own
    std::deque<std::vector<std::string>> songs_;
    bool failed_ = false;
};

}  // namespace opus
