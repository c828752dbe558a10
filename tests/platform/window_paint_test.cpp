// What the window shows after the cheap paths: meters repainted strip by
// strip, static texts drawn from kept pictures, a timer tick's changes shown
// when the tick returns.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "tests/platform/dialog_fixture.h"

namespace {

using platform::testing::shownText;
using platform::testing::widgetOf;
using WindowPaintTest = DialogTest;

// The first column of the meter's row that does not show the fill colour, as
// the window's backing store holds it.
int shownFillEnd(QWidget* meter) {
    const QPoint at = meter->mapTo(meter->window(), QPoint(0, meter->height() / 2));
    const QImage row = QGuiApplication::primaryScreen()
                           ->grabWindow(meter->window()->winId(), at.x(), at.y(), meter->width(), 1)
                           .toImage();
    const QRgb fill = meter->palette().highlight().color().rgb();
    int x = 1;
    while (x < row.width() - 1 && row.pixel(x, 0) == fill) ++x;
    for (int rest = x; rest < row.width() - 1; ++rest)
        if (row.pixel(rest, 0) != meter->palette().base().color().rgb())
            return -1;  // neither fill nor background: a stale or wrong strip
    return x;
}

TEST_F(WindowPaintTest, MetersShowEveryLevelThroughStripRepaints) {
    ASSERT_NE(open(), nullptr);
    send(IDC_LEVEL_LEFT, PBM_SETRANGE, 0, MAKELPARAM(0, 0x7FFF));
    QWidget* meter = widgetOf(item(IDC_LEVEL_LEFT));
    for (int level : {20000, 5000, 5001, 30000, 0, 32767, 12345}) {
        send(IDC_LEVEL_LEFT, PBM_SETPOS, level);
        const int end = 1 + int(qint64(meter->width() - 2) * level / 32767);
        EXPECT_TRUE(pumpUntil([&] { return shownFillEnd(meter) == end; }, 5000)) << "level " << level;
    }
    SetDlgItemTextA(dialog, IDC_CPU, "1.25 %");
    platform::testing::flushUpdates();
    send(IDC_LEVEL_LEFT, PBM_SETPOS, 12345);
    SetDlgItemTextA(dialog, IDC_CPU, "1.25 %");
    EXPECT_EQ(platform::testing::pendingUpdates(), 0u) << "an unchanged value queued an update";
}

TEST_F(WindowPaintTest, StaticTextsDrawnFromPicturesLookAsQLabelDrawsThem) {
    ASSERT_NE(open(), nullptr);
    QWidget* shown = widgetOf(item(IDC_CPU));
    QLabel reference(shown->parentWidget());
    reference.setGeometry(shown->geometry());
    reference.setWordWrap(true);
    reference.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (const char* text : {"0.10 %", "0.20 %", "0.10 %"}) {
        SetDlgItemTextA(dialog, IDC_CPU, text);
        platform::testing::flushUpdates();
        reference.setText(text);
        EXPECT_EQ(shown->grab().toImage(), reference.grab().toImage()) << text;
    }
    QPalette red = shown->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    shown->setPalette(red);
    reference.setPalette(red);
    EXPECT_EQ(shown->grab().toImage(), reference.grab().toImage()) << "a picture outlived its palette";
}

int ticks = 0;
bool textShownInBox = false;

void showThenAsk(HWND window, UINT, UINT_PTR id, DWORD) {
    ++ticks;
    KillTimer(window, id);
    SetDlgItemTextA(window, IDC_STATUS, "before the box");
    // The box's own loop must show what the tick set before it opened.
    auto* watch = new QTimer;
    QObject::connect(watch, &QTimer::timeout, [watch, window, waited = 0]() mutable {
        textShownInBox = shownText(GetDlgItem(window, IDC_STATUS)) == "before the box";
        if (QWidget* box = QApplication::activeModalWidget(); box && (textShownInBox || ++waited > 500)) {
            box->close();
            watch->deleteLater();
        }
    });
    watch->start(10);
    MessageBoxA(window, "asks", "Tick", MB_OK);
    SetDlgItemTextA(window, IDC_STATUS, "after the box");
}

TEST_F(WindowPaintTest, ATickShowsItsChangesWhenItReturnsAndWhileItsBoxIsOpen) {
    ASSERT_NE(open(), nullptr);
    SetTimer(dialog, 7, 20, showThenAsk);
    ASSERT_TRUE(pumpUntil([] { return ticks > 0; }));
    EXPECT_TRUE(textShownInBox);
    EXPECT_EQ(shownText(item(IDC_STATUS)), "after the box");
}

}  // namespace
