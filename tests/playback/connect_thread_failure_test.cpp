// A station change when the system gives no more threads. The test program
// stands in for the C library's pthread_create (the standard library's
// threads are made with it), refusing while `refuseThreads` is set.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "engine/bass.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"

namespace {

std::atomic<bool> refuseThreads{false};

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                              void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (refuseThreads) return EAGAIN;
    return real(thread, attributes, start, argument);
}

namespace {

TEST_F(PlayerTest, StationChangeWithoutAThreadShowsTheFailureBoxAndKeepsRunning) {
    writeStations("One, http://127.0.0.1:9/one\nTwo, http://127.0.0.1:9/two\n");
    ASSERT_NE(open(), nullptr);
    refuseThreads = true;
    platform::testing::selectListRow(item(IDC_STATIONS), 1);
    refuseThreads = false;
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_MEM) + ")");
    EXPECT_TRUE(pumpUntil([&] { return text(IDC_STATUS) == "not playing"; }));
    // Nothing started: the station is not taken as the playing one, so it
    // can be chosen again, and the window goes on.
    EXPECT_EQ(player.playingStation, -1);
    EXPECT_EQ(player.stream, 0u);
    EXPECT_TRUE(IsWindow(window));
}

}  // namespace
