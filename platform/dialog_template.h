// Dialog templates and icons as tables the program registers with the window
// layer, in place of compiled Win32 resources.
#pragma once

#include <cstdint>
#include "platform/win32.h"

namespace platform {

enum class ControlKind { ListBox, PushButton, StaticText, Trackbar, ProgressBar, RadioButton, CheckBox, GroupBox };

struct ControlTemplate {
    int id;  // -1 for a control that is never addressed
    ControlKind kind;
    const char* caption;  // Windows-1251 or UTF-8 bytes; nullptr for none
    DWORD style;          // WS_*, SS_*, BS_*, LBS_*, TBS_*, PBS_* bits
    DWORD exStyle;        // WS_EX_* bits
    int x, y, cx, cy;     // dialog units
    // UTF-8 name for screen readers when the caption does not name the
    // control (list boxes, sliders, meters, empty frames); a static text is
    // always named by its current text and gets this as its description.
    const char* accessibleName = nullptr;
    // A static text whose new texts screen readers announce, once and
    // politely (a song title); other statics change silently.
    bool announcesChanges = false;
};

struct DialogTemplate {
    int id;
    const char* title;
    DWORD style;
    DWORD exStyle;
    int cx, cy;            // dialog units
    const char* fontName;  // "MS Shell Dlg": the platform's dialog font stands in
    int fontPointSize;
    const ControlTemplate* controls;  // template order = tab order = z-order
    int controlCount;
};

// Makes the template available to DialogBoxParamA / CreateDialogParamA under
// MAKEINTRESOURCEA(t->id). The table must outlive every dialog made from it.
void registerDialogTemplate(const DialogTemplate* t);

// Makes a 32-bit ARGB (premultiplied: no) image available to LoadIconA under
// MAKEINTRESOURCEA(id). The pixels are copied.
void registerIcon(int id, int width, int height, const uint32_t* argb);

}  // namespace platform
