// The main dialog as the layer builds it from its template: pixel places,
// captions, stacking, tab order, screen-reader names and the icons.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include <cmath>
#include <cstring>

#include "tests/platform/dialog_fixture.h"

namespace {

using platform::testing::shownText;
using platform::testing::widgetOf;

// Base units as the Windows dialog manager takes them from its font.
QSize baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const double letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QSize(static_cast<int>(std::lround(letters / 52.0)), metrics.height());
}

QRect toPixels(int x, int y, int cx, int cy, QSize base) {
    const auto scale = [](int v, int unit, int per) { return static_cast<int>(std::lround(double(v) * unit / per)); };
    return QRect(scale(x, base.width(), 4), scale(y, base.height(), 8), scale(cx, base.width(), 4),
                 scale(cy, base.height(), 8));
}

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    return a ? a->text(QAccessible::Name) : QString();
}

using MainDialogTest = DialogTest;

TEST_F(MainDialogTest, WindowHasTheTemplatesFixedSizeTitleAndFont) {
    ASSERT_NE(open(), nullptr);
    QWidget* window = widgetOf(dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->font().pointSize(), 8);
    EXPECT_EQ(QFontInfo(window->font()).family(), "DejaVu Sans");  // the sans-serif the test machine has

    const QSize base = baseUnitsOf(window->font());
    EXPECT_GT(base.width(), 3);
    EXPECT_GT(base.height(), 8);
    const QSize expected = toPixels(0, 0, 364, 193, base).size();
    EXPECT_EQ(window->size(), expected);
    EXPECT_EQ(window->minimumSize(), expected);
    EXPECT_EQ(window->maximumSize(), expected);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(window->windowTitle(), "Tunelark 3.0 BASS 2.4.9 5+1 ver. File Record");
}

TEST_F(MainDialogTest, EveryControlSitsAtItsTemplateRectangle) {
    ASSERT_NE(open(), nullptr);
    const QSize base = baseUnitsOf(widgetOf(dialog)->font());
    const platform::DialogTemplate& t = mainDialogTemplate();
    ASSERT_EQ(t.controlCount, 26);
    EXPECT_EQ(widgetOf(dialog)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 26);
    for (int i = 0; i < t.controlCount; ++i) {
        const platform::ControlTemplate& c = t.controls[i];
        SCOPED_TRACE(testing::Message() << "control #" << i + 1 << " id " << c.id);
        const HWND control = platform::testing::templateControl(dialog, i);
        EXPECT_EQ(GetDlgCtrlID(control), c.id);
        if (c.id != -1) {
            EXPECT_EQ(control, item(c.id));
        }
        QWidget* widget = widgetOf(control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), toPixels(c.x, c.y, c.cx, c.cy, base));
        EXPECT_TRUE(widget->isVisible());
        EXPECT_TRUE(widget->isEnabled());
    }
}

TEST_F(MainDialogTest, RussianCaptionsReadCorrectlyAndKeepTheirBytes) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(shownText(item(IDC_TITLE)), QString::fromUtf8(u8"Выбор станции"));
    EXPECT_EQ(shownText(item(IDC_PRESET_OFF)), QString::fromUtf8(u8"Выключено"));
    EXPECT_EQ(shownText(item(IDC_PRESET_VOCAL)), QString::fromUtf8(u8"Вокал"));
    EXPECT_EQ(shownText(item(IDC_PRESET_INSTR)), QString::fromUtf8(u8"Инструментал"));
    EXPECT_EQ(shownText(platform::testing::templateControl(dialog, 19)), QString::fromUtf8(u8"Эквалайзер"));
    EXPECT_EQ(accessibleName(widgetOf(platform::testing::templateControl(dialog, 19))),
              QString::fromUtf8(u8"Эквалайзер"));
    EXPECT_EQ(shownText(item(IDC_INFO)), "&Info");
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_INFO))), "Info");

    char bytes[64];
    const LRESULT n = send(IDC_TITLE, WM_GETTEXT, sizeof bytes, reinterpret_cast<LPARAM>(bytes));
    ASSERT_EQ(n, 13);
    EXPECT_EQ(std::memcmp(bytes, "\xC2\xFB\xE1\xEE\xF0 \xF1\xF2\xE0\xED\xF6\xE8\xE8", 14), 0);
    EXPECT_EQ(send(IDC_PRESET_INSTR, WM_GETTEXTLENGTH), 12);
}

