#include "tests/support/fixtures.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>

namespace fixtures {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tunelark-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = name.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<float> sineFloat(const Tone& tone) {
    size_t frames = static_cast<size_t>(tone.seconds * tone.rate);
    std::vector<float> out(frames * static_cast<size_t>(tone.channels));
    for (size_t i = 0; i < frames; ++i) {
        double v =
            tone.amplitude * std::sin(2 * std::numbers::pi * tone.frequency * static_cast<double>(i) / tone.rate);
        for (int c = 0; c < tone.channels; ++c) out[i * static_cast<size_t>(tone.channels) + c] = static_cast<float>(v);
    }
    return out;
}

std::vector<int16_t> sinePcm16(const Tone& tone) {
    std::vector<float> f = sineFloat(tone);
    std::vector<int16_t> out(f.size());
    for (size_t i = 0; i < f.size(); ++i) out[i] = static_cast<int16_t>(std::lround(f[i] * 32767));
    return out;
}

namespace {

void put(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

void writeWav(const std::string& path, const std::vector<int16_t>& pcm, int rate, int channels) {
    std::ofstream out(path, std::ios::binary);
    uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    out.write("RIFF", 4);
    put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, 1, 2);  // PCM
    put(out, static_cast<uint32_t>(channels), 2);
    put(out, static_cast<uint32_t>(rate), 4);
    put(out, static_cast<uint32_t>(rate * channels * 2), 4);
    put(out, static_cast<uint32_t>(channels * 2), 2);
    put(out, 16, 2);
    out.write("data", 4);
    put(out, dataBytes, 4);
    for (int16_t s : pcm) put(out, static_cast<uint16_t>(s), 2);
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool run(const std::string& commandLine) {
    int status = std::system(commandLine.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> makeMp3(const Tone& tone, int kbps) {
    TempDir dir;
    writeWav(dir.file("tone.wav"), sinePcm16(tone), tone.rate, tone.channels);
    std::string command = "lame --quiet --cbr -b " + std::to_string(kbps) + " " + shellQuote(dir.file("tone.wav")) +
                          " " + shellQuote(dir.file("tone.mp3"));
    if (!run(command)) return {};
    return readBytes(dir.file("tone.mp3"));
}

std::vector<unsigned char> makeOggVorbis(const Tone& tone, const std::vector<std::string>& comments, int serial) {
    TempDir dir;
    writeWav(dir.file("tone.wav"), sinePcm16(tone), tone.rate, tone.channels);
    std::string command = "oggenc -Q -s " + std::to_string(serial);
    for (const std::string& c : comments) command += " -c " + shellQuote(c);
    command += " -o " + shellQuote(dir.file("tone.ogg")) + " " + shellQuote(dir.file("tone.wav"));
    if (!run(command)) return {};
    return readBytes(dir.file("tone.ogg"));
}

}  // namespace fixtures
