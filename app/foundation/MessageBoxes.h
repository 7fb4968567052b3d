// The program's message boxes: thin calls over the system's box with fixed
// Japanese captions, texts given or loaded from the resource library by id.
// Every box goes through QvMessageBox, which tells the owner with
// WM_APP+1 (wParam 1 before, 0 after) that a system box is up.
#pragma once

#include "app/protocol/WindowMessages.h"
#include "platform/framework/CString.h"
#include "platform/ui/WinUser.h"

// The text of a resource string of the resource library; empty when the
// library or the string is missing.
CString LoadResString(UINT id);

int QvMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Yes/No question "確認"; `defaultYes` false makes No the default button.
bool ShowConfirmBox(HWND owner, LPCWSTR text, bool defaultYes);
int ShowNoticeBox(HWND owner, LPCWSTR text);
int ShowWarningBox(HWND owner, LPCWSTR text);
int ShowErrorBox(HWND owner, LPCWSTR text);
bool ShowConfirmBoxRes(HWND owner, UINT stringId, bool defaultYes);
// Yes/No/Cancel question: IDYES, IDNO or IDCANCEL.
int ShowConfirmCancelBoxRes(HWND owner, UINT stringId, bool defaultYes);
void ShowNoticeBoxRes(HWND owner, UINT stringId);
void ShowWarningBoxRes(HWND owner, UINT stringId);
void ShowErrorBoxRes(HWND owner, UINT stringId);
// The resource string `formatId` filled with the system's text for `error`.
void ShowSystemErrorBox(HWND owner, UINT formatId, DWORD error);

// The system's text for `error` without its line end, at most size - 1
// characters; empty when the system has none or it does not fit.
void GetSystemErrorText(LPWSTR buffer, int size, DWORD error);

// "=== Memory %d\r\n" with the free physical memory, to the debug output.
void ShowMemoryStatus();

// Centres a box over its owner (the screen without one), kept whole on the
// screen as it stands.
void CentreBoxOverOwner(HWND box);
