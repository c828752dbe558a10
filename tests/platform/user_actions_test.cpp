// What the dialog procedure hears when the user acts, with Win32's
// parameters, and that the model already shows the change when it hears it.
#include <QAbstractButton>
#include <QAccessible>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include "tests/platform/dialog_fixture.h"

namespace {

using namespace platform::testing;

LPARAM handleParam(HWND h) {
    return reinterpret_cast<LPARAM>(h);
}

using UserActionsTest = DialogTest;

TEST_F(UserActionsTest, InitDialogNamesTheFirstTabStopAndPassesTheCreationValue) {
    ASSERT_NE(open(0x5A5A), nullptr);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(received[0].wParam, reinterpret_cast<WPARAM>(item(IDC_STATIONS)));
    EXPECT_EQ(received[0].lParam, 0x5A5A);
    EXPECT_EQ(focusedControl(dialog), item(IDC_STATIONS));
}

TEST_F(UserActionsTest, FocusGivenDuringInitDialogMovesToTheFirstTabStopWhenTheProcedureAsks) {
    handler = [this](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) SendDlgItemMessageA(h, IDC_PRESET_INSTR, WM_ACTIVATE, WA_ACTIVE, 0);
        return m == WM_INITDIALOG && keepDefaultFocus;
    };
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(focusedControl(dialog), item(IDC_STATIONS));
    DestroyWindow(dialog);

    keepDefaultFocus = false;
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(focusedControl(dialog), item(IDC_PRESET_INSTR));
    EXPECT_TRUE(commands().empty());
}

TEST_F(UserActionsTest, PushButtonClickSendsItsIdAndHandle) {
    ASSERT_NE(open(), nullptr);
    click(item(IDC_INFO));
    click(item(IDC_EXIT));
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_INFO, BN_CLICKED));
    EXPECT_EQ(commands()[0].lParam, handleParam(item(IDC_INFO)));
    EXPECT_EQ(commands()[1].wParam, MAKEWPARAM(IDC_EXIT, BN_CLICKED));
}

TEST_F(UserActionsTest, CheckBoxFlipsItsMarkBeforeTheProcedureHears) {
    ASSERT_NE(open(), nullptr);
    std::vector<LRESULT> seen;
    handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND && LOWORD(w) == IDC_REC) seen.push_back(send(IDC_REC, BM_GETCHECK));
        return 1;
    };
    click(item(IDC_REC));
    click(item(IDC_REC));
    click(item(IDC_REC));
    EXPECT_EQ(seen, (std::vector<LRESULT>{BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_REC, BN_CLICKED));
    EXPECT_EQ(commands()[0].lParam, handleParam(item(IDC_REC)));
    EXPECT_TRUE(static_cast<QAbstractButton*>(widgetOf(item(IDC_REC)))->isChecked());
}

