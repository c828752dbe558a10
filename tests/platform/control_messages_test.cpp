// Control messages: their results, the model they change, the widget that
// follows, and that programmatic changes notify nobody.
#include <QAbstractButton>
#include <QListWidget>
#include <QSlider>

#include <cstring>
#include <string>

#include "platform/level_meter_widget.h"
#include "tests/platform/dialog_fixture.h"

namespace {

using platform::testing::flushUpdates;
using platform::testing::shownRows;
using platform::testing::shownText;
using platform::testing::widgetOf;

LPARAM text(const char* s) {
    return reinterpret_cast<LPARAM>(s);
}

using ControlMessagesTest = DialogTest;

TEST_F(ControlMessagesTest, ListBoxKeepsRowsInSendOrderAndTheirBytes) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 0);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), LB_ERR);
    EXPECT_EQ(send(IDC_STATIONS, LB_ADDSTRING, 0, text("  Zeta")), 0);
    EXPECT_EQ(send(IDC_STATIONS, LB_ADDSTRING, 0, text("  \xD0\xE0\xE4\xE8\xEE")), 1);  // "Радио", Windows-1251
    EXPECT_EQ(send(IDC_STATIONS, LB_ADDSTRING, 0, text("  Alpha\n")), 2);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 3);

    char row[32];
    EXPECT_EQ(send(IDC_STATIONS, LB_GETTEXTLEN, 1), 7);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(row)), 7);
    EXPECT_STREQ(row, "  \xD0\xE0\xE4\xE8\xEE");
    EXPECT_EQ(send(IDC_STATIONS, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(row)), LB_ERR);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETTEXTLEN, static_cast<WPARAM>(-1)), LB_ERR);

    flushUpdates();
    const QStringList expected = {"  Zeta", QString::fromUtf8(u8"  Радио"), "  Alpha "};
    EXPECT_EQ(shownRows(item(IDC_STATIONS)), expected);
}

TEST_F(ControlMessagesTest, ListBoxSelectionAndResetNotifyNobody) {
    ASSERT_NE(open(), nullptr);
    for (const char* name : {"a", "b", "c"}) send(IDC_STATIONS, LB_ADDSTRING, 0, text(name));
    EXPECT_EQ(send(IDC_STATIONS, LB_SETCURSEL, 2), 2);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 2);
    flushUpdates();
    EXPECT_EQ(shownText(item(IDC_STATIONS)), "c");

    EXPECT_EQ(send(IDC_STATIONS, LB_SETCURSEL, 3), LB_ERR);  // no such row: selection stays
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 2);
    EXPECT_EQ(send(IDC_STATIONS, LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR);  // clears
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), LB_ERR);
    flushUpdates();
    EXPECT_TRUE(static_cast<QListWidget*>(widgetOf(item(IDC_STATIONS)))->selectedItems().isEmpty());

    send(IDC_STATIONS, LB_SETCURSEL, 1);
    send(IDC_STATIONS, LB_RESETCONTENT);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 0);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), LB_ERR);
    flushUpdates();
    EXPECT_TRUE(shownRows(item(IDC_STATIONS)).isEmpty());
    pumpUntil([] { return false; }, 50);
    EXPECT_TRUE(commands().empty());
}

