// Test audio made at test time: sine tones as PCM or WAV, encoded to MP3 and
// Ogg Vorbis by the lame and oggenc command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

struct Tone {
    double frequency = 1000;  // Hz
    int rate = 44100;
    int channels = 2;
    double seconds = 2;
    double amplitude = 0.5;  // of full scale
};

// A folder of its own under $TMPDIR (or /tmp), removed with its files when
// the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Interleaved samples of the tone, every channel the same.
std::vector<float> sineFloat(const Tone& tone);
std::vector<int16_t> sinePcm16(const Tone& tone);
void writeWav(const std::string& path, const std::vector<int16_t>& pcm, int rate, int channels);

// Runs a shell command line; true when it exits with 0.
bool run(const std::string& commandLine);
// Quotes a word for the shell.
std::string shellQuote(const std::string& word);

std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The tone as a constant-bitrate MP3 (lame, no ID3 tag). Empty on failure.
std::vector<unsigned char> makeMp3(const Tone& tone, int kbps = 128);
// The tone as one Ogg Vorbis logical stream with the given serial number and
// comments ("NAME=value"). Empty on failure. Concatenated results make a
// chained stream.
std::vector<unsigned char> makeOggVorbis(const Tone& tone, const std::vector<std::string>& comments, int serial);

}  // namespace fixtures
