// The "&Info" button: the report box as the window shows it, and what goes
// on while a real box is open.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <sys/utsname.h>
#include <chrono>

#include "tests/support/fixtures.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/record_folder.h"
#include "tests/support/stream_server.h"

namespace {

using InfoBoxTest = PlayerTest;

TEST_F(InfoBoxTest, InfoShowsTheReportInItsBoxEachPress) {
    ASSERT_NE(open(), nullptr);
    platform::testing::click(item(IDC_INFO));
    platform::testing::click(item(IDC_INFO));
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Harkbox info:  2.03 BASS-2.4.9 5+1 ver. File Record");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
    const std::string& text = shown[1].text;
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(text.rfind("BASS version. 2.4.9..\n\nАудиовыходы:\nNo sound\n", 0), 0u) << text;
    EXPECT_NE(text.find(",  Версия: " + std::string(names.release) + "\n\n Свободно памяти:  "), std::string::npos);
    EXPECT_NE(text.find(" Mb\n\nЗагруженные плагины:\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\n\n IP:   "), std::string::npos) << text;
}

// A real box runs its own loop on the dialog's thread, which goes on ticking:
// the meters (zeroed here when it opens) are lifted again by the tone, while
// the stream and the recorder, on the engine's threads, go on.
TEST_F(InfoBoxTest, WhileTheBoxIsOpenTheMetersMoveTheStreamPlaysAndRecordingGoesOn) {
    testsupport::RecordFolderGuard folder;
    test::StreamServer server;
    std::string mp3 = workDir / "tone.mp3";
    fixtures::writeBytes(mp3, fixtures::makeMp3({.frequency = 440, .seconds = 2}));
    ASSERT_TRUE(server.route(R"({"path": "/radio", "body": [{"file": )" + test::StreamServer::quote(mp3) +
                             R"(}], "loop": true, "rate": 16000})"));
    writeStations("Radio," + server.url("/radio") + "\n");
    ASSERT_NE(open(), nullptr);
    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    platform::testing::click(item(IDC_REC));
    ASSERT_TRUE(pumpUntil([&] { return folder.read("r.tmp").size() > 0; }, 60000));
    platform::testing::setMessageBoxInterceptor({});

    auto meterShowsTheTone = [&] { return send(IDC_LEVEL_LEFT, PBM_GETPOS) > 0; };
    ASSERT_TRUE(pumpUntil(meterShowsTheTone, 60000));
    size_t atOpen = 0, grown = 0;
    LRESULT meterWhileOpen = -1;
    auto opened = std::chrono::steady_clock::now();
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        size_t now = folder.read("r.tmp").size();
        if (!atOpen) {
            atOpen = now;
            opened = std::chrono::steady_clock::now();
            send(IDC_LEVEL_LEFT, PBM_SETPOS);
        }
        grown = now - atOpen;
        meterWhileOpen = std::max(meterWhileOpen, send(IDC_LEVEL_LEFT, PBM_GETPOS));
        if ((grown > 32000 && meterWhileOpen > 0) ||
            std::chrono::steady_clock::now() - opened > std::chrono::seconds(60))
            box->button(QMessageBox::Ok)->click();
    });
    watcher.start(20);
    platform::testing::click(item(IDC_INFO));
    EXPECT_GT(grown, 32000u);
    EXPECT_GT(meterWhileOpen, 0);
    EXPECT_NE(player.stream, 0u);
    ASSERT_TRUE(pumpUntil(meterShowsTheTone, 60000));
}

}  // namespace
