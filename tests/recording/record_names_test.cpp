#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/code_page.h"
#include "recording/record_names.h"

TEST(RecordStem, IsTheTextBeforeTheLastDashWithoutTrailingBlanks) {
    EXPECT_EQ(recordStem("Some Band - Song Name"), "Some Band");
    EXPECT_EQ(recordStem("A-ha - Take On Me"), "A-ha");
    EXPECT_EQ(recordStem("Artist-Song"), "Artist");
    EXPECT_EQ(recordStem("Artist \t - Song"), "Artist");
    EXPECT_EQ(recordStem("Artist -"), "Artist");
    EXPECT_EQ(recordStem(" - Song"), "");
    EXPECT_EQ(recordStem("-"), "");
    EXPECT_EQ(recordStem("  Lead - Song"), "  Lead");
}

TEST(RecordStem, NoDashOrNoTitleMeansTheScratchFile) {
    EXPECT_FALSE(recordStem(nullptr).has_value());
    EXPECT_FALSE(recordStem("Jingle").has_value());
    EXPECT_FALSE(recordStem("").has_value());
    EXPECT_STREQ(kScratchRecordName, "r.tmp");
}

TEST(NumberedRecordName, NumbersWithAtLeastTwoDigits) {
    EXPECT_EQ(numberedRecordName(7, "Some Band"), "07-Some Band.mp3");
    EXPECT_EQ(numberedRecordName(42, "X"), "42-X.mp3");
    EXPECT_EQ(numberedRecordName(123, "X"), "123-X.mp3");
    EXPECT_EQ(numberedRecordName(8, ""), "08-.mp3");
}

TEST(NumberedRecordName, ReplacesCharactersThatCannotStandInAName) {
    EXPECT_EQ(numberedRecordName(1, "AC/DC"), "01-AC_DC.mp3");
    EXPECT_EQ(numberedRecordName(1, "../../etc/passwd"), "01-.._.._etc_passwd.mp3");
    EXPECT_EQ(numberedRecordName(1, "..\\..\\x"), "01-.._.._x.mp3");
    EXPECT_EQ(numberedRecordName(1, "a:b*c?d\"e<f>g|h"), "01-a_b_c_d_e_f_g_h.mp3");
    EXPECT_EQ(numberedRecordName(1, std::string("t\tn\nr\rz\x7f\x01", 9)), "01-t_n_r_z__.mp3");
    // A UTF-8 stem stays as it is; any other is Windows-1251 and becomes
    // UTF-8, a mixed one too (as the window shows it).
    EXPECT_EQ(numberedRecordName(2, "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE"), "02-\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.mp3");
    EXPECT_EQ(numberedRecordName(2, "\xCA\xE8\xED\xEE"), "02-\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.mp3");
    EXPECT_EQ(numberedRecordName(3, "\xD0\x9A \xEE/\x98"), "03-\xD0\xA0\xD1\x99 \xD0\xBE_\xEF\xBF\xBD.mp3");
    // C1 controls of a UTF-8 stem are unsafe too.
    EXPECT_EQ(numberedRecordName(4, "a\xC2\x85\xC2\x9F\xC2\xA0z"), "04-a__\xC2\xA0z.mp3");
}

TEST(NumberedRecordName, KeepsWithin99CharactersAnd255Bytes) {
    // "NN-" + 92 + ".mp3" = 99 exactly; one more is cut back to 99.
    EXPECT_EQ(numberedRecordName(5, std::string(92, 's')), "05-" + std::string(92, 's') + ".mp3");
    EXPECT_EQ(numberedRecordName(5, std::string(93, 's')), "05-" + std::string(92, 's') + ".mp3");
    EXPECT_EQ(numberedRecordName(100, std::string(500, 's')), "100-" + std::string(91, 's') + ".mp3");
    // Two bytes a letter: 92 letters fit whether sent as UTF-8 or Windows-1251.
    std::string utf8, cp1251;
    for (int i = 0; i < 93; ++i) {
        utf8 += "\xD1\x8F";
        cp1251 += "\xFF";
    }
    std::string expected = "05-" + utf8.substr(0, 184) + ".mp3";
    EXPECT_EQ(numberedRecordName(5, utf8.substr(0, 184)), expected);
    EXPECT_EQ(numberedRecordName(5, utf8), expected);
    EXPECT_EQ(numberedRecordName(5, cp1251), expected);
    EXPECT_EQ(numberedRecordName(5, "x" + utf8), "05-x" + utf8.substr(0, 182) + ".mp3");
    // Three bytes a character ("\x99" is U+2122): the 255 bytes end it
    // first, at 82 characters (3 + 246 + 4 = 253; one more would be 256),
    // and with two letters before them at exactly 255.
    std::string marks(100, '\x99'), mark = "\xE2\x84\xA2", expectedMarks;
    for (int i = 0; i < 82; ++i) expectedMarks += mark;
    EXPECT_EQ(numberedRecordName(5, marks), "05-" + expectedMarks + ".mp3");
    EXPECT_EQ(numberedRecordName(5, "ab" + marks), "05-ab" + expectedMarks + ".mp3");
}

TEST(NumberedRecordName, NoStemLeadsOutOfTheFolder) {
    std::mt19937 rng(99);
    const char alphabet[] = "./\\:*?\"<>|\t\n-aZ \xD0\x9F\xFF";
    for (int round = 0; round < 20000; ++round) {
        std::string stem;
        size_t n = rng() % 140;
        for (size_t i = 0; i < n; ++i) stem += alphabet[rng() % (sizeof alphabet - 1)];
        int number = static_cast<int>(rng() % 1000);
        std::string name = numberedRecordName(number, stem);
        ASSERT_LE(name.size(), kRecordNameMaxBytes);
        ASSERT_TRUE(platform::isValidUtf8(name)) << name;
        ASSERT_EQ(name.find_first_of("/\\:*?\"<>|\t\n"), std::string::npos) << name;
        ASSERT_NE(name, ".");
        ASSERT_NE(name, "..");
        ASSERT_EQ(name.compare(name.size() - 4, 4, ".mp3"), 0);
        ASSERT_EQ(name.find(std::to_string(number) + "-"), number < 10 ? 1u : 0u);
    }
}
