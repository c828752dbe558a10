#include "app/resources/main_dialog.h"

#include "app/resources/icon.h"
#include "state/resource_ids.h"

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kStatic = kChild | WS_GROUP;
constexpr DWORD kEffectSlider = kChild | WS_TABSTOP | TBS_VERT | TBS_BOTH | TBS_NOTICKS;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kMeter = kChild | PBS_SMOOTH;

// Captions are Windows-1251 bytes.
const ControlTemplate kControls[] = {
    {IDC_STATIONS, ControlKind::ListBox, nullptr,
     kChild | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_MULTICOLUMN | LBS_NOINTEGRALHEIGHT, 0,
     6, 6, 156, 90, "Stations"},
    {IDC_PAUSE, ControlKind::PushButton, "Pause", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 180, 42, 49, 11},
    {IDC_EXIT, ControlKind::PushButton, "Exit", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 293, 42, 50, 11},
    {IDC_INFO, ControlKind::PushButton, "&Info", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 236, 42, 50, 11},
    // The texts of the title, status, name and address come from the station:
    // an '&' in them ("Simon & Garfunkel") is a character, not a mnemonic.
    // "Выбор станции"
    {IDC_TITLE, ControlKind::StaticText, "\xC2\xFB\xE1\xEE\xF0 \xF1\xF2\xE0\xED\xF6\xE8\xE8",
     kStatic | SS_CENTER | SS_NOPREFIX, 0, 6, 120, 144, 24, "Song title", true},
    // Two lines: a recording that stops says why ("Recording stopped: No
    // space left on device"); one line showed "Recording stopped: No".
    {IDC_STATUS, ControlKind::StaticText, "TAG", kStatic | SS_CENTER | SS_NOPREFIX, 0, 168, 72, 78, 16,
     "Connection status"},
    {IDC_NAME, ControlKind::StaticText, "ID=33", kStatic | SS_CENTER | SS_NOPREFIX, 0, 6, 150, 144, 42, "Station name"},
    {IDC_VOLUME, ControlKind::Trackbar, nullptr, kChild | WS_TABSTOP | TBS_HORZ | TBS_BOTH, 0, 156, 145, 90, 23,
     "Volume"},
    {IDC_URL, ControlKind::StaticText, "Station URL", kStatic | SS_CENTER | SS_NOPREFIX, 0, 180, 18, 168, 12,
     "Station address"},
    {IDC_FORMAT, ControlKind::StaticText, "INFO", kStatic | SS_CENTER, 0, 168, 114, 76, 24, "Stream format"},
    {IDC_DSINFO, ControlKind::StaticText, "IDC_TEXT", kStatic | SS_CENTER, 0, 156, 174, 90, 12, "Audio output"},
    {IDC_STATIC, ControlKind::StaticText, " 125     1 kHz   10 kHz   Rev", kStatic | SS_LEFT, 0, 258, 174, 97, 10},
    {IDC_EFFECT3, ControlKind::Trackbar, nullptr, kEffectSlider, 0, 328, 114, 15, 54, "Reverb"},
    {IDC_EFFECT2, ControlKind::Trackbar, nullptr, kEffectSlider, 0, 306, 114, 15, 54, "10 kHz"},
    {IDC_EFFECT1, ControlKind::Trackbar, nullptr, kEffectSlider, 0, 283, 114, 15, 54, "1 kHz"},
    {IDC_EFFECT0, ControlKind::Trackbar, nullptr, kEffectSlider, 0, 259, 114, 15, 54, "125 Hz"},
    // "Выключено", "Вокал", "Инструментал": one group that Tab reaches at its
    // checked button, as Win32 gives a group that starts with a tab stop.
    {IDC_PRESET_OFF, ControlKind::RadioButton, "\xC2\xFB\xEA\xEB\xFE\xF7\xE5\xED\xEE", kRadio | WS_GROUP | WS_TABSTOP,
     0, 258, 96, 60, 10},
    {IDC_PRESET_VOCAL, ControlKind::RadioButton, "\xC2\xEE\xEA\xE0\xEB", kRadio, 0, 258, 82, 60, 12},
    {IDC_PRESET_INSTR, ControlKind::RadioButton, "\xC8\xED\xF1\xF2\xF0\xF3\xEC\xE5\xED\xF2\xE0\xEB", kRadio, 0, 258, 72,
     64, 8},
    // "Эквалайзер"
    {IDC_STATIC, ControlKind::GroupBox, "\xDD\xEA\xE2\xE0\xEB\xE0\xE9\xE7\xE5\xF0", kChild | WS_GROUP | BS_GROUPBOX, 0,
     252, 60, 107, 133},
    {IDC_STATIC, ControlKind::StaticText, "CPU usage:", kStatic | SS_LEFT, 0, 174, 90, 38, 8},
    {IDC_CPU, ControlKind::StaticText, "", kStatic | SS_LEFT, 0, 216, 90, 24, 8, "Processor load"},
    {IDC_REC, ControlKind::CheckBox, "Rec", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 324, 72, 30, 8},
    {IDC_STATIC, ControlKind::GroupBox, "", kChild | BS_GROUPBOX, 0, 174, 6, 180, 30, "Station address"},
    {IDC_LEVEL_LEFT, ControlKind::ProgressBar, nullptr, kMeter, WS_EX_TRANSPARENT, 6, 98, 156, 5, "Left level"},
    {IDC_LEVEL_RIGHT, ControlKind::ProgressBar, nullptr, kMeter, WS_EX_TRANSPARENT, 6, 104, 156, 5, "Right level"},
};

const DialogTemplate kMainDialog = {
    IDD_MAIN,
    "Tunelark 3.0 BASS 2.4.9 5+1 ver. File Record",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_3DLOOK | DS_SHELLFONT,
    WS_EX_WINDOWEDGE,
    364,
    193,
    "MS Shell Dlg",
    8,
    kControls,
    static_cast<int>(sizeof kControls / sizeof kControls[0]),
};

}  // namespace

const DialogTemplate& mainDialogTemplate() {
    return kMainDialog;
}

void registerMainDialogResources() {
    platform::registerDialogTemplate(&kMainDialog);
    const std::vector<uint32_t> icon = drawRadioMastIcon();
    platform::registerIcon(IDI_SMALL, kIconSize, kIconSize, icon.data());
    platform::registerIcon(IDI_BIG, kIconSize, kIconSize, icon.data());
}