TEST_F(ControlMessagesTest, TrackbarClampsAndCountsMarksAsWin32) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETRANGEMIN), 0);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETRANGEMAX), 100);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), 0);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETNUMTICS), 2);  // the two ends

    send(IDC_VOLUME, TBM_SETPOS, TRUE, 56);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), 56);
    send(IDC_VOLUME, TBM_SETPOS, TRUE, 150);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), 100);
    send(IDC_VOLUME, TBM_SETPOS, TRUE, -3);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), 0);

    EXPECT_EQ(send(IDC_VOLUME, TBM_SETTIC, 0, 75), TRUE);
    EXPECT_EQ(send(IDC_VOLUME, TBM_SETTIC, 0, 25), TRUE);
    EXPECT_EQ(send(IDC_VOLUME, TBM_SETTIC, 0, 50), TRUE);
    EXPECT_EQ(send(IDC_VOLUME, TBM_SETTIC, 0, 101), FALSE);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETNUMTICS), 5);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETTIC, 0), 25);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETTIC, 2), 75);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETTIC, 3), -1);

    send(IDC_EFFECT2, TBM_SETPOS, TRUE, 15);
    send(IDC_EFFECT2, TBM_SETRANGE, FALSE, MAKELPARAM(0, 10));  // a smaller range pulls the position in
    EXPECT_EQ(send(IDC_EFFECT2, TBM_GETRANGEMAX), 10);
    EXPECT_EQ(send(IDC_EFFECT2, TBM_GETPOS), 10);
    EXPECT_EQ(send(IDC_EFFECT2, TBM_SETTIC, 0, 5), TRUE);
    EXPECT_EQ(send(IDC_EFFECT2, TBM_GETNUMTICS), 0);  // TBS_NOTICKS shows none

    flushUpdates();
    auto* slider = static_cast<QSlider*>(widgetOf(item(IDC_EFFECT2)));
    EXPECT_EQ(slider->maximum(), 10);
    EXPECT_EQ(slider->value(), 10);
    EXPECT_EQ(static_cast<QSlider*>(widgetOf(item(IDC_VOLUME)))->value(), 0);
    pumpUntil([] { return false; }, 50);
    EXPECT_TRUE(messages(WM_HSCROLL).empty());
    EXPECT_TRUE(messages(WM_VSCROLL).empty());
}

TEST_F(ControlMessagesTest, ProgressBarTakesWordRangesAndReturnsThePreviousPosition) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF)), MAKELPARAM(0, 100));
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_GETRANGE, TRUE), 0);
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_GETRANGE, FALSE), 32767);
    PBRANGE range{-1, -1};
    send(IDC_LEVEL_LEFT, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 32767);

    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_SETPOS, 20000), 0);
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_SETPOS, 32768), 20000);  // a full-scale level
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_GETPOS), 32767);
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_SETPOS, 65535), 32767);
    send(IDC_LEVEL_RIGHT, PBM_SETRANGE, 0, MAKELPARAM(0, 60000));  // above a signed word
    send(IDC_LEVEL_RIGHT, PBM_SETPOS, 45000);
    EXPECT_EQ(send(IDC_LEVEL_RIGHT, PBM_GETPOS), 45000);

    flushUpdates();
    auto* left = static_cast<platform::detail::LevelMeterWidget*>(widgetOf(item(IDC_LEVEL_LEFT)));
    auto* right = static_cast<platform::detail::LevelMeterWidget*>(widgetOf(item(IDC_LEVEL_RIGHT)));
    EXPECT_EQ(left->maximum(), 32767);
    EXPECT_EQ(left->value(), 32767);
    EXPECT_EQ(right->maximum(), 60000);
    EXPECT_EQ(right->value(), 45000);
}

TEST_F(ControlMessagesTest, CheckMarksChangeOnlyTheButtonTheyAreSentTo) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(send(IDC_PRESET_INSTR, BM_GETCHECK), BST_UNCHECKED);
    send(IDC_PRESET_INSTR, BM_SETCHECK, BST_CHECKED);
    send(IDC_PRESET_VOCAL, BM_SETCHECK, BST_CHECKED);  // Win32 leaves the group alone here
    EXPECT_EQ(send(IDC_PRESET_INSTR, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_CHECKED);
    send(IDC_REC, BM_SETCHECK, BST_CHECKED);
    flushUpdates();
    EXPECT_TRUE(static_cast<QAbstractButton*>(widgetOf(item(IDC_PRESET_INSTR)))->isChecked());
    EXPECT_TRUE(static_cast<QAbstractButton*>(widgetOf(item(IDC_PRESET_VOCAL)))->isChecked());
    EXPECT_TRUE(static_cast<QAbstractButton*>(widgetOf(item(IDC_REC)))->isChecked());
    send(IDC_REC, BM_SETCHECK, BST_UNCHECKED);
    flushUpdates();
    EXPECT_FALSE(static_cast<QAbstractButton*>(widgetOf(item(IDC_REC)))->isChecked());
    pumpUntil([] { return false; }, 50);
    EXPECT_TRUE(commands().empty());
}