TEST_F(MainDialogTest, FirstControlsLieOnTopOfLaterOnes) {
    ASSERT_NE(open(), nullptr);
    QWidget* window = widgetOf(dialog);
    // The radio buttons come before the frame around them: a click on them
    // must reach them. (The address text is a plain static: clicks pass
    // through it as through its frame.)
    for (int id : {IDC_PRESET_OFF, IDC_PRESET_VOCAL, IDC_PRESET_INSTR, IDC_EFFECT0}) {
        QWidget* control = widgetOf(item(id));
        EXPECT_EQ(window->childAt(control->geometry().center()), control) << "id " << id;
    }
}

TEST_F(MainDialogTest, TabVisitsTheTabStopsInTemplateOrder) {
    ASSERT_NE(open(), nullptr);
    const auto idOf = [this](QWidget* w) {
        const platform::DialogTemplate& t = mainDialogTemplate();
        for (int i = 0; i < t.controlCount; ++i)
            if (t.controls[i].id != -1 && widgetOf(item(t.controls[i].id)) == w) return t.controls[i].id;
        return 0;
    };
    std::vector<int> order;
    QWidget* start = widgetOf(item(IDC_STATIONS));
    QWidget* w = start;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(idOf(w));
        w = w->nextInFocusChain();
    } while (w != start && order.size() < 40);
    // The preset group is one stop: its checked button, here (none checked) its first.
    const std::vector<int> expected = {IDC_STATIONS, IDC_PAUSE,   IDC_EXIT,    IDC_INFO,       IDC_VOLUME, IDC_EFFECT3,
                                       IDC_EFFECT2,  IDC_EFFECT1, IDC_EFFECT0, IDC_PRESET_OFF, IDC_REC};
    EXPECT_EQ(order, expected);
}

TEST_F(MainDialogTest, EveryControlHasAScreenReaderName) {
    ASSERT_NE(open(), nullptr);
    for (QWidget* child : widgetOf(dialog)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(accessibleName(child).isEmpty()) << child->metaObject()->className();
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_VOLUME))), "Volume");
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_EFFECT0))), "125 Hz");
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_STATIONS))), "Stations");
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_REC))), "Rec");
}

TEST_F(MainDialogTest, ScreenReadersSeeRolesAndCheckMarks) {
    ASSERT_NE(open(), nullptr);
    const auto roleOf = [](HWND h) { return QAccessible::queryAccessibleInterface(widgetOf(h))->role(); };
    EXPECT_EQ(roleOf(dialog), QAccessible::Dialog);
    EXPECT_EQ(roleOf(item(IDC_PRESET_INSTR)), QAccessible::RadioButton);
    EXPECT_EQ(roleOf(item(IDC_REC)), QAccessible::CheckBox);
    EXPECT_EQ(roleOf(item(IDC_VOLUME)), QAccessible::Slider);
    EXPECT_EQ(roleOf(item(IDC_LEVEL_LEFT)), QAccessible::Graphic);  // a level bar; never a progress bar
    EXPECT_EQ(roleOf(item(IDC_STATIONS)), QAccessible::List);
    EXPECT_EQ(accessibleName(widgetOf(dialog)), "Tunelark 3.0 BASS 2.4.9 5+1 ver. File Record");

    // Readers walk the controls in template order.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(widgetOf(dialog));
    ASSERT_EQ(window->childCount(), 26);
    for (int i = 0; i < 26; ++i) {
        QAccessibleInterface* child = window->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->object(), widgetOf(platform::testing::templateControl(dialog, i))) << "child " << i;
        EXPECT_EQ(window->indexOfChild(child), i);
    }

    QAccessibleInterface* vocal = QAccessible::queryAccessibleInterface(widgetOf(item(IDC_PRESET_VOCAL)));
    EXPECT_TRUE(vocal->state().checkable);
    EXPECT_FALSE(vocal->state().checked);
    send(IDC_PRESET_VOCAL, BM_SETCHECK, BST_CHECKED);
    platform::testing::flushUpdates();
    EXPECT_TRUE(vocal->state().checked);
    // A screen reader's press is a click: the procedure hears it.
    ASSERT_NE(vocal->actionInterface(), nullptr);
    QAccessibleInterface* off = QAccessible::queryAccessibleInterface(widgetOf(item(IDC_PRESET_OFF)));
    off->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(send(IDC_PRESET_OFF, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_UNCHECKED);
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].wParam, MAKEWPARAM(IDC_PRESET_OFF, BN_CLICKED));
}

