// The Info report's text from given pieces: order, labels, free memory, the
// 800-byte bound; and the device list's lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/bass.h"
#include "platform/code_page.h"
#include "report/audio_report.h"
#include "report/info_text.h"

namespace {

std::string freeMemory(const char* kilobytes) {
    char text[kFreeMemoryCapacity];
    formatFreeMemory(kilobytes, text);
    return text;
}

TEST(FreeMemory, GoesThroughA32BitFloat) {
    EXPECT_EQ(freeMemory("2097152"), "2048.000 Mb\n\n");
    EXPECT_EQ(freeMemory("1048575"), "1023.999 Mb\n\n");
    EXPECT_EQ(freeMemory("16777217"), "16384.000 Mb\n\n");
    EXPECT_EQ(freeMemory("16777219"), "16384.004 Mb\n\n");
    // Read as atoi reads: blanks and a sign, digits up to anything else.
    EXPECT_EQ(freeMemory(" \t+1024 kB"), "1.000 Mb\n\n");
    EXPECT_EQ(freeMemory("-1024"), "-1.000 Mb\n\n");
    EXPECT_EQ(freeMemory("kB 1024"), "0.000 Mb\n\n");
    EXPECT_EQ(freeMemory(""), "0.000 Mb\n\n");
    // Beyond the signed 32-bit range the count is held at its ends.
    EXPECT_EQ(freeMemory("2147483647"), freeMemory("99999999999999999999999"));
    EXPECT_EQ(freeMemory("-2147483648"), freeMemory("-99999999999999999999999"));
    EXPECT_EQ(freeMemory("-2147483648"), "-2097152.000 Mb\n\n");
    EXPECT_EQ(freeMemory(nullptr), "unknown\n\n");
}

// The labels in the program's code page; the report shows them in UTF-8.
const char kPlugins1251[] = "\xC7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xFB\xE5 \xEF\xEB\xE0\xE3\xE8\xED\xFB:\n";

TEST(InfoReport, PiecesInOrderInUtf8) {
    char report[kInfoReportCapacity];
    composeInfoReport(
        report, {"BASS version. 2.4.9..", "\xD0\x90\xD1\x83\xD0\xB4\xD0\xB8\xD0\xBE:\nNo sound\nDefault  -  DEFAULT\n",
                 "192.0.2.7", "Debian GNU/Linux 12 (bookworm)", "6.1.0", "2048.000 Mb\n\n", kPlugins1251});
    EXPECT_STREQ(report,
                 "BASS version. 2.4.9..\n\n"
                 "Аудио:\nNo sound\nDefault  -  DEFAULT\n\n\n"
                 " IP:   192.0.2.7\n\n"
                 " OS:  Debian GNU/Linux 12 (bookworm),  Версия: 6.1.0\n\n"
                 " Свободно памяти:  2048.000 Mb\n\n"
                 "Загруженные плагины:\n");
    composeInfoReport(report, {"v", nullptr, nullptr, nullptr, nullptr, "1.000 Mb\n\n", ""});
    EXPECT_STREQ(
        report, "v\n\nunknown\n\n IP:   unknown\n\n OS:  unknown,  Версия: unknown\n\n Свободно памяти:  1.000 Mb\n\n");
}

TEST(InfoReport, LongPiecesAreCutAtAWholeCharacterWithinTheBuffer) {
    std::string cyrillic1251(400, '\xFF'), ascii(400, 'a');
    for (size_t shift = 0; shift < 4; ++shift) {
        std::string version(shift, 'v');
        char guarded[kInfoReportCapacity + 16];
        memset(guarded, '#', sizeof guarded);
        composeInfoReport(guarded, {version.c_str(), ascii.c_str(), cyrillic1251.c_str(), ascii.c_str(),
                                    cyrillic1251.c_str(), "1 Mb\n\n", kPlugins1251});
        size_t length = strlen(guarded);
        EXPECT_LT(length, kInfoReportCapacity);
        EXPECT_GE(length, kInfoReportCapacity - 2);
        EXPECT_TRUE(platform::isValidUtf8(guarded));
        EXPECT_EQ(std::string(guarded + kInfoReportCapacity, 16), std::string(16, '#'));
    }
}

TEST(DeviceList, MarksTheDefaultAndKeepsWholeLinesWithin300Bytes) {
    char list[300] = "header\n";
    EXPECT_TRUE(appendDeviceLine(list, "Speakers", BASS_DEVICE_ENABLED | BASS_DEVICE_DEFAULT | BASS_DEVICE_INIT));
    EXPECT_TRUE(appendDeviceLine(list, "\xC4\xE8\xED\xE0\xEC\xE8\xEA\xE8", BASS_DEVICE_ENABLED));
    EXPECT_STREQ(list, "header\nSpeakers  -  DEFAULT\nДинамики\n");
    // 291 bytes used: a line of 8 bytes still fits (299), one of 9 does not.
    std::string filler(291 - strlen(list) - 1, 'x');
    ASSERT_TRUE(appendDeviceLine(list, filler.c_str(), 0));
    EXPECT_FALSE(appendDeviceLine(list, "12345678", 0));
    EXPECT_EQ(strlen(list), 291u);
    EXPECT_TRUE(appendDeviceLine(list, "1234567", 0));
    EXPECT_EQ(strlen(list), 299u);
}

TEST(DeviceList, ListsTheEnginesDevicesUnderItsHeader) {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    char* list = buildDeviceList();
    std::string text = list;
    delete[] list;
    BASS_Free();
    EXPECT_EQ(text.rfind("Аудиовыходы:\nNo sound\n", 0), 0u) << text;
    EXPECT_NE(text.find("  -  DEFAULT\n"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
