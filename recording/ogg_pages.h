// Ogg pages in received bytes, so that a chained Ogg stream (a new song is a
// new logical stream, starting with its beginning-of-stream page) can be cut
// between songs and each piece start with its song's header pages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct OggPiece {
    std::string bytes;
    bool page = false;  // a whole page; otherwise bytes that are not one
    bool bos = false;   // the first page of a logical stream
};

// Gathers received bytes into whole pages. Holds back at most one page
// (65307 bytes) and three bytes of a possible capture pattern.
class OggPageSplitter {
public:
    // Every whole page, and every run of bytes found not to belong to one,
    // that the bytes complete, in stream order.
    std::vector<OggPiece> feed(const unsigned char* data, size_t size);
    // The bytes held back; empties the holder.
    std::string takeHeld();

private:
    std::string held_;
};

// One link of a chained stream: its header pages, kept so that a piece
// started in the middle of the song can begin with them, and its comments.
class OggLink {
public:
    // Starts a new link at its beginning-of-stream page.
    void start(const OggPiece& bos);
    // A page of the link: kept while the link's header packets are not all in.
    void add(const OggPiece& page);
    // Every header page so far (all of them once headersDone()).
    const std::string& headerPages() const { return headers_; }
    bool headersDone() const { return packetsDone_ >= packetsNeeded_; }
    // "opus" for Opus, "ogg" for Vorbis and anything else.
    std::string extension() const { return opus_ ? "opus" : "ogg"; }
    // From the comment header: "artist - title", the bare title or the
    // bare artist; "" when the comments name neither.
    std::string titleText() const;

private:
    void addPacketBytes(const unsigned char* data, size_t size, bool ends);

    std::string headers_;
    std::string packet_;    // the packet being gathered (first two only)
    std::string comments_;  // the comment packet, once whole
    int packetsDone_ = 0;
    int packetsNeeded_ = 0;
    bool opus_ = false;
    bool started_ = false;
};
