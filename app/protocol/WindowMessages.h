// The program's private window messages: every message one of its windows
// sends or posts to another, by the kind of window that receives it. A
// message number means something only to the windows of its group, so two
// groups may use one number.
#pragma once

#include "platform/ui/WinUser.h"

// To the main frame.
// Close the program (posted by the close request; the error box sends it too).
constexpr UINT kCloseRequestMessage = 0x632;
// To every window that shows mail (the main frame's launcher, folder screens,
// mail lists): the store changed. wParam a folder id and lParam 0, or wParam
// 0xFFFFFFFF and lParam 1 for everything.
constexpr UINT kRefreshMessage = WM_USER + 102;
// A system box is up (wParam 1) or gone again (wParam 0).
constexpr UINT kSystemBoxMessage = WM_APP + 1;
// The phone book changed: cached contact names are stale.
constexpr UINT kContactsChangedMessage = WM_USER + 112;

// To a page or dialog, from one of its fields.
// Back: the page closes (Backspace in an empty field, or a held Back key).
constexpr UINT kBackMessage = 0x48E;
// The field asks its page to move the focus on (while selecting text: the
// second one).
constexpr UINT kMoveFocusMessage = WM_USER + 128;
constexpr UINT kMoveFocusSelectingMessage = WM_USER + 129;
// An area selection stepped: wParam 1 on, 2 anchored, 0 off.
constexpr UINT kAreaSelectMessage = WM_USER + 124;
// The splitter was dragged to a new place.
constexpr UINT kSplitMovedMessage = WM_USER + 100;
// To the progress window, posted by a task's notify sink from the task's
// thread. Connection state: wParam 0 connecting, 1 connected, 2 released,
// 3 other. Count: wParam messages done, lParam their total. Part progress
// within one message: wParam done, lParam total.
constexpr UINT kConnectionStateMessage = WM_USER + 113;
constexpr UINT kProgressCountMessage = WM_USER + 114;
constexpr UINT kPartProgressMessage = WM_USER + 115;

// To the window a thumbnail loader serves: a thumbnail is ready to take.
constexpr UINT kThumbnailReadyMessage = WM_USER;
