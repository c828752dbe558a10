// The window from the keyboard and through a screen reader's eyes: the list's
// keys as Win32's list box takes them, the preset group reached by Tab and
// moved by the arrows, one focused object, meters that never announce.
#include <QAccessible>
#include <QApplication>
#include <QWidget>

#include "tests/platform/dialog_fixture.h"

namespace {

using platform::testing::flushUpdates;
using platform::testing::pressKey;
using platform::testing::widgetOf;
using KeyboardAccessTest = DialogTest;

// Tab to the control in the shown, active window.
bool tabTo(HWND control)
{
    QWidget* widget = widgetOf(control);
    widget->window()->show();
    widget->window()->activateWindow();
    widget->setFocus(Qt::TabFocusReason);
    return platform::testing::pumpEvents(5000, [widget] { return widget->hasFocus(); });
}

TEST_F(KeyboardAccessTest, WithNothingSelectedTheFirstMovingKeySelectsTheFirstRow)
{
    ASSERT_NE(open(), nullptr);
    for (const char* name : {"  One", "  Two", "  Three"})
        send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    flushUpdates();
    ASSERT_TRUE(tabTo(item(IDC_STATIONS)));  // the caret is on the first row
    for (int key : {Qt::Key_Home, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Down, Qt::Key_End}) {
        send(IDC_STATIONS, LB_SETCURSEL, WPARAM(-1));
        flushUpdates();
        received.clear();
        pressKey(item(IDC_STATIONS), key);
        EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 0) << "key " << key;
        EXPECT_EQ(commands().size(), 1u) << "key " << key;
    }
    pressKey(item(IDC_STATIONS), Qt::Key_Down);  // with a selection, keys move on from it
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 1);

    // Leaving the list leaves no row that says it has the focus.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(widgetOf(item(IDC_STATIONS)));
    const auto focusedRows = [list] {
        int n = 0;
        for (int i = 0; i < list->childCount(); ++i)
            n += list->child(i)->state().focused;
        return n;
    };
    EXPECT_EQ(focusedRows(), 1);
    ASSERT_TRUE(tabTo(item(IDC_PAUSE)));
    EXPECT_EQ(focusedRows(), 0);
    send(IDC_STATIONS, LB_SETCURSEL, 2);  // the program's choice while the focus is elsewhere
    flushUpdates();
    EXPECT_EQ(focusedRows(), 0);
    ASSERT_TRUE(tabTo(item(IDC_STATIONS)));
    pressKey(item(IDC_STATIONS), Qt::Key_Up);  // the caret came back with the focus
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 1);
}

TEST_F(KeyboardAccessTest, TabStopsAtTheCheckedPresetAndArrowsChooseAsAClick)
{
    ASSERT_NE(open(), nullptr);
    const auto tabStop = [this] {
        std::vector<int> ids;
        for (int id : {IDC_PRESET_OFF, IDC_PRESET_VOCAL, IDC_PRESET_INSTR})
            if (widgetOf(item(id))->focusPolicy() & Qt::TabFocus)
                ids.push_back(id);
        return ids;
    };
    EXPECT_EQ(tabStop(), std::vector<int>{IDC_PRESET_OFF});  // none checked: the group's first
    send(IDC_PRESET_INSTR, BM_SETCHECK, BST_CHECKED);
    flushUpdates();
    EXPECT_EQ(tabStop(), std::vector<int>{IDC_PRESET_INSTR});

    received.clear();
    pressKey(item(IDC_PRESET_INSTR), Qt::Key_Down);  // the group's last: wraps to its first
    pressKey(item(IDC_PRESET_OFF), Qt::Key_Right);
    pressKey(item(IDC_PRESET_VOCAL), Qt::Key_Up);
    ASSERT_EQ(commands().size(), 3u);
    const int chosen[] = {IDC_PRESET_OFF, IDC_PRESET_VOCAL, IDC_PRESET_OFF};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(commands()[i].wParam, MAKEWPARAM(chosen[i], BN_CLICKED));
    EXPECT_EQ(send(IDC_PRESET_OFF, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(send(IDC_PRESET_INSTR, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(platform::testing::focusedControl(dialog), item(IDC_PRESET_OFF));
    EXPECT_EQ(tabStop(), std::vector<int>{IDC_PRESET_OFF});
    EXPECT_TRUE(widgetOf(item(IDC_REC))->focusPolicy() & Qt::TabFocus);  // the rest keep their stops
}

QObject* watchedMeter = nullptr;
std::vector<QAccessible::Event> meterEvents;

TEST_F(KeyboardAccessTest, MetersAreReadablePicturesThatNeverAnnounceAChange)
{
    ASSERT_NE(open(), nullptr);
    ShowWindow(dialog, SW_SHOW);  // a hidden widget tells readers nothing anyway
    QWidget* meter = widgetOf(item(IDC_LEVEL_LEFT));
    watchedMeter = meter;
    QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        if (event->object() == watchedMeter)
            meterEvents.push_back(event->type());
    });
    send(IDC_LEVEL_LEFT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF));
    for (int level : {100, 20000, 32767, 0, 15000}) {
        meterEvents.clear();
        send(IDC_LEVEL_LEFT, PBM_SETPOS, level);
        flushUpdates();
        EXPECT_TRUE(std::find(meterEvents.begin(), meterEvents.end(), QAccessible::ValueChanged) ==
                    meterEvents.end())
            << "level " << level;
    }
    QAccessible::installUpdateHandler(nullptr);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(meter);
    EXPECT_NE(a->role(), QAccessible::ProgressBar);
    EXPECT_EQ(a->state().focusable, false);
    ASSERT_NE(a->valueInterface(), nullptr);
    EXPECT_EQ(a->valueInterface()->currentValue().toInt(), 15000);
}

}  // namespace
