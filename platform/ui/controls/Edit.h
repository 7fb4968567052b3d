// The "Edit" class: single-line, multi-line (wrapping at the view's width
// unless it scrolls sideways), password and read-only text fields. Changes
// reach the parent as WM_COMMAND with EN_UPDATE (laid out, not yet shown)
// and EN_CHANGE (shown); a line ends with CR LF.
#pragma once

#include "platform/ui/window/Window.h"

#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_OEMCONVERT 0x0400u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u

#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_GETRECT 0x00B2u
#define EM_SETRECT 0x00B3u
#define EM_SETRECTNP 0x00B4u
#define EM_SCROLL 0x00B5u
#define EM_LINESCROLL 0x00B6u
#define EM_SCROLLCARET 0x00B7u
#define EM_GETMODIFY 0x00B8u
#define EM_SETMODIFY 0x00B9u
#define EM_GETLINECOUNT 0x00BAu
#define EM_LINEINDEX 0x00BBu
#define EM_LINELENGTH 0x00C1u
#define EM_REPLACESEL 0x00C2u
#define EM_GETLINE 0x00C4u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6u
#define EM_UNDO 0x00C7u
#define EM_LINEFROMCHAR 0x00C9u
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_EMPTYUNDOBUFFER 0x00CDu
#define EM_GETFIRSTVISIBLELINE 0x00CEu
#define EM_SETREADONLY 0x00CFu
#define EM_GETPASSWORDCHAR 0x00D2u
#define EM_SETMARGINS 0x00D3u
#define EM_GETMARGINS 0x00D4u
#define EM_GETLIMITTEXT 0x00D5u
#define EM_POSFROMCHAR 0x00D6u
#define EM_CHARFROMPOS 0x00D7u

// EM_SETMARGINS
#define EC_LEFTMARGIN 0x0001u
#define EC_RIGHTMARGIN 0x0002u
#define EC_USEFONTINFO 0xFFFFu

#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_ERRSPACE 0x0500
#define EN_MAXTEXT 0x0501
#define EN_HSCROLL 0x0601
#define EN_VSCROLL 0x0602

#define WC_EDIT L"Edit"