TEST_F(UserActionsTest, RadioClickChecksItAndClearsTheRestOfItsGroup) {
    ASSERT_NE(open(), nullptr);
    send(IDC_PRESET_INSTR, BM_SETCHECK, BST_CHECKED);
    send(IDC_REC, BM_SETCHECK, BST_CHECKED);  // outside the group
    flushUpdates();
    std::vector<LRESULT> seen;
    handler = [&](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND)
            for (int id : {IDC_PRESET_OFF, IDC_PRESET_VOCAL, IDC_PRESET_INSTR}) seen.push_back(send(id, BM_GETCHECK));
        return 1;
    };
    click(item(IDC_PRESET_VOCAL));
    EXPECT_EQ(seen, (std::vector<LRESULT>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED}));
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_PRESET_VOCAL, BN_CLICKED));

    click(item(IDC_PRESET_VOCAL));  // clicking the checked one keeps it checked
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_CHECKED);
    click(item(IDC_PRESET_OFF));
    EXPECT_EQ(send(IDC_PRESET_OFF, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(commands().size(), 3u);
    flushUpdates();
    EXPECT_TRUE(static_cast<QAbstractButton*>(widgetOf(item(IDC_PRESET_OFF)))->isChecked());
    EXPECT_FALSE(static_cast<QAbstractButton*>(widgetOf(item(IDC_PRESET_VOCAL)))->isChecked());
    EXPECT_FALSE(static_cast<QAbstractButton*>(widgetOf(item(IDC_PRESET_INSTR)))->isChecked());
}

TEST_F(UserActionsTest, ListSelectionByClickAndKeyboardNotifiesWithTheNewRow) {
    ASSERT_NE(open(), nullptr);
    for (const char* name : {"  One", "  Two", "  Three"})
        send(IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    flushUpdates();
    std::vector<LRESULT> seen;
    handler = [&](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND && LOWORD(w) == IDC_STATIONS) seen.push_back(send(IDC_STATIONS, LB_GETCURSEL));
        return 1;
    };
    selectListRow(item(IDC_STATIONS), 1);
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_STATIONS, LBN_SELCHANGE));
    EXPECT_EQ(commands()[0].lParam, handleParam(item(IDC_STATIONS)));
    pressKey(item(IDC_STATIONS), Qt::Key_Down);
    EXPECT_EQ(seen, (std::vector<LRESULT>{1, 2}));

    send(IDC_STATIONS, LB_SETCURSEL, 0);  // programmatic: no notification
    flushUpdates();
    pumpUntil([] { return false; }, 50);
    EXPECT_EQ(commands().size(), 2u);
    EXPECT_EQ(shownText(item(IDC_STATIONS)), "  One");
}

TEST_F(UserActionsTest, TrackbarMovesReportCodeAndSliderWithTheNewPositionInTheModel) {
    ASSERT_NE(open(), nullptr);
    send(IDC_VOLUME, TBM_SETPOS, TRUE, 56);
    std::vector<LRESULT> seen;
    handler = [&](HWND, UINT m, WPARAM, LPARAM l) -> INT_PTR {
        if (m == WM_HSCROLL || m == WM_VSCROLL)
            seen.push_back(SendMessageA(reinterpret_cast<HWND>(l), TBM_GETPOS, 0, 0));
        return 1;
    };
    moveTrackbar(item(IDC_VOLUME), 70, TB_THUMBTRACK);
    moveTrackbar(item(IDC_EFFECT1), 4, TB_ENDTRACK);
    ASSERT_EQ(messages(WM_HSCROLL).size(), 1u);
    EXPECT_EQ(messages(WM_HSCROLL)[0].wParam, MAKEWPARAM(TB_THUMBTRACK, 70));
    EXPECT_EQ(messages(WM_HSCROLL)[0].lParam, handleParam(item(IDC_VOLUME)));
    ASSERT_EQ(messages(WM_VSCROLL).size(), 1u);
    EXPECT_EQ(messages(WM_VSCROLL)[0].wParam, MAKEWPARAM(TB_ENDTRACK, 0));
    EXPECT_EQ(messages(WM_VSCROLL)[0].lParam, handleParam(item(IDC_EFFECT1)));
    EXPECT_EQ(seen, (std::vector<LRESULT>{70, 4}));
}

TEST_F(UserActionsTest, ArrowKeysOnTrackbarsStepAsOnWin32) {
    ASSERT_NE(open(), nullptr);
    send(IDC_VOLUME, TBM_SETPOS, TRUE, 56);
    send(IDC_EFFECT0, TBM_SETRANGE, FALSE, MAKELPARAM(0, 20));
    send(IDC_EFFECT0, TBM_SETPOS, TRUE, 10);
    flushUpdates();

    pressKey(item(IDC_VOLUME), Qt::Key_Right);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), 57);
    const auto h = messages(WM_HSCROLL);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].wParam, MAKEWPARAM(TB_LINEDOWN, 0));
    EXPECT_EQ(h[1].wParam, MAKEWPARAM(TB_ENDTRACK, 0));

    // On a vertical trackbar position 0 is at the top: Up lowers the position.
    pressKey(item(IDC_EFFECT0), Qt::Key_Up);
    EXPECT_EQ(send(IDC_EFFECT0, TBM_GETPOS), 9);
    ASSERT_FALSE(messages(WM_VSCROLL).empty());
    EXPECT_EQ(messages(WM_VSCROLL)[0].wParam, MAKEWPARAM(TB_LINEUP, 0));
    pressKey(item(IDC_EFFECT0), Qt::Key_PageDown);
    EXPECT_EQ(send(IDC_EFFECT0, TBM_GETPOS), 13);  // a page is a fifth of the range
}

