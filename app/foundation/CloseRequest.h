// The close request (message 0x632 to the main window) and what keeps boxes
// from appearing while the program is being closed. All of it belongs to
// the UI thread.
#pragma once

#include "app/protocol/WindowMessages.h"
#include "platform/framework/CWnd.h"

// The main window's title, trailing blank included.
constexpr const wchar_t* kMainWindowTitle = L"T-VELA4メール ";

// The main frame; it receives WM_CLOSE from the error box and the close
// request. Set by the application shell, null before.
extern CWnd* MainFrameWindow;
// Set by a modal window that took a close request; error boxes stay hidden
// while it is set.
extern bool ClosePendingFlag;
// Set once a close request was seen.
extern bool CloseRequestSeenFlag;
// Set when the program is activated, or asked to compose, after a close
// request was seen: that close is off.
extern bool CloseReactivatedFlag;

// True for the close request, which is then remembered as seen.
bool IsCloseRequestMessage(UINT message);
void PostCloseRequest();
// For a dialog that took a close request while it was modal, when it ends.
void ForwardPendingClose();
// Closes this process's dialogs (not the main window) and the contact
// chooser. Each dialog is first sent the close request: one that answers
// kCloseTakenOver (the progress window, the message sheet) stores its work
// and ends itself; the others are closed.
void CloseForeignDialogs();
BOOL CloseDialogsEnumProc(HWND window, LPARAM parameter);
