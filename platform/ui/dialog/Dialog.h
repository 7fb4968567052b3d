// Dialog boxes made from our dialog templates (platform/kernel/Resource.h,
// RT_DIALOG), modal or modeless, and the keyboard interface of dialogs.
//
// Every dialog is a window of the "Dialog" class, whose procedure is
// DefDlgProcW: it calls the dialog procedure first and does the default
// handling when that returns FALSE. Sizes in a template are dialog units:
// a horizontal unit is a quarter of the dialog font's average character
// width, a vertical unit an eighth of its height (MapDialogRect). The
// average width is, as documented for GetDialogBaseUnits, the extent of
// "A".."Z" "a".."z" over 26, halved and rounded up; the height is the font's
// tmHeight. With the device's gothic at 9 points (a 24-pixel em at 192 dpi)
// they are 14 x 26 pixels. The template's cx and cy are the client area's size.
//
// A modal dialog disables its owner while it is up and enables it again just
// before it is destroyed; modal loops nest and end innermost first, whatever
// order EndDialog was called in.
#pragma once

#include "platform/ui/window/ControlOrder.h"
#include "platform/ui/window/Window.h"

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// The fixed head of a template; the caption, the font face and the controls
// follow it (Resource.h gives the whole layout).
struct DLGTEMPLATE {
  DWORD signature;  // 'QVDL'
  DWORD style;
  DWORD dwExtendedStyle;
  int x;
  int y;
  int cx;
  int cy;
  int pointSize;
  int weight;
  DWORD cdit;
};
typedef const DLGTEMPLATE* LPCDLGTEMPLATEW;
#define QV_DLGTEMPLATE_SIGNATURE 0x4C445651u

// Dialog styles.
#define DS_ABSALIGN 0x0001u
#define DS_SYSMODAL 0x0002u
#define DS_3DLOOK 0x0004u
#define DS_FIXEDSYS 0x0008u
#define DS_NOFAILCREATE 0x0010u
#define DS_LOCALEDIT 0x0020u
#define DS_SETFONT 0x0040u
#define DS_MODALFRAME 0x0080u
#define DS_NOIDLEMSG 0x0100u
#define DS_SETFOREGROUND 0x0200u
#define DS_CONTROL 0x0400u
#define DS_CENTER 0x0800u
#define DS_CENTERMOUSE 0x1000u
#define DS_CONTEXTHELP 0x2000u

// A dialog's window longs.
#define DWL_MSGRESULT 0
#define DWL_DLGPROC 8
#define DWL_USER 16
#define DWLP_MSGRESULT DWL_MSGRESULT
#define DWLP_DLGPROC DWL_DLGPROC
#define DWLP_USER DWL_USER
#define DLGWINDOWEXTRA 32

// Dialog messages.
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534Bu
#define WM_NEXTDLGCTL 0x0028u
#define MSGF_DIALOGBOX 0


#define WC_DIALOG L"Dialog"

extern "C" {

// Modal: returns what EndDialog was given, or -1 when the box could not be made.
QV_PLATFORM_API INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc,
                                        LPARAM param);
QV_PLATFORM_API INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                                DLGPROC proc, LPARAM param);
// Modeless: the dialog after WM_INITDIALOG; the caller's loop passes its
// messages through IsDialogMessageW and ends it with DestroyWindow.
QV_PLATFORM_API HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc,
                                        LPARAM param);
QV_PLATFORM_API HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                                DLGPROC proc, LPARAM param);
QV_PLATFORM_API LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Ends a modal dialog's loop once its procedure returns; may be called
// during WM_INITDIALOG.
QV_PLATFORM_API BOOL EndDialog(HWND hwnd, INT_PTR result);
// Handles the keys of a dialog (Tab, arrows, Enter, Escape) unless the
// focused control asks for them through WM_GETDLGCODE, and dispatches every
// other message of the dialog's windows; FALSE for a message of another window.
QV_PLATFORM_API BOOL IsDialogMessageW(HWND dialog, LPMSG msg);
QV_PLATFORM_API BOOL MapDialogRect(HWND dialog, RECT* rect);
// The system font's base units: width in the low word, height in the high.
QV_PLATFORM_API LONG GetDialogBaseUnits();

// Items.
QV_PLATFORM_API LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
QV_PLATFORM_API BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
QV_PLATFORM_API UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR out, int size);
QV_PLATFORM_API BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
QV_PLATFORM_API UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
QV_PLATFORM_API BOOL CheckDlgButton(HWND dialog, int id, UINT check);
QV_PLATFORM_API UINT IsDlgButtonChecked(HWND dialog, int id);
QV_PLATFORM_API BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

}  // extern "C"

#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif

namespace qv {
// Lays a live dialog's controls out as another template places them, for a
// screen that turned: each control of the template moves to its place and
// size there, matched by id (controls without one, id -1, by their order
// among the dialog's children without one). The dialog keeps its size, its
// controls' texts, states and visibility, and every child the template does
// not name. FALSE (ERROR_CONTROL_ID_NOT_FOUND) when a control of the template has no
// match in the dialog; the others are placed all the same.
QV_PLATFORM_API BOOL RelayoutDialog(HINSTANCE instance, HWND dialog, LPCWSTR templateName);
QV_PLATFORM_API BOOL RelayoutDialogIndirect(HWND dialog, LPCDLGTEMPLATEW dialogTemplate);
}  // namespace qv

#define DialogBoxW(instance, name, owner, proc) DialogBoxParamW(instance, name, owner, proc, 0)
#define CreateDialogW(instance, name, owner, proc) CreateDialogParamW(instance, name, owner, proc, 0)
