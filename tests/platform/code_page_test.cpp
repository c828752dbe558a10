// Text bytes: UTF-8 when they are well-formed UTF-8, Windows-1251 otherwise.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "platform/code_page.h"

namespace {

using platform::displayTextUtf8;
using platform::isValidUtf8;
using platform::windows1251ToUtf8;

// The C library's own converter, as a second opinion on the table.
std::string iconvFrom1251(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return "<unmapped>";
    out.resize(out.size() - outLeft);
    return out;
}

TEST(CodePage, EveryWindows1251ByteMatchesTheCLibrary) {
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == 0x98) continue;  // undefined in the code page
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(windows1251ToUtf8(byte), iconvFrom1251(byte)) << "byte 0x" << std::hex << b;
    }
    EXPECT_EQ(windows1251ToUtf8("\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(windows1251ToUtf8("\xC2\xFB\xE1\xEE\xF0 \xF1\xF2\xE0\xED\xF6\xE8\xE8"), "Выбор станции");
}

TEST(CodePage, WellFormedUtf8IsRecognised) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII, 7-bit"));
    EXPECT_TRUE(isValidUtf8("Кино — Группа крови"));
    EXPECT_TRUE(isValidUtf8("\xC2\x80"));          // smallest 2-byte form
    EXPECT_TRUE(isValidUtf8("\xE0\xA0\x80"));      // smallest 3-byte form
    EXPECT_TRUE(isValidUtf8("\xED\x9F\xBF"));      // U+D7FF, just below the surrogates
    EXPECT_TRUE(isValidUtf8("\xF0\x90\x80\x80"));  // U+10000
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
}

TEST(CodePage, MalformedUtf8IsNotUtf8) {
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xC1\xBF"));          // overlong
    EXPECT_FALSE(isValidUtf8("\xE0\x9F\xBF"));      // overlong 3-byte
    EXPECT_FALSE(isValidUtf8("\xF0\x8F\xBF\xBF"));  // overlong 4-byte
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_FALSE(isValidUtf8("abc\xD0"));  // cut short
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));
    EXPECT_FALSE(isValidUtf8("\x80"));  // a lone continuation byte
    EXPECT_FALSE(isValidUtf8("\xD0\x41"));
    EXPECT_FALSE(isValidUtf8("\xC2\xFB\xE1\xEE\xF0"));  // "Выбор" in Windows-1251
}

TEST(CodePage, DisplayPicksUtf8FirstAndKeepsOtherBytesAsWindows1251) {
    EXPECT_EQ(displayTextUtf8("Радио"), "Радио");
    EXPECT_EQ(displayTextUtf8("\xD0\xE0\xE4\xE8\xEE"), "Радио");
    EXPECT_EQ(displayTextUtf8("Caf\xE9"), "Cafй");  // Latin-1 text is no UTF-8 either
    // A UTF-8 title with one stray byte is read entirely as Windows-1251.
    EXPECT_EQ(displayTextUtf8("\xD0\xB0\xFF"), "Р°я");
}

}  // namespace
