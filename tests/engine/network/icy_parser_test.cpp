#include "engine/network/icy_parser.h"

#include "tests/engine/network/event_recorder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using engine::net::IcyParser;
using test::MetaEvent;

struct Output {
    std::vector<unsigned char> audio;
    std::vector<MetaEvent> metas;
    bool insideMetadata = false;
    bool operator==(const Output&) const = default;
};

// A server's byte stream: audio in metaint-sized runs, each followed by a
// metadata block given as its raw bytes (length byte included).
class IcyWire {
public:
    explicit IcyWire(size_t metaint) : metaint_(metaint) {}

    void interval(const std::string& block) {
        for (size_t i = 0; i < metaint_; ++i) {
            auto byte = static_cast<unsigned char>((audio.size() * 7 + 3) % 256);
            audio.push_back(byte);
            wire.push_back(byte);
        }
        wire.insert(wire.end(), block.begin(), block.end());
    }

    std::vector<unsigned char> wire;
    std::vector<unsigned char> audio;

private:
    size_t metaint_;
};

std::string block(const std::string& text) {
    size_t units = (text.size() + 15) / 16;
    std::string bytes(1, static_cast<char>(units));
    bytes += text;
    bytes.append(units * 16 - text.size(), '\0');
    return bytes;
}

const std::string kEmpty(1, '\0');

std::string title(const std::string& name) {
    return "StreamTitle='" + name + "';";
}

Output parse(const std::vector<unsigned char>& wire, long metaint, const std::vector<size_t>& pieces) {
    Output out;
    IcyParser parser(
        metaint, [&](const unsigned char* data, size_t size) { out.audio.insert(out.audio.end(), data, data + size); },
        [&](const std::string& text) {
            out.metas.push_back({out.audio.size(), text});
        });
    size_t at = 0;
    for (size_t i = 0; at < wire.size(); ++i) {
        size_t size = std::min(pieces[i % pieces.size()], wire.size() - at);
        parser.feed(wire.data() + at, size);
        at += size;
    }
    out.insideMetadata = parser.insideMetadata();
    return out;
}

Output parseWhole(const std::vector<unsigned char>& wire, long metaint) {
    return parse(wire, metaint, {wire.size() + 1});
}

// Every edge case of the format in one stream, so that the chunk sweeps
// below cross each of them at every offset.
IcyWire mixedStream() {
    IcyWire wire(16);
    wire.interval(block(title("A")));
    wire.interval(kEmpty);
    wire.interval(block(title("A")));  // repeated: no event
    wire.interval(block(title("O'Brien; AC/DC")));
    wire.interval(block("StreamTitle='x';StreamUrl='';"));
    wire.interval(std::string(1, '\x05') + std::string(80, '\0'));   // all NUL: no event
    wire.interval(std::string(1, '\xff') + std::string(4080, 'z'));  // full, no NUL
    wire.interval(block(title("\xcf\xf0\xe8\xe2\xe5\xf2")));         // Windows-1251
    wire.interval(block(std::string(2000, 'L')));                    // length byte 0x7d
    wire.interval(block(std::string(2100, 'M')));                    // length byte 0x84: unsigned
    return wire;
}

TEST(IcyParser, DeliversAudioAndChangedTextsAtTheirPositions) {
    IcyWire wire = mixedStream();
    Output out = parseWhole(wire.wire, 16);
    EXPECT_EQ(out.audio, wire.audio);
    std::vector<MetaEvent> expected = {
        {16, title("A")},
        {64, title("O'Brien; AC/DC")},
        {80, "StreamTitle='x';StreamUrl='';"},
        {112, std::string(4080, 'z')},
        {128, title("\xcf\xf0\xe8\xe2\xe5\xf2")},
        {144, std::string(2000, 'L')},
        {160, std::string(2100, 'M')},
    };
    EXPECT_EQ(out.metas, expected);
    EXPECT_FALSE(out.insideMetadata);
}

