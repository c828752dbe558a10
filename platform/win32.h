// The window-system calls the player makes, by their Win32 names and with
// their Win32 values, implemented on Qt. The layer is generic: it runs any
// dialog template registered with it and knows nothing of the program.
//
// Threads: every call may be made from any thread and returns at once, except
// MessageBoxA (blocks its caller until the box is closed) and the dialog runs
// (DialogBoxParamA blocks until the dialog ends). Control messages read or
// change a thread-safe model of the control; the widgets follow the model on
// the dialog's thread in the order the messages were sent. The dialog
// procedure is only ever called on the dialog's thread.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef uint16_t WORD;
typedef const char* LPCSTR;

struct HWND__;
typedef HWND__* HWND;  // a dialog or a control
struct HICON__;
typedef HICON__* HICON;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)
#define LOWORD(l) (static_cast<WORD>(static_cast<uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<uintptr_t>(l) >> 16) & 0xffff))
#define MAKEWPARAM(lo, hi)                                             \
    (static_cast<WPARAM>((static_cast<DWORD>(static_cast<WORD>(lo))) | \
                         (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define MAKELPARAM(lo, hi)                                             \
    (static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(lo))) | \
                         (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))

// ---- messages ----
#define WM_ACTIVATE 0x0006
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_CLOSE 0x0010
#define WM_SETICON 0x0080
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_USER 0x0400

// ShowWindow commands
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define ICON_SMALL 0
#define ICON_BIG 1

// buttons
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0

// list box
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_ERR (-1)
#define LBN_SELCHANGE 1

// trackbar
#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_GETTIC (WM_USER + 3)
#define TBM_SETTIC (WM_USER + 4)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_GETNUMTICS (WM_USER + 16)
#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_PAGEUP 2
#define TB_PAGEDOWN 3
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_TOP 6
#define TB_BOTTOM 7
#define TB_ENDTRACK 8

// progress bar
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

// commands and message box results
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// message boxes
#define MB_OK 0x00000000
#define MB_OKCANCEL 0x00000001
#define MB_ABORTRETRYIGNORE 0x00000002
#define MB_YESNOCANCEL 0x00000003
#define MB_YESNO 0x00000004
#define MB_RETRYCANCEL 0x00000005
#define MB_TYPEMASK 0x0000000F
#define MB_ICONMASK 0x000000F0
#define MB_ICONERROR 0x00000010
#define MB_ICONQUESTION 0x00000020
#define MB_ICONWARNING 0x00000030
#define MB_ICONINFORMATION 0x00000040

// ---- window styles used by dialog templates ----
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_WINDOWEDGE 0x00000100L
#define DS_MODALFRAME 0x80L
#define DS_3DLOOK 0x0004L
#define DS_SHELLFONT 0x48L
#define DS_CENTER 0x0800L

#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define SS_TYPEMASK 0x1FL
#define SS_NOPREFIX 0x80L
#define SS_NOTIFY 0x100L
#define BS_PUSHBUTTON 0x0L
#define BS_CHECKBOX 0x2L
#define BS_RADIOBUTTON 0x4L
#define BS_TYPEMASK 0xFL
#define BS_AUTOCHECKBOX 0x3L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_GROUPBOX 0x7L
#define LBS_NOTIFY 0x0001L
#define LBS_SORT 0x0002L
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_MULTICOLUMN 0x0200L
#define TBS_HORZ 0x0000L
#define TBS_VERT 0x0002L
#define TBS_TOP 0x0004L
#define TBS_LEFT 0x0004L
#define TBS_BOTH 0x0008L
#define TBS_NOTICKS 0x0010L
#define TBS_AUTOTICKS 0x0001L
#define PBS_SMOOTH 0x01L

// PBM_GETRANGE fills this record when lParam points to one.
typedef struct {
    int iLow;
    int iHigh;
} PBRANGE, *PPBRANGE;

#ifdef __cplusplus
extern "C" {
#endif

// The first dialog made decides the dialog's thread (it creates the
// QApplication there); dialogs are made on that thread only.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// A dialog's window: shown, hidden, minimised or restored (SW_*); returns
// whether it was visible before.
BOOL ShowWindow(HWND window, int command);
// Brings a dialog's window to the front and gives it the keyboard input.
BOOL SetForegroundWindow(HWND window);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, char* text, int capacity);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HINSTANCE GetModuleHandleA(LPCSTR name);
// The full path of the running program (a Linux path, '/' separated), as
// the Win32 call gives it: the length copied, the text cut to capacity - 1.
DWORD GetModuleFileNameA(HINSTANCE module, char* path, DWORD capacity);

#ifdef __cplusplus
}
#endif
