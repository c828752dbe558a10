#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>

#include "engine/bass.h"
#include "engine/decode/decoder.h"
#include "tests/support/decode_chunks.h"
#include "tests/support/fixtures.h"
#include "tests/support/tone_analysis.h"

using engine::decode::AudioFormat;
using engine::decode::makeVorbisDecoder;

namespace {

using test::Bytes;
using test::concat;
using test::junk;
using test::slice;

struct Change {
    long atFrame;  // frames returned before the callback
    AudioFormat format;
    std::vector<std::string> comments;
};

struct Decoded : test::Decoded {
    std::vector<std::string> comments;  // after the first audio
    std::vector<Change> changes;
};

Decoded decodeInChunks(const Bytes& bytes, size_t chunk) {
    auto decoder = makeVorbisDecoder();
    Decoded d;
    decoder->onStreamChange = [&] { d.changes.push_back({d.frames, decoder->format(), decoder->comments()}); };
    test::feedInChunks(*decoder, bytes, chunk, d, [&] {
        if (d.frames == 0) d.comments = decoder->comments();
    });
    return d;
}

// Frames that end within the page holding byte `offset` (from the granule
// positions of that page and the one before).
long framesOfPageAt(const Bytes& ogg, size_t offset) {
    long before = 0;
    for (size_t at = 0; at + 27 <= ogg.size();) {
        size_t size = 27 + ogg[at + 26];
        for (size_t i = 0; i < ogg[at + 26]; ++i) size += ogg[at + 27 + i];
        long granule = 0;
        for (int i = 7; i >= 0; --i) granule = granule * 256 + ogg[at + 6 + static_cast<size_t>(i)];
        if (offset < at + size) return granule - before;
        before = granule;
        at += size;
    }
    return 0;
}

// The pages of another codec's logical stream: a first page and a last one,
// each with one small packet.
std::pair<Bytes, Bytes> foreignStreamPages(int serial) {
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    auto page = [&](const char* text, bool first, bool last) {
        std::vector<unsigned char> data(text, text + std::strlen(text) + 1);
        ogg_packet packet = {data.data(), static_cast<long>(data.size()), first, last, 0, first ? 0 : 1};
        ogg_stream_packetin(&stream, &packet);
        ogg_page out;
        Bytes bytes;
        while (ogg_stream_flush(&stream, &out)) {
            bytes.insert(bytes.end(), out.header, out.header + out.header_len);
            bytes.insert(bytes.end(), out.body, out.body + out.body_len);
        }
        return bytes;
    };
    Bytes firstPage = page("fishead", true, false);
    Bytes lastPage = page("end", false, true);
    ogg_stream_clear(&stream);
    return {firstPage, lastPage};
}

class VorbisDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        first_ = fixtures::makeOggVorbis(fixtures::Tone{}, {"TITLE=First song", "ARTIST=Band A"}, 1111);
        fixtures::Tone t;
        t.rate = 22050;
        t.channels = 1;
        t.frequency = 440;
        t.seconds = 1.5;
        second_ = fixtures::makeOggVorbis(t, {"TITLE=Second song"}, 2222);
        ASSERT_FALSE(first_.empty() || second_.empty()) << "oggenc failed";
    }
    static Bytes first_, second_;
};

Bytes VorbisDecoderTest::first_, VorbisDecoderTest::second_;

TEST_F(VorbisDecoderTest, DecodesTheToneWithItsFormatLengthAndComments) {
    Decoded d = decodeInChunks(first_, first_.size());
    ASSERT_FALSE(d.failed);
    EXPECT_EQ(d.format.rate, 44100);
    EXPECT_EQ(d.format.channels, 2);
    EXPECT_EQ(d.format.ctype, static_cast<uint32_t>(BASS_CTYPE_STREAM_OGG));
    EXPECT_EQ(d.frames, 2 * 44100) << "the last page's position trims the end";
    EXPECT_EQ(d.comments, (std::vector<std::string>{"TITLE=First song", "ARTIST=Band A"}));
    EXPECT_TRUE(d.changes.empty());
    for (int channel = 0; channel < 2; ++channel) {
        auto middle = tone::channelOf(d.samples, 2, channel, 4410, 4410 + 44100);
        EXPECT_NEAR(tone::zeroCrossingFrequency(middle, 44100), 1000, 1);
        EXPECT_NEAR(tone::toDb(tone::amplitudeAt(middle, 1000, 44100) / 0.5), 0, 0.5);
    }
}

TEST_F(VorbisDecoderTest, AnyChunkingGivesTheSameSamplesAndChangePositions) {
    Bytes chain = concat({first_, second_});
    Decoded whole = decodeInChunks(chain, chain.size());
    for (size_t chunk : {1, 7, 13, 16, 17, 4096}) {
        SCOPED_TRACE(chunk);
        Decoded d = decodeInChunks(chain, chunk);
        EXPECT_FALSE(d.failed);
        EXPECT_TRUE(d.samples == whole.samples);
        ASSERT_EQ(d.changes.size(), 1u);
        EXPECT_EQ(d.changes[0].atFrame, whole.changes[0].atFrame);
    }
}