TEST(IcyParser, ChunkSizeDoesNotChangeTheResult) {
    IcyWire wire = mixedStream();
    Output whole = parseWhole(wire.wire, 16);
    for (size_t piece : {1, 2, 3, 7, 13, 15, 16, 17, 31, 64, 4079, 4080, 4081, 4097})
        EXPECT_EQ(parse(wire.wire, 16, {piece}), whole) << "pieces of " << piece;
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<size_t> pieces;
        for (int i = 0; i < 50; ++i) pieces.push_back(1 + random() % 300);
        EXPECT_EQ(parse(wire.wire, 16, pieces), whole) << "random round " << round;
    }
}

TEST(IcyParser, BlockOfFullLengthEndingInNulDropsOnlyTheNul) {
    IcyWire wire(8);
    wire.interval(std::string(1, '\xff') + std::string(4079, 'q') + '\0');
    wire.interval(std::string(1, '\xff') + std::string(4080, 'q'));
    Output out = parseWhole(wire.wire, 8);
    ASSERT_EQ(out.metas.size(), 2u);
    EXPECT_EQ(out.metas[0].text.size(), 4079u);
    EXPECT_EQ(out.metas[1].text.size(), 4080u);
    EXPECT_EQ(out.audio, wire.audio);
}

TEST(IcyParser, TextEndsAtTheFirstNulAndIgnoresThePadding) {
    IcyWire wire(4);
    wire.interval(std::string(1, '\x02') + "StreamTitle='a';" + std::string(1, '\0') + "junk after NUL" + '\0');
    wire.interval(block(title("a")));  // the same text once the junk is cut: no event
    Output out = parseWhole(wire.wire, 4);
    std::vector<MetaEvent> expected = {{4, title("a")}};
    EXPECT_EQ(out.metas, expected);
}

TEST(IcyParser, TextAfterAnEmptyOrBlankBlockIsStillCompared) {
    IcyWire wire(10);
    wire.interval(block(title("A")));
    wire.interval(kEmpty);
    wire.interval(std::string(1, '\x01') + std::string(16, '\0'));
    wire.interval(block(title("A")));
    wire.interval(block(title("B")));
    wire.interval(block(title("A")));
    Output out = parseWhole(wire.wire, 10);
    std::vector<MetaEvent> expected = {{10, title("A")}, {50, title("B")}, {60, title("A")}};
    EXPECT_EQ(out.metas, expected);
}

TEST(IcyParser, CutOffBlockIsNeverReportedWhateverTheChunking) {
    IcyWire wire(32);
    wire.interval(block(title("whole")));
    wire.interval(block(title("never finished")));
    std::vector<unsigned char> cut(wire.wire.begin(), wire.wire.end() - 5);
    for (size_t piece : {1, 5, 16, 1000}) {
        Output out = parse(cut, 32, {piece});
        std::vector<MetaEvent> expected = {{32, title("whole")}};
        EXPECT_EQ(out.metas, expected) << piece;
        EXPECT_EQ(out.audio, wire.audio) << piece;
        EXPECT_TRUE(out.insideMetadata) << piece;
    }
}

TEST(IcyParser, StreamCutRightAfterTheLengthByteIsInsideMetadata) {
    IcyWire wire(8);
    wire.interval(std::string(1, '\x03'));
    Output out = parseWhole(wire.wire, 8);
    EXPECT_TRUE(out.metas.empty());
    EXPECT_EQ(out.audio, wire.audio);
    EXPECT_TRUE(out.insideMetadata);
}

TEST(IcyParser, ZeroIntervalPassesEveryByteThrough) {
    IcyWire wire(16);
    wire.interval(block(title("looks like metadata")));
    for (long metaint : {0L, -16L}) {
        Output out = parse(wire.wire, metaint, {7});
        EXPECT_EQ(out.audio, wire.wire) << metaint;
        EXPECT_TRUE(out.metas.empty()) << metaint;
    }
}

TEST(IcyParser, IntervalOfOneByte) {
    IcyWire wire(1);
    wire.interval(block(title("x")));
    wire.interval(kEmpty);
    wire.interval(block(title("y")));
    Output out = parse(wire.wire, 1, {3});
    EXPECT_EQ(out.audio, wire.audio);
    std::vector<MetaEvent> expected = {{1, title("x")}, {3, title("y")}};
    EXPECT_EQ(out.metas, expected);
}

}  // namespace