TEST_F(MainDialogTest, AStaticTextIsNamedByWhatItSaysNow) {
    ASSERT_NE(open(), nullptr);
    QWidget* status = widgetOf(item(IDC_STATUS));
    EXPECT_EQ(accessibleName(status), "TAG");
    SetDlgItemTextA(dialog, IDC_STATUS, "connecting...");
    platform::testing::flushUpdates();
    EXPECT_EQ(accessibleName(status), "connecting...");
    SetDlgItemTextA(dialog, IDC_TITLE, "\xCF\xE5\xF1\xED\xFF");  // "Песня" in Windows-1251
    platform::testing::flushUpdates();
    EXPECT_EQ(accessibleName(widgetOf(item(IDC_TITLE))), QString::fromUtf8(u8"Песня"));
}

// The recorder's reason for stopping is read whole, on two lines.
TEST_F(MainDialogTest, TheStatusLineShowsWhyARecordingStopped) {
    ASSERT_NE(open(), nullptr);
    QWidget* status = widgetOf(item(IDC_STATUS));
    SetDlgItemTextA(dialog, IDC_STATUS, "Recording stopped: No space left on device");
    platform::testing::flushUpdates();
    EXPECT_LE(status->heightForWidth(status->width()), status->height());
}

TEST_F(MainDialogTest, SlidersAndMetersTellTheirValue) {
    ASSERT_NE(open(), nullptr);
    send(IDC_VOLUME, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    send(IDC_VOLUME, TBM_SETPOS, TRUE, 56);
    send(IDC_LEVEL_LEFT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF));
    send(IDC_LEVEL_LEFT, PBM_SETPOS, 20000);
    platform::testing::flushUpdates();
    for (auto [id, value] : {std::pair{IDC_VOLUME, 56}, std::pair{IDC_LEVEL_LEFT, 20000}}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widgetOf(item(id)));
        ASSERT_NE(a, nullptr);
        ASSERT_NE(a->valueInterface(), nullptr);
        EXPECT_EQ(a->valueInterface()->currentValue().toInt(), value) << "id " << id;
    }
}

QImage windowIconImage(HWND dialog) {
    platform::testing::flushUpdates();
    return widgetOf(dialog)->windowIcon().pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(MainDialogTest, IconsShowABlueWavedGreyMastOnATransparentGround) {
    HICON small = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SMALL));
    HICON big = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_BIG));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(4242)), nullptr);

    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)),
              reinterpret_cast<LRESULT>(big));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, 0);
    const QImage image = windowIconImage(dialog);
    ASSERT_EQ(image.size(), QSize(48, 48));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, 0);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    EXPECT_EQ(windowIconImage(dialog), image);  // both icons hold one picture

    int transparent = 0, grey = 0, blueLeft = 0, blueRight = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0) ++transparent;
            if (c.alpha() < 200) continue;
            if (std::abs(c.red() - c.green()) < 16 && std::abs(c.green() - c.blue()) < 16 && c.red() > 60 &&
                c.red() < 200)
                ++grey;
            if (c.blue() > c.red() + 80) (x < 24 ? blueLeft : blueRight)++;
        }
    EXPECT_GT(transparent, 48 * 48 / 2);
    EXPECT_EQ(image.pixelColor(0, 47).alpha(), 0);
    EXPECT_GT(grey, 40);
    EXPECT_GT(blueLeft, 20);
    EXPECT_GT(blueRight, 20);
    // Some edge pixels are half covered: the drawing is antialiased.
    int partial = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            partial += image.pixelColor(x, y).alpha() > 0 && image.pixelColor(x, y).alpha() < 255;
    EXPECT_GT(partial, 20);
}

}  // namespace
