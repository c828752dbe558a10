#include "tests/support/disk_output.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "engine/bass.h"
#include "tests/support/wait_until.h"

namespace test {

void DiskOutputTest::SetUp() {
    output_ = dir_.file("output.raw");
    // Read by SDL when the engine starts its audio.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    BASS_INFO info{};
    ASSERT_TRUE(BASS_GetInfo(&info));
    rate_ = int(info.freq);
    channels_ = int(info.speakers);
}

void DiskOutputTest::TearDown() {
    BASS_Free();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

size_t diskFramesOut(const std::string& path, int channels) {
    struct stat st {};
    if (channels <= 0 || stat(path.c_str(), &st) != 0) return 0;
    return size_t(st.st_size) / (sizeof(float) * size_t(channels));
}

std::vector<float> diskOutputFrames(const std::string& path, int channels, size_t begin, size_t end) {
    EXPECT_TRUE(waitUntil([&] { return diskFramesOut(path, channels) >= end; }, 30)) << "the device stopped writing";
    std::vector<float> samples((end - begin) * size_t(channels));
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    std::fseek(file, long(begin * sizeof(float) * size_t(channels)), SEEK_SET);
    samples.resize(std::fread(samples.data(), sizeof(float), samples.size(), file));
    std::fclose(file);
    return samples;
}

size_t DiskOutputTest::framesOut() const {
    return diskFramesOut(output_, channels_);
}

std::vector<float> DiskOutputTest::outputFrames(size_t begin, size_t end) const {
    return diskOutputFrames(output_, channels_, begin, end);
}

}  // namespace test
