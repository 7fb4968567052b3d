// The "Static" class: text (left, centred, right, with or without word
// wrap), filled and framed rectangles, bitmaps and icons. With SS_NOTIFY a
// tap reaches the parent as STN_CLICKED.
#pragma once

#include "platform/ui/window/Window.h"

#define SS_LEFT 0x0000u
#define SS_CENTER 0x0001u
#define SS_RIGHT 0x0002u
#define SS_ICON 0x0003u
#define SS_BLACKRECT 0x0004u
#define SS_GRAYRECT 0x0005u
#define SS_WHITERECT 0x0006u
#define SS_BLACKFRAME 0x0007u
#define SS_GRAYFRAME 0x0008u
#define SS_WHITEFRAME 0x0009u
#define SS_SIMPLE 0x000Bu
#define SS_LEFTNOWORDWRAP 0x000Cu
#define SS_OWNERDRAW 0x000Du
#define SS_BITMAP 0x000Eu
#define SS_TYPEMASK 0x001Fu
#define SS_NOPREFIX 0x0080u
#define SS_NOTIFY 0x0100u
#define SS_CENTERIMAGE 0x0200u
#define SS_ENDELLIPSIS 0x4000u

#define STM_SETICON 0x0170u
#define STM_GETICON 0x0171u
#define STM_SETIMAGE 0x0172u
#define STM_GETIMAGE 0x0173u

#define STN_CLICKED 0
#define STN_DBLCLK 1
#define STN_ENABLE 2
#define STN_DISABLE 3

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1

#define WC_STATIC L"Static"
