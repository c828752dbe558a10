// Start-up when the sound device cannot be opened.
#include <cstdlib>

#include "engine/bass.h"
#include "tests/support/player_fixture.h"

namespace {

TEST_F(PlayerTest, DeviceThatCannotStartShowsItsErrorAndEndsTheWindow) {
    // An output driver SDL does not have: opening the default device fails.
    setenv("SDL_AUDIODRIVER", "tunelark-no-such-driver", 1);
    open();
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }));
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't initialize device\n(error code: " + std::to_string(BASS_ERROR_DRIVER) + ")");
    EXPECT_EQ(shown[0].caption, "BASS Error!");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_ICONWARNING));
    // Nothing after the failed step ran: the station list stays empty.
    EXPECT_EQ(player.playingStation, -1);
    BASS_INFO info;
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

}  // namespace
