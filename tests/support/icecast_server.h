// A real Icecast server on 127.0.0.1 with two ezstream sources, for network
// tests (the scripts and configs are in tests/support/icecast/).
//
//   TEST(Radio, PlaysIcecast) {
//       const test::IcecastServer* icecast = test::IcecastServer::get();
//       REQUIRE_ICECAST(icecast);  // skips only when icecast2 is not installed
//       open(icecast->mp3Url()) ...
//   }
//
// /test.mp3 sends MP3 at 128 kbps, 44.1 kHz stereo, with ICY titles
// "artist - title" (metaint 16000 when asked); /test.ogg sends Ogg Vorbis,
// 44.1 kHz stereo, each song a new chained stream with ARTIST and TITLE
// comments. Both loop songs(): steady sines at half scale, one frequency per
// song. A new listener first gets a burst of up to 64 KiB.
//
// One server serves the whole test process: the one the test script started
// (ICECAST_PORT, and ICECAST_DIR if known, in the environment) or one that
// the first get() starts and the end of the process stops.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace test {

struct IcecastSong {
    std::string artist;
    std::string title;
    double frequency = 0;  // Hz
    double seconds = 0;
    std::string streamTitle() const { return artist + " - " + title; }
};

class IcecastServer {
public:
    // The process's server, started on first call; nullptr when it cannot
    // run (problem() says why). Any thread.
    static const IcecastServer* get();
    // True when the missing server should skip a test instead of failing it:
    // icecast2 or ezstream is not installed and TUNELARK_REQUIRE_ICECAST is
    // not 1.
    static bool skippable();
    static const std::string& problem();

    int port() const { return port_; }
    std::string base() const;    // "http://127.0.0.1:<port>"
    std::string mp3Url() const;  // base() + "/test.mp3"
    std::string oggUrl() const;  // base() + "/test.ogg"

    // The songs of both mounts in play order; the playlist loops.
    const std::vector<IcecastSong>& songs() const { return songs_; }
    // The index of the song whose stream title is `streamTitle`, or -1.
    int songIndex(const std::string& streamTitle) const;
    // The source file the server streams for song `index` ("mp3" or "ogg"),
    // tags included; "" when the harness folder is unknown.
    std::string sourceFile(size_t index, const std::string& extension) const;

private:
    IcecastServer() = default;
    static IcecastServer* start();

    int port_ = 0;
    std::string dir_;  // the harness folder, "" when unknown
    std::vector<IcecastSong> songs_;
};

// The songs listed in tests/support/icecast/songs.txt.
std::vector<IcecastSong> readIcecastSongs();

}  // namespace test

// In a test body or SetUp(): returns, skipping the test, when the server is
// missing for a skippable reason; fails the test when it should have run.
#define REQUIRE_ICECAST(server)                                                                       \
    do {                                                                                              \
        if (!(server)) {                                                                              \
            if (::test::IcecastServer::skippable()) GTEST_SKIP() << ::test::IcecastServer::problem(); \
            FAIL() << ::test::IcecastServer::problem();                                               \
        }                                                                                             \
    } while (0)
