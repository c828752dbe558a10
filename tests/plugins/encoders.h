// AAC (ffmpeg's own encoder, AAC-LC in ADTS: no encoder in Debian makes
// HE-AAC) and Ogg Opus (opusenc) files of a tone, for the plug-in tests.
#pragma once

#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace test {

inline bool encodeAac(const fixtures::Tone& tone, const std::string& path) {
    std::string wav = path + ".wav";
    fixtures::writeWav(wav, fixtures::sinePcm16(tone), tone.rate, tone.channels);
    return fixtures::run("ffmpeg -loglevel error -y -i " + fixtures::shellQuote(wav) + " -c:a aac -b:a 128k -f adts " +
                         fixtures::shellQuote(path));
}

// A new random serial number every time: two files make a chained stream.
inline bool encodeOpus(const fixtures::Tone& tone, const std::vector<std::string>& comments, const std::string& path) {
    std::string wav = path + ".wav";
    fixtures::writeWav(wav, fixtures::sinePcm16(tone), tone.rate, tone.channels);
    std::string command = "opusenc --quiet --bitrate 64 --discard-comments";
    for (const auto& c : comments) command += " --comment " + fixtures::shellQuote(c);
    return fixtures::run(command + " " + fixtures::shellQuote(wav) + " " + fixtures::shellQuote(path));
}

}  // namespace test
