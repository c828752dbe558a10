// The cost of one look at the window by the MPRIS service (it looks five
// times a second): every control it reads, the status worked out and the
// metadata made, on the real window layer with a playing station's texts.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/resources/main_dialog.h"
#include "desktop/mpris_values.h"
#include "desktop/playback_status.h"
#include "desktop/window_view.h"
#include "state/resource_ids.h"
#include "tests/support/platform_testing.h"

namespace {

INT_PTR quietProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

HWND playingWindow() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    registerMainDialogResources();
    HWND window = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), nullptr, quietProc, 0);
    SendDlgItemMessageA(window, IDC_STATIONS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("  Radio \xd0\xee\xea"));
    SendDlgItemMessageA(window, IDC_STATIONS, LB_SETCURSEL, 0, 0);
    SetDlgItemTextA(window, IDC_TITLE, "\xca\xe8\xed\xee - \xc3\xf0\xf3\xef\xef\xe0 \xea\xf0\xee\xe2\xe8");
    SetDlgItemTextA(window, IDC_STATUS, "ICY 200 OK");
    SetDlgItemTextA(window, IDC_FORMAT, "channels: 2 44.1 kHz\n\n MP3 stream");
    SetDlgItemTextA(window, IDC_URL, "http://radio.example/");
    return window;
}

void BM_LookAtWindow(benchmark::State& state) {
    static HWND window = playingWindow();
    unsigned track = 0;
    for (auto _ : state) {
        const WindowView view = readWindowView(window);
        benchmark::DoNotOptimize(playbackStatusOf(view, "TAG"));
        benchmark::DoNotOptimize(metadataOf(view, "http://radio.example/stream\n", true, ++track));
    }
}
BENCHMARK(BM_LookAtWindow);

}  // namespace

BENCHMARK_MAIN();
