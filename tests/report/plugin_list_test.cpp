// loadPlugins and the plug-in calls, run from a program folder that holds
// the real plug-ins, a plug-in with two formats and files that match
// "bass*.so" without being plug-ins (tests/plugins/CMakeLists.txt).
#include <unistd.h>

#include <cstring>

#include "engine/bass.h"
#include "platform/file_search.h"
#include "report/audio_report.h"
#include "tests/plugins/encoders.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"

namespace {

const std::string kHeader = "\xC7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xFB\xE5 \xEF\xEB\xE0\xE3\xE8\xED\xFB:\n";

std::string programFolder() {
    char path[4096] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string text(path, size_t(std::max<ssize_t>(length, 0)));
    return text.substr(0, text.rfind('/'));
}

// The lines each plug-in of the folder adds.
std::string linesOf(const std::string& file) {
    if (file == "bassaac.so") return "AAC stream: *.aac;*.adts\n";
    if (file == "bassopus.so") return "Ogg Opus: *.opus\n";
    if (file == "bassfake.so") return "Fake one: *.one\nFake two: *.two;*.2\n";
    return "";
}

TEST(PluginList, EachFormatOfEachPluginInSearchOrderAndNothingForOtherFiles) {
    auto files = findFiles(programFolder(), "bass*.so");
    ASSERT_EQ(files.size(), 6u) << "three plug-ins, three files that are none, BASSTEXT.SO among them";
    std::string expected = kHeader;
    for (const auto& file : files) expected += linesOf(file);
    snprintf(player.pluginText, sizeof player.pluginText, "%s", kHeader.c_str());
    loadPlugins();
    EXPECT_EQ(std::string(player.pluginText), expected);

    // Near its end the list takes whole lines only and stays in its buffer.
    std::string full(360, 'x');
    snprintf(player.pluginText, sizeof player.pluginText, "%s\n", full.c_str());
    loadPlugins();
    std::string text = player.pluginText;
    EXPECT_LT(text.size(), sizeof player.pluginText);
    EXPECT_GT(text.size(), full.size() + 1) << "a line that fits is still added";
    EXPECT_EQ(text.back(), '\n');
}

// Every path length around the end of the 260-byte buffer: the pattern and
// its NUL stay inside it, and a path with no room for them searches nowhere.
TEST(PluginList, SearchPatternStaysInsideThePathBuffer) {
    for (size_t length = 240; length < 260; ++length) {
        char buffer[261];
        memset(buffer, 'd', sizeof buffer);
        buffer[length] = '\0';
        buffer[length - 3] = '/';  // a program name of two characters
        char* pattern = pluginSearchPattern(buffer, 260, length);
        EXPECT_EQ(buffer[260], 'd') << length;
        size_t needed = length - 2 + strlen("bass*.so") + 1;
        ASSERT_EQ(pattern != nullptr, needed <= 260) << length;
        if (pattern) {
            EXPECT_STREQ(pattern, "bass*.so");
            EXPECT_EQ(strlen(buffer), length - 3);
        }
    }
}

TEST(PluginLoad, RefusesFilesThatAreNoPluginsEachWithItsReason) {
    struct Case {
        const char* file;
        int error;
    } cases[] = {{"bassnoentry.so", BASS_ERROR_NOPLUGIN},
                 {"bassversion.so", BASS_ERROR_VERSION},
                 {"BASSTEXT.SO", BASS_ERROR_FILEFORM},
                 {"bassmissing.so", BASS_ERROR_FILEOPEN},
                 {"", BASS_ERROR_ILLPARAM}};
    for (const auto& c : cases) {
        EXPECT_EQ(BASS_PluginLoad(c.file, 0), 0u) << c.file;
        EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.file;
    }
    HPLUGIN aac = BASS_PluginLoad("bassaac.so", 0);
    ASSERT_NE(aac, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_PluginLoad((programFolder() + "/bassaac.so").c_str(), 0), aac) << "the same file, the same handle";
    EXPECT_EQ(BASS_PluginGetInfo(aac)->formats[0].ctype, DWORD(BASS_CTYPE_STREAM_AAC));
    EXPECT_EQ(BASS_PluginGetInfo(0), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

class PluginPlayer : public PlayerTest {};

// Start-up loads the plug-ins beside the program: an AAC and an Opus
// station play, with their formats and titles.
TEST_F(PluginPlayer, AacAndOpusStationsPlayWithTheirTitles) {
    fixtures::TempDir dir;
    std::string aac = dir.file("tone.aac"), opus = dir.file("tone.opus");
    ASSERT_TRUE(test::encodeAac({.seconds = 2}, aac));
    ASSERT_TRUE(test::encodeOpus({.seconds = 2}, {"ARTIST=Opus Band", "TITLE=Opus Song"}, opus));
    test::StreamServer server;
    ASSERT_TRUE(server.route(R"({"path": "/aac", "status": "ICY 200 OK", "headers": ["icy-metaint: 4000"],
        "metaint": 4000, "meta": [{"block": 0, "title": "Aac Band - Aac Song"}], "loop": true,
        "body": [{"file": ")" +
                             aac + R"("}]})"));
    ASSERT_TRUE(server.route(R"({"path": "/opus", "loop": true, "body": [{"file": ")" + opus + R"("}]})"));
    writeStations("AAC, " + server.url("/aac") + "\nOpus, " + server.url("/opus") + "\n");
    ASSERT_NE(open(), nullptr);
    EXPECT_NE(std::string(player.pluginText).find(linesOf("bassopus.so")), std::string::npos);

    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    EXPECT_TRUE(pumpUntil([&] { return text(IDC_FORMAT).ends_with(" AAC stream"); }));
    EXPECT_TRUE(pumpUntil([&] { return text(IDC_TITLE).find("Aac Song") != std::string::npos; }));
    platform::testing::selectListRow(item(IDC_STATIONS), 1);
    EXPECT_TRUE(pumpUntil([&] { return text(IDC_FORMAT).starts_with("channels: 2 48 kHz"); }));
    EXPECT_TRUE(pumpUntil([&] { return text(IDC_TITLE).find("Opus Song") != std::string::npos; }));
    EXPECT_TRUE(boxes().empty());
}

}  // namespace
