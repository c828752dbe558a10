#include "platform/control_messages.h"

#include <algorithm>
#include <cstring>

#include "platform/control_widgets.h"
#include "platform/dialog_events.h"
#include "platform/dialog_window.h"
#include "platform/gui_thread.h"

namespace platform::detail {

namespace {

// The result of one message and whether the widget must follow.
struct Outcome {
    LRESULT result = 0;
    bool changed = false;
};

std::string textOf(LPARAM l) {
    const char* text = reinterpret_cast<const char*>(l);
    return text ? std::string(text) : std::string();
}

// WM_GETTEXT: at most capacity - 1 bytes and a NUL; returns the bytes copied.
LRESULT copyText(const std::string& text, WPARAM capacity, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || capacity == 0) return 0;
    const size_t n = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

int signedWord(WORD w) {
    return static_cast<int16_t>(w);
}

Outcome textMessage(ControlState& s, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_SETTEXT: {
        // The load text is set 20 times a second, mostly to what it says.
        std::string text = textOf(l);
        const bool changed = text != s.text;
        s.text = std::move(text);
        return {TRUE, changed};
    }
    case WM_GETTEXT:
        return {copyText(s.text, w, l)};
    case WM_GETTEXTLENGTH:
        return {static_cast<LRESULT>(s.text.size())};
    default:
        return {};
    }
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

Outcome listMessage(ControlState& s, DWORD style, UINT message, WPARAM w, LPARAM l) {
    const int index = static_cast<int>(static_cast<intptr_t>(w));
    const int count = static_cast<int>(s.items.size());
    switch (message) {
    case LB_ADDSTRING: {
        std::string row = textOf(l);
        auto at = s.items.end();
        if (style & LBS_SORT) at = std::upper_bound(s.items.begin(), s.items.end(), row, lessIgnoringCase);
        const auto placed = s.items.insert(at, std::move(row));
        ++s.itemsVersion;
        const int rowIndex = static_cast<int>(placed - s.items.begin());
        if (s.curSel >= rowIndex) ++s.curSel;
        return {rowIndex, true};
    }
    case LB_RESETCONTENT:
        s.items.clear();
        s.curSel = LB_ERR;
        ++s.itemsVersion;
        return {0, true};
    case LB_SETCURSEL:
        if (index < -1 || index >= count) return {LB_ERR};
        s.curSel = index;
        return {index == -1 ? LB_ERR : index, true};
    case LB_GETCURSEL:
        return {s.curSel};
    case LB_GETCOUNT:
        return {count};
    case LB_GETTEXT:
        if (index < 0 || index >= count) return {LB_ERR};
        if (char* out = reinterpret_cast<char*>(l)) std::memcpy(out, s.items[index].c_str(), s.items[index].size() + 1);
        return {static_cast<LRESULT>(s.items[index].size())};
    case LB_GETTEXTLEN:
        if (index < 0 || index >= count) return {LB_ERR};
        return {static_cast<LRESULT>(s.items[index].size())};
    default:
        return textMessage(s, message, w, l);
    }
}

void clampPosition(ControlState& s) {
    s.pos = std::clamp(s.pos, s.rangeMin, std::max(s.rangeMin, s.rangeMax));
}

Outcome trackbarMessage(ControlState& s, DWORD style, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case TBM_SETRANGE:
        s.rangeMin = signedWord(LOWORD(l));
        s.rangeMax = signedWord(HIWORD(l));
        s.pageSize = std::max(1, (s.rangeMax - s.rangeMin) / 5);
        clampPosition(s);
        return {0, true};
    case TBM_SETPOS:
        s.pos = static_cast<int>(l);
        clampPosition(s);
        return {0, true};
    case TBM_GETPOS:
        return {s.pos};
    case TBM_GETRANGEMIN:
        return {s.rangeMin};
    case TBM_GETRANGEMAX:
        return {s.rangeMax};
    case TBM_SETTIC: {
        const int at = static_cast<int>(l);
        if (at < s.rangeMin || at > s.rangeMax) return {FALSE};
        s.tics.insert(std::upper_bound(s.tics.begin(), s.tics.end(), at), at);
        return {TRUE, true};
    }
    case TBM_GETTIC: {
        const auto index = static_cast<size_t>(w);
        return {index < s.tics.size() ? s.tics[index] : -1};
    }
    case TBM_GETNUMTICS:
        // Win32 counts the two end marks as well, and no marks at all when
        // the trackbar shows none.
        return {(style & TBS_NOTICKS) ? 0 : static_cast<LRESULT>(s.tics.size() + 2)};
    default:
        return textMessage(s, message, w, l);
    }
}

Outcome progressMessage(ControlState& s, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case PBM_SETRANGE: {
        const LRESULT previous = MAKELPARAM(s.rangeMin, s.rangeMax);
        s.rangeMin = LOWORD(l);
        s.rangeMax = HIWORD(l);
        clampPosition(s);
        return {previous, true};
    }
    case PBM_SETPOS: {
        const int previous = s.pos;
        s.pos = static_cast<int>(static_cast<intptr_t>(w));
        clampPosition(s);
        return {previous, s.pos != previous};
    }
    case PBM_GETPOS:
        return {s.pos};
    case PBM_GETRANGE:
        if (auto* range = reinterpret_cast<PBRANGE*>(l)) *range = PBRANGE{s.rangeMin, s.rangeMax};
        return {w ? s.rangeMin : s.rangeMax};
    default:
        return textMessage(s, message, w, l);
    }
}

