// The engine on its default device with SDL's "disk" driver, which writes
// the mixed output, in the opened format and at real time, to a file the
// test reads back.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace test {

// Frames the disk driver has written so far to `path`.
size_t diskFramesOut(const std::string& path, int channels);
// Frames [begin, end) of the output in `path`, once the device has written
// that far (waiting generously).
std::vector<float> diskOutputFrames(const std::string& path, int channels, size_t begin, size_t end);

class DiskOutputTest : public ::testing::Test {
protected:
    // BASS_Init(-1, 44100) writing to output_; rate_ and channels_ as opened.
    void SetUp() override;
    // BASS_Free, and the dummy driver again.
    void TearDown() override;

    // Frames written so far.
    size_t framesOut() const;
    // Frames [begin, end) of the output, once the device has written that far.
    std::vector<float> outputFrames(size_t begin, size_t end) const;

    fixtures::TempDir dir_;
    std::string output_;
    int rate_ = 0;
    int channels_ = 0;
};

}  // namespace test