TEST_F(ControlMessagesTest, ButtonClickMessageActsAsAClick) {
    ASSERT_NE(open(), nullptr);
    LRESULT checkSeen = -1;
    handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND && LOWORD(w) == IDC_REC) checkSeen = send(IDC_REC, BM_GETCHECK);
        return m == WM_INITDIALOG;
    };
    send(IDC_REC, BM_CLICK);
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_REC, BN_CLICKED));
    EXPECT_EQ(commands()[0].lParam, reinterpret_cast<LPARAM>(item(IDC_REC)));
    EXPECT_EQ(checkSeen, BST_CHECKED);
    send(IDC_PAUSE, BM_CLICK);
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[1].wParam, MAKEWPARAM(IDC_PAUSE, BN_CLICKED));
}

TEST_F(ControlMessagesTest, WindowTextCopiesAtMostCapacityMinusOneBytes) {
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(SetDlgItemTextA(dialog, IDC_STATUS, "connecting..."));
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(send(IDC_STATUS, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_STREQ(buffer, "conn");
    EXPECT_EQ(buffer[5], 'x');
    EXPECT_EQ(send(IDC_STATUS, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(send(IDC_STATUS, WM_GETTEXTLENGTH), 13);
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_STATUS, buffer, sizeof buffer), 7u);
    EXPECT_STREQ(buffer, "connect");
    EXPECT_EQ(GetDlgItemTextA(dialog, 4242, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(SetDlgItemTextA(dialog, 4242, "nowhere"));
    send(IDC_CPU, WM_SETTEXT, 0, 0);
    EXPECT_EQ(send(IDC_CPU, WM_GETTEXTLENGTH), 0);

    SendMessageA(dialog, WM_SETTEXT, 0, text("Tunelark \xF2\xE5\xF1\xF2"));  // "тест" in Windows-1251
    EXPECT_EQ(SendMessageA(dialog, WM_GETTEXTLENGTH, 0, 0), 13);
    flushUpdates();
    EXPECT_EQ(shownText(dialog), QString::fromUtf8(u8"Tunelark тест"));
    EXPECT_EQ(shownText(item(IDC_STATUS)), "connecting...");
}

TEST_F(ControlMessagesTest, StaticTextBreaksAtLineEndsAndHidesMnemonicMarks) {
    ASSERT_NE(open(), nullptr);
    SetDlgItemTextA(dialog, IDC_FORMAT, "MP3 44100 Hz\r\n128 kbps");
    // A static without SS_NOPREFIX treats '&' as a mnemonic mark.
    SetDlgItemTextA(dialog, IDC_DSINFO, "Simon && Garfunkel - &Boxer");
    flushUpdates();
    EXPECT_EQ(shownText(item(IDC_FORMAT)), "MP3 44100 Hz\n128 kbps");
    EXPECT_EQ(shownText(item(IDC_DSINFO)), "Simon & Garfunkel - Boxer");
    char bytes[64];
    GetDlgItemTextA(dialog, IDC_DSINFO, bytes, sizeof bytes);
    EXPECT_STREQ(bytes, "Simon && Garfunkel - &Boxer");
}

TEST_F(ControlMessagesTest, ActivatingARadioButtonFocusesItWithoutACommand) {
    ASSERT_NE(open(), nullptr);
    send(IDC_PRESET_INSTR, WM_ACTIVATE, WA_ACTIVE, 0);
    flushUpdates();
    EXPECT_EQ(platform::testing::focusedControl(dialog), item(IDC_PRESET_INSTR));
    pumpUntil([] { return false; }, 50);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(send(IDC_PRESET_INSTR, BM_GETCHECK), BST_UNCHECKED);
}

TEST_F(ControlMessagesTest, AGoneWindowAnswersZero) {
    ASSERT_NE(open(), nullptr);
    const HWND status = item(IDC_STATUS);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindow(status));
    EXPECT_EQ(GetDlgCtrlID(status), IDC_STATUS);
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(status));
    EXPECT_EQ(GetDlgItem(dialog, IDC_STATUS), nullptr);
    EXPECT_EQ(SendMessageA(status, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(SendMessageA(status, WM_SETTEXT, 0, text("late")), 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_GETRANGEMAX, 0, 0), 0);
    EXPECT_EQ(SendMessageA(nullptr, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(SetTimer(dialog, 1, 10, nullptr), 0u);
    EXPECT_FALSE(EndDialog(dialog, 1));
    EXPECT_TRUE(pumpUntil([this] { return widgetOf(dialog) == nullptr; }));
    dialog = nullptr;
}

}  // namespace