Outcome buttonMessage(ControlState& s, ControlKind kind, UINT message, WPARAM w, LPARAM l) {
    const bool checkable = kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
    switch (message) {
    case BM_SETCHECK:
        if (!checkable) return {};
        s.check = static_cast<int>(w);
        return {0, true};
    case BM_GETCHECK:
        return {checkable ? s.check : BST_UNCHECKED};
    default:
        return textMessage(s, message, w, l);
    }
}

Outcome modelMessage(ControlModel& c, UINT message, WPARAM w, LPARAM l) {
    MutexLock guard(c.lock);
    switch (c.templ.kind) {
    case ControlKind::ListBox:
        return listMessage(c.state, c.templ.style, message, w, l);
    case ControlKind::Trackbar:
        return trackbarMessage(c.state, c.templ.style, message, w, l);
    case ControlKind::ProgressBar:
        return progressMessage(c.state, message, w, l);
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        return buttonMessage(c.state, c.templ.kind, message, w, l);
    default:
        return textMessage(c.state, message, w, l);
    }
}

// Runs at once on the dialog's thread (as Win32 runs a message sent by the
// window's own thread), else queued behind the updates sent before it.
void onGuiThreadInOrder(const std::shared_ptr<ControlModel>& c, void (*action)(ControlModel&)) {
    if (onGuiThread())
        action(*c);
    else
        postToGui([c, action] { action(*c); });
}

}  // namespace

LRESULT controlMessage(const std::shared_ptr<ControlModel>& c, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case BM_CLICK:
        if (c->templ.kind == ControlKind::PushButton || c->templ.kind == ControlKind::CheckBox ||
            c->templ.kind == ControlKind::RadioButton)
            onGuiThreadInOrder(c, clickControlWidget);
        return 0;
    case WM_ACTIVATE:
        // The default handling gives the window the keyboard focus; it does
        // not click a button.
        if (LOWORD(w) != WA_INACTIVE) postToGui([c] { focusControlWidget(*c); });
        return 0;
    default: {
        const Outcome outcome = modelMessage(*c, message, w, l);
        if (outcome.changed) queueControlSync(c);
        return outcome.result;
    }
    }
}

LRESULT dialogMessage(const std::shared_ptr<DialogState>& d, UINT message, WPARAM w, LPARAM l) {
    LRESULT result = 0;
    bool changed = false;
    {
        MutexLock guard(d->lock);
        switch (message) {
        case WM_SETTEXT:
            d->title = textOf(l);
            result = TRUE;
            changed = true;
            break;
        case WM_GETTEXT:
            return copyText(d->title, w, l);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(d->title.size());
        case WM_SETICON: {
            HICON& slot = w == ICON_BIG ? d->bigIcon : d->smallIcon;
            result = reinterpret_cast<LRESULT>(slot);
            slot = reinterpret_cast<HICON>(l);
            changed = true;
            break;
        }
        default:
            break;
        }
    }
    if (changed) {
        queueDialogSync(d);
        return result;
    }
    if (onGuiThread()) return callDialogProc(*d, message, w, l);
    // Another thread must not wait for the dialog's thread: the procedure
    // gets the message later, as if posted, and the sender gets 0.
    postToGui([d, message, w, l] { callDialogProc(*d, message, w, l); });
    return 0;
}

}  // namespace platform::detail
