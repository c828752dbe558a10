#include <gtest/gtest.h>

#include <string>

#include "engine/bass.h"
#include "engine/decode/decoder_table.h"
#include "tests/support/decode_chunks.h"
#include "tests/support/fixtures.h"

namespace {

enum class Probe { NeedMore, Mp3, Vorbis, Unknown };

// The built-in kinds' answer, named.
Probe probeFormat(const unsigned char* data, size_t size, const std::string& type) {
    using engine::decode::ProbeResult;
    auto result = engine::decode::probeStream(engine::decode::builtinDecoderKinds(), data, size, type);
    if (result.state == ProbeResult::NeedMore) return Probe::NeedMore;
    if (result.state == ProbeResult::Unknown) return Probe::Unknown;
    return result.kind->ctype == BASS_CTYPE_STREAM_MP3 ? Probe::Mp3 : Probe::Vorbis;
}

using test::Bytes;
using test::concat;
using test::junk;
using test::slice;

Probe probe(const Bytes& b, size_t size, const std::string& type = "") {
    return probeFormat(b.data(), std::min(size, b.size()), type);
}

Probe probe(const Bytes& b, const std::string& type = "") {
    return probe(b, b.size(), type);
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class ProbeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fixtures::Tone t;
        t.seconds = 1;
        mp3_ = fixtures::makeMp3(t, 128);
        ogg_ = fixtures::makeOggVorbis(t, {"TITLE=x"}, 42);
        ASSERT_FALSE(mp3_.empty() || ogg_.empty());
    }
    static Bytes mp3_, ogg_;
};

Bytes ProbeTest::mp3_, ProbeTest::ogg_;

TEST_F(ProbeTest, RecognisesMp3OnceTwoFramesAreThere) {
    EXPECT_EQ(probe(mp3_), Probe::Mp3);
    EXPECT_EQ(probe(mp3_, "audio/mpeg"), Probe::Mp3);
    EXPECT_EQ(probe(mp3_, "application/octet-stream"), Probe::Mp3);
    // 128 kbit/s frames are 417 or 418 bytes: one frame and the next header.
    EXPECT_EQ(probe(mp3_, 417 + 3), Probe::NeedMore);
    EXPECT_EQ(probe(mp3_, 417 + 4), Probe::Mp3);
}

TEST_F(ProbeTest, GrowingPrefixesNeverChangeTheAnswerOnceGiven) {
    for (const Bytes* stream : {&mp3_, &ogg_}) {
        Probe settled = Probe::NeedMore;
        for (size_t size = 0; size <= 6000; size += 1) {
            Probe p = probe(*stream, size);
            if (settled != Probe::NeedMore) {
                ASSERT_EQ(p, settled) << size;
            }
            settled = p;
        }
        EXPECT_NE(settled, Probe::NeedMore);
    }
}

TEST_F(ProbeTest, FindsMp3AfterABurstStartingMidFrameOrAfterJunk) {
    for (size_t offset : {1, 100, 417 * 3 + 211}) {
        EXPECT_EQ(probe(slice(mp3_, offset, mp3_.size())), Probe::Mp3) << offset;
    }
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        EXPECT_EQ(probe(concat({junk(2500, seed), mp3_})), Probe::Mp3) << seed;
    }
}

TEST_F(ProbeTest, AnId3TagMeansMp3UnlessTheServerSaysOtherwise) {
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x10, 0};
    EXPECT_EQ(probe(tag), Probe::Mp3);
    EXPECT_EQ(probe(tag, "audio/aac"), Probe::NeedMore);
    Bytes broken = tag;
    broken[6] = 0x80;  // sizes are 7 bits a byte
    EXPECT_EQ(probe(broken), Probe::NeedMore);
}

TEST_F(ProbeTest, RecognisesOggVorbisByItsFirstPage) {
    EXPECT_EQ(probe(ogg_), Probe::Vorbis);
    EXPECT_EQ(probe(ogg_, "application/ogg"), Probe::Vorbis);
    // The identification packet starts right after a 28-byte page header.
    EXPECT_EQ(probe(ogg_, 28 + 6), Probe::NeedMore);
    EXPECT_EQ(probe(ogg_, 28 + 7), Probe::Vorbis);
    EXPECT_EQ(probe(concat({junk(3000, 9), ogg_})), Probe::Vorbis);
}

TEST_F(ProbeTest, OggOfAnotherCodecIsNotVorbis) {
    Bytes other = ogg_;
    other[29] = 'X';  // "\x01vXrbis"
    Bytes padded = concat({other, junk(16 * 1024, 5)});
    EXPECT_EQ(probe(other, 100), Probe::NeedMore);
    EXPECT_EQ(probe(padded), Probe::Unknown);
}

TEST_F(ProbeTest, TheContentTypeBreaksATie) {
    Bytes both = concat({ogg_, mp3_});  // a Vorbis page first, MP3 frames later
    EXPECT_EQ(probe(both), Probe::Vorbis);
    EXPECT_EQ(probe(both, "audio/mpeg"), Probe::Mp3);
    Bytes reversed = concat({mp3_, ogg_});
    EXPECT_EQ(probe(reversed), Probe::Mp3);
    EXPECT_EQ(probe(reversed, "audio/ogg"), Probe::Vorbis);
    // A hint alone decides nothing.
    EXPECT_EQ(probe(junk(20000, 1), "audio/mpeg"), Probe::Unknown);
}

TEST_F(ProbeTest, HtmlIsRefusedAtOnce) {
    EXPECT_EQ(probe(text("<!DOCTYPE html>")), Probe::Unknown);
    EXPECT_EQ(probe(text("\r\n  <html><head><title>404"), "audio/mpeg"), Probe::Unknown);
    EXPECT_EQ(probe(text("\xef\xbb\xbf<?xml version=\"1.0\"?>")), Probe::Unknown);
    EXPECT_EQ(probe(text("<HTML>")), Probe::Unknown);
    EXPECT_EQ(probe(text("<!DOCTY")), Probe::NeedMore);
}

TEST_F(ProbeTest, TextIsRefusedOnce512BytesShowIt) {
    std::string line = "[playlist]\r\nFile1=http://example.org/stream\r\nTitle1=A station\r\n";
    std::string page;
    while (page.size() < 600) page += line;
    EXPECT_EQ(probe(text(page.substr(0, 511))), Probe::NeedMore);
    EXPECT_EQ(probe(text(page.substr(0, 512))), Probe::Unknown);
    std::string cyrillic;
    while (cyrillic.size() < 600) cyrillic += "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 ";
    EXPECT_EQ(probe(text(cyrillic)), Probe::Unknown);
}

TEST_F(ProbeTest, RandomBytesAreUnknownAfter16KiB) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Bytes noise = junk(16 * 1024, seed);
        EXPECT_EQ(probe(noise, 16 * 1024 - 1), Probe::NeedMore) << seed;
        EXPECT_EQ(probe(noise), Probe::Unknown) << seed;
    }
}

TEST_F(ProbeTest, TooFewBytesNeedMore) {
    EXPECT_EQ(probeFormat(nullptr, 0, ""), Probe::NeedMore);
    EXPECT_EQ(probe(mp3_, 3), Probe::NeedMore);
    EXPECT_EQ(probe(ogg_, 4), Probe::NeedMore);
    EXPECT_EQ(probe(text("   ")), Probe::NeedMore);
}

}  // namespace