TEST_F(UserActionsTest, VerticalTrackbarDrawsPositionZeroAtTheTop) {
    ASSERT_NE(open(), nullptr);
    send(IDC_EFFECT3, TBM_SETRANGE, FALSE, MAKELPARAM(0, 20));
    auto* slider = static_cast<QSlider*>(widgetOf(item(IDC_EFFECT3)));
    const auto handleTop = [&](int position) {
        send(IDC_EFFECT3, TBM_SETPOS, TRUE, position);
        flushUpdates();
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        option.upsideDown = slider->invertedAppearance() == (slider->orientation() == Qt::Horizontal);
        return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).top();
    };
    EXPECT_LT(handleTop(0), handleTop(20));
}

TEST_F(UserActionsTest, EscapeCancelsAndEnterIsOkUnlessAButtonHasTheFocus) {
    ASSERT_NE(open(), nullptr);
    pressEscape(dialog);
    pressEnter(dialog);  // the focus is on the station list
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_EQ(commands()[0].lParam, 0);
    EXPECT_EQ(commands()[1].wParam, MAKEWPARAM(IDOK, BN_CLICKED));

    widgetOf(item(IDC_PAUSE))->setFocus();
    pressEnter(dialog);
    pressEscape(dialog);
    ASSERT_EQ(commands().size(), 4u);
    EXPECT_EQ(commands()[2].wParam, MAKEWPARAM(IDC_PAUSE, BN_CLICKED));
    EXPECT_EQ(commands()[3].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_TRUE(widgetOf(dialog)->isVisible());  // the procedure did not end it
}

TEST_F(UserActionsTest, CloseBoxAsksTheProcedureAndNeverClosesByItself) {
    ASSERT_NE(open(), nullptr);
    handler = [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR { return m == WM_CLOSE; };
    pressCloseBox(dialog);
    pumpUntil([] { return false; }, 50);
    EXPECT_EQ(messages(WM_CLOSE).size(), 1u);
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(widgetOf(dialog)->isVisible());

    // Left unhandled, the default handling turns it into IDCANCEL.
    handler = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
    pressCloseBox(dialog);
    EXPECT_TRUE(pumpUntil([this] { return !commands().empty(); }));
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_TRUE(widgetOf(dialog)->isVisible());

    handler = [](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_CLOSE) EndDialog(h, 0);
        return 1;
    };
    pressCloseBox(dialog);
    EXPECT_TRUE(pumpUntil([this] { return !widgetOf(dialog)->isVisible(); }));
}

// Win32's list box: with nothing selected, a moving key selects the caret row.
bool tabTo(HWND control)  // in the shown, active window
{
    QWidget* widget = widgetOf(control);
    widget->window()->show();
    widget->window()->activateWindow();
    widget->setFocus(Qt::TabFocusReason);
    return pumpEvents(5000, [widget] { return widget->hasFocus(); });
}

TEST_F(UserActionsTest, WithNothingSelectedTheFirstMovingKeySelectsTheCaretRow) {
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
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(widgetOf(item(IDC_STATIONS)))->child(2);
    ASSERT_TRUE(tabTo(item(IDC_PAUSE)));
    send(IDC_STATIONS, LB_SETCURSEL, 2);  // the program's choice while the focus is elsewhere
    flushUpdates();
    EXPECT_FALSE(row->state().focused) << "a row kept the focus the list lost";
    ASSERT_TRUE(tabTo(item(IDC_STATIONS)));
    EXPECT_TRUE(row->state().focused);
}

}  // namespace