TEST_F(VorbisDecoderTest, AChainedStreamReplacesCommentsAndFormatAtItsFirstSample) {
    Decoded d = decodeInChunks(concat({first_, second_}), 4096);
    ASSERT_FALSE(d.failed);
    ASSERT_EQ(d.changes.size(), 1u) << "one change, for the second stream only";
    const Change& change = d.changes[0];
    EXPECT_EQ(change.atFrame, 2 * 44100);
    EXPECT_EQ(change.comments, std::vector<std::string>{"TITLE=Second song"});
    EXPECT_EQ(change.format.rate, 22050);
    EXPECT_EQ(change.format.channels, 1);
    EXPECT_EQ(d.frames, 2 * 44100 + 33075);
    // No call mixes the two streams' samples.
    long firstFrames = 0;
    for (const auto& [format, frames] : d.calls)
        if (format.rate == 44100) firstFrames += frames;
    EXPECT_EQ(firstFrames, 2 * 44100);
    std::vector<float> tail(d.samples.begin() + 2 * 2 * 44100, d.samples.end());
    EXPECT_NEAR(tone::zeroCrossingFrequency(tone::channelOf(tail, 1, 0, 2205, 2205 + 22050), 22050), 440, 1);
}

TEST_F(VorbisDecoderTest, ThreeLinksFireTwoChanges) {
    Bytes third = fixtures::makeOggVorbis(fixtures::Tone{}, {"TITLE=Third"}, 3333);
    Decoded d = decodeInChunks(concat({first_, second_, third}), 5000);
    ASSERT_EQ(d.changes.size(), 2u);
    EXPECT_EQ(d.changes[1].atFrame, 2 * 44100 + 33075);
    EXPECT_EQ(d.changes[1].comments, std::vector<std::string>{"TITLE=Third"});
    EXPECT_EQ(d.changes[1].format.channels, 2);
}

TEST_F(VorbisDecoderTest, SkipsJunkBeforeTheFirstPage) {
    Decoded clean = decodeInChunks(first_, 4096);
    Decoded d = decodeInChunks(concat({junk(5000, 3), first_}), 4096);
    ASSERT_FALSE(d.failed);
    EXPECT_TRUE(d.samples == clean.samples);
}

TEST_F(VorbisDecoderTest, AStreamJoinedMidwayWaitsForTheNextFirstPage) {
    Decoded d = decodeInChunks(concat({slice(first_, first_.size() / 2, first_.size()), second_}), 4096);
    ASSERT_FALSE(d.failed);
    EXPECT_TRUE(d.changes.empty()) << "the first stream heard is not a change";
    EXPECT_EQ(d.frames, 33075);
    EXPECT_EQ(d.comments, std::vector<std::string>{"TITLE=Second song"});
}

TEST_F(VorbisDecoderTest, FindsVorbisInAGroupOfConcurrentStreams) {
    // All first pages of a group come before any other page; the other
    // stream's pages are passed over, whichever first page comes first.
    Decoded clean = decodeInChunks(first_, 4096);
    auto [otherFirst, otherLast] = foreignStreamPages(77);
    size_t vorbisFirstPage = 28 + 30;  // its header and the 30-byte identification packet
    Bytes before = concat(
        {otherFirst, slice(first_, 0, vorbisFirstPage), otherLast, slice(first_, vorbisFirstPage, first_.size())});
    Bytes after = concat(
        {slice(first_, 0, vorbisFirstPage), otherFirst, otherLast, slice(first_, vorbisFirstPage, first_.size())});
    for (const Bytes* group : {&before, &after}) {
        Decoded d = decodeInChunks(*group, 100);
        EXPECT_FALSE(d.failed);
        EXPECT_TRUE(d.samples == clean.samples);
        EXPECT_TRUE(d.changes.empty());
    }
}

TEST_F(VorbisDecoderTest, ContinuesAfterGarbageInTheMiddle) {
    for (size_t size : {1, 300, 20000}) {
        SCOPED_TRACE(size);
        size_t cut = first_.size() / 2;
        Decoded d = decodeInChunks(
            concat({slice(first_, 0, cut), junk(size, 5), slice(first_, cut, first_.size()), second_}), 4096);
        ASSERT_FALSE(d.failed);
        // The damaged page is lost, and a packet it shared with the next one.
        EXPECT_GE(d.frames, 2 * 44100 - framesOfPageAt(first_, cut) - 2048);
        EXPECT_LT(d.frames, 2 * 44100);
        ASSERT_EQ(d.changes.size(), 1u);
        EXPECT_EQ(d.changes[0].comments, std::vector<std::string>{"TITLE=Second song"});
    }
}

TEST_F(VorbisDecoderTest, GivesUpOnlyAfterLongJunk) {
    Decoded survives = decodeInChunks(concat({first_, junk(900 * 1024, 8), second_}), 8192);
    EXPECT_FALSE(survives.failed);
    EXPECT_EQ(survives.frames, 2 * 44100 + 33075);
    Decoded gaveUp = decodeInChunks(concat({first_, junk(1200 * 1024, 8), second_}), 8192);
    EXPECT_TRUE(gaveUp.failed);
    EXPECT_EQ(gaveUp.frames, 2 * 44100);
}

TEST_F(VorbisDecoderTest, RefusesAnotherCodecInOgg) {
    // A first page of an unknown codec, then its pages: no audio, and in the
    // end a failure, never a crash.
    Bytes fake = first_;
    std::string_view id = "\x01vorbis";
    auto at = std::search(fake.begin(), fake.end(), id.begin(), id.end());
    ASSERT_NE(at, fake.end());
    at[1] = 'x';  // also breaks the page checksum: the page is skipped as junk
    std::vector<float> out;
    auto decoder = makeVorbisDecoder();
    long result = 0;
    for (int i = 0; i < 200 && result >= 0; ++i) {
        decoder->feed(fake.data(), fake.size());
        result = decoder->decode(out);
        EXPECT_LE(result, 0);
    }
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(out.empty());
}

}  // namespace
