// The clipboard of the device, text only (CF_UNICODETEXT). The kernel has no
// movable memory, so a data handle is a pointer to zero-ended text: the
// clipboard copies it on SetClipboardData (the caller keeps its buffer), and
// the handle GetClipboardData returns stays valid until the clipboard is
// emptied.
#pragma once

#include "platform/ui/window/Window.h"

#define CF_TEXT 1u
#define CF_UNICODETEXT 13u

extern "C" {

QV_PLATFORM_API BOOL OpenClipboard(HWND owner);
QV_PLATFORM_API BOOL CloseClipboard();
QV_PLATFORM_API BOOL EmptyClipboard();
QV_PLATFORM_API HANDLE SetClipboardData(UINT format, HANDLE data);
QV_PLATFORM_API HANDLE GetClipboardData(UINT format);
QV_PLATFORM_API BOOL IsClipboardFormatAvailable(UINT format);
QV_PLATFORM_API HWND GetClipboardOwner();

}  // extern "C"
