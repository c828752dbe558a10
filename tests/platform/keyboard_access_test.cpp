// The window from the keyboard and to a screen reader: the list's keys as
// Win32's list box takes them, one focused row, the preset group reached by
// Tab and moved by the arrows as clicks move it.
#include <QAccessible>
#include <QWidget>

#include "tests/platform/dialog_fixture.h"

namespace {

using platform::testing::flushUpdates;
using platform::testing::pressKey;
using platform::testing::widgetOf;
using KeyboardAccessTest = DialogTest;

bool tabTo(HWND control)  // in the shown, active window
{
    QWidget* widget = widgetOf(control);
    widget->window()->show();
    widget->window()->activateWindow();
    widget->setFocus(Qt::TabFocusReason);
    return platform::testing::pumpEvents(5000, [widget] { return widget->hasFocus(); });
}

TEST_F(KeyboardAccessTest, WithNothingSelectedTheFirstMovingKeySelectsTheCaretRow)
{
    ASSERT_NE(open(), nullptr);
    for (const char* name : {"  One", "  Two", "  Three"})
        send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ASSERT_TRUE(tabTo(item(IDC_STATIONS)));  // the caret stands on the first row
    for (int key : {Qt::Key_Home, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Down, Qt::Key_End}) {
        send(IDC_STATIONS, LB_SETCURSEL, WPARAM(-1));
        flushUpdates();
        received.clear();
        pressKey(item(IDC_STATIONS), key);
        EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 0) << "key " << key;
        EXPECT_EQ(commands().size(), 1u) << "key " << key;
    }
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(widgetOf(item(IDC_STATIONS)));
    const auto focusedRows = [list] {
        int n = 0;
        for (int i = 0; i < list->childCount(); ++i)
            n += list->child(i)->state().focused;
        return n;
    };
    EXPECT_EQ(focusedRows(), 1);
    ASSERT_TRUE(tabTo(item(IDC_PAUSE)));
    send(IDC_STATIONS, LB_SETCURSEL, 2);  // the program's choice while the focus is elsewhere
    flushUpdates();
    EXPECT_EQ(focusedRows(), 0) << "a row kept the focus the list lost";
    ASSERT_TRUE(tabTo(item(IDC_STATIONS)));
    pressKey(item(IDC_STATIONS), Qt::Key_Up);  // with a selection, keys move on from it
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
    send(IDC_PRESET_INSTR, BM_SETCHECK, BST_CHECKED);
    flushUpdates();
    EXPECT_EQ(tabStop(), std::vector<int>{IDC_PRESET_INSTR});
    pressKey(item(IDC_PRESET_INSTR), Qt::Key_Down);  // the group's last: on to its first
    pressKey(item(IDC_PRESET_OFF), Qt::Key_Right);
    pressKey(item(IDC_PRESET_VOCAL), Qt::Key_Up);
    ASSERT_EQ(commands().size(), 3u);
    const int chosen[] = {IDC_PRESET_OFF, IDC_PRESET_VOCAL, IDC_PRESET_OFF};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(commands()[i].wParam, MAKEWPARAM(chosen[i], BN_CLICKED));
    EXPECT_EQ(send(IDC_PRESET_OFF, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(platform::testing::focusedControl(dialog), item(IDC_PRESET_OFF));
    EXPECT_EQ(tabStop(), std::vector<int>{IDC_PRESET_OFF});
}

}  // namespace
