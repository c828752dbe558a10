// What the dialog procedure hears when an assistive tool acts on a control
// (a screen reader, or an automation tool over AT-SPI): what a person's
// input gives, never a change it does not hear of.
#include <QAccessible>
#include <QWidget>

#include <cmath>

#include "tests/platform/dialog_fixture.h"

namespace {

using namespace platform::testing;
using AssistiveActionsTest = DialogTest;

QAccessibleInterface* accessibleOf(HWND control) {
    return QAccessible::queryAccessibleInterface(widgetOf(control));
}

TEST_F(AssistiveActionsTest, ValueSetOnATrackbarScrollsAsADragEndsWhileTheProgramsOwnSetPosSendsNothing) {
    ASSERT_NE(open(), nullptr);
    send(IDC_EFFECT2, TBM_SETRANGE, FALSE, MAKELPARAM(0, 20));
    send(IDC_EFFECT2, TBM_SETPOS, TRUE, 10);
    send(IDC_VOLUME, TBM_SETPOS, TRUE, 56);
    flushUpdates();
    EXPECT_TRUE(messages(WM_HSCROLL).empty());
    EXPECT_TRUE(messages(WM_VSCROLL).empty());

    std::vector<LRESULT> seen;
    handler = [&](HWND, UINT m, WPARAM, LPARAM l) -> INT_PTR {
        if (m == WM_HSCROLL || m == WM_VSCROLL)
            seen.push_back(SendMessageA(reinterpret_cast<HWND>(l), TBM_GETPOS, 0, 0));
        return 1;
    };
    accessibleOf(item(IDC_VOLUME))->valueInterface()->setCurrentValue(50);
    accessibleOf(item(IDC_EFFECT2))->valueInterface()->setCurrentValue(1e300);         // past the end: the end
    accessibleOf(item(IDC_EFFECT2))->valueInterface()->setCurrentValue(std::nan(""));  // no value: nothing
    const auto h = messages(WM_HSCROLL);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].wParam, MAKEWPARAM(TB_THUMBPOSITION, 50));
    EXPECT_EQ(h[1].wParam, MAKEWPARAM(TB_ENDTRACK, 0));
    EXPECT_EQ(h[0].lParam, reinterpret_cast<LPARAM>(item(IDC_VOLUME)));
    const auto v = messages(WM_VSCROLL);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].wParam, MAKEWPARAM(TB_THUMBPOSITION, 20));
    EXPECT_EQ(v[1].lParam, reinterpret_cast<LPARAM>(item(IDC_EFFECT2)));
    EXPECT_EQ(seen, (std::vector<LRESULT>{50, 50, 20, 20}));
    EXPECT_EQ(accessibleOf(item(IDC_EFFECT2))->valueInterface()->currentValue().toInt(), 20);
}

TEST_F(AssistiveActionsTest, ButtonActionsAreClicksAndAListSelectionIsOneChange) {
    ASSERT_NE(open(), nullptr);
    for (const char* name : {"  One", "  Two", "  Three"})
        send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    flushUpdates();

    accessibleOf(item(IDC_REC))->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_CHECKED);
    accessibleOf(item(IDC_REC))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_UNCHECKED);
    accessibleOf(item(IDC_PRESET_VOCAL))->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_CHECKED);
    accessibleOf(item(IDC_INFO))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(pumpUntil([this] { return commands().size() == 4; }));
    const int ids[] = {IDC_REC, IDC_REC, IDC_PRESET_VOCAL, IDC_INFO};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(commands()[i].wParam, MAKEWPARAM(ids[i], BN_CLICKED));

    selectListRow(item(IDC_STATIONS), 0);
    received.clear();
    ASSERT_TRUE(accessibleOf(item(IDC_STATIONS))->tableInterface()->selectRow(2));
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_STATIONS, LBN_SELCHANGE));
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 2);
    pressKey(item(IDC_STATIONS), Qt::Key_Up);  // goes on from the row chosen
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 1);
}

}  // namespace
