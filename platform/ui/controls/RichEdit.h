// The rich edit control "RICHEDIT50W" in its plain-text use, as programs
// load it: LoadLibraryW(L"riched20.dll") and the class by name. Beside the
// "Edit" messages it answers the extended selection and limit messages, the
// event mask (EN_CHANGE and EN_UPDATE only when asked for) and the text
// mode. A paragraph ends with one CR that counts as one position;
// WM_GETTEXT gives it as CR LF. The default limit is 32,767 characters.
#pragma once

#include "platform/ui/controls/Edit.h"

#define EM_CANPASTE (WM_USER + 50)
#define EM_EXGETSEL (WM_USER + 52)
#define EM_EXLIMITTEXT (WM_USER + 53)
#define EM_EXLINEFROMCHAR (WM_USER + 54)
#define EM_EXSETSEL (WM_USER + 55)
#define EM_GETEVENTMASK (WM_USER + 59)
#define EM_GETSELTEXT (WM_USER + 62)
#define EM_HIDESELECTION (WM_USER + 63)
#define EM_PASTESPECIAL (WM_USER + 64)
#define EM_SETBKGNDCOLOR (WM_USER + 67)
#define EM_SETEVENTMASK (WM_USER + 69)
#define EM_SETTARGETDEVICE (WM_USER + 72)
#define EM_GETTEXTRANGE (WM_USER + 75)
#define EM_REDO (WM_USER + 84)
#define EM_CANREDO (WM_USER + 85)
#define EM_SETTEXTMODE (WM_USER + 89)
#define EM_GETTEXTMODE (WM_USER + 90)
#define EM_GETTEXTLENGTHEX (WM_USER + 95)

#define ENM_NONE 0x00000000u
#define ENM_CHANGE 0x00000001u
#define ENM_UPDATE 0x00000002u
#define ENM_SCROLL 0x00000004u

// EM_GETTEXTMODE / EM_SETTEXTMODE
#define TM_PLAINTEXT 1
#define TM_RICHTEXT 2
#define TM_SINGLELEVELUNDO 4
#define TM_MULTILEVELUNDO 8
#define TM_SINGLECODEPAGE 16
#define TM_MULTICODEPAGE 32

// EM_GETTEXTLENGTHEX
#define GTL_DEFAULT 0
#define GTL_USECRLF 1
#define GTL_PRECISE 2
#define GTL_CLOSE 4
#define GTL_NUMCHARS 8
#define GTL_NUMBYTES 16

#define ES_SAVESEL 0x00008000u
#define ES_SUNKEN 0x00004000u
#define ES_DISABLENOSCROLL 0x00002000u

struct CHARRANGE {
  LONG cpMin;
  LONG cpMax;
};
struct TEXTRANGEW {
  CHARRANGE chrg;
  LPWSTR lpstrText;
};
struct GETTEXTLENGTHEX {
  DWORD flags;
  UINT codepage;
};
struct POINTL {
  LONG x;
  LONG y;
};

#define RICHEDIT_CLASSW L"RICHEDIT50W"
// The provider's library name as programs load it.
#define RICHEDIT_LIBRARY L"riched20.dll"
