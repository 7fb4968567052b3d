// The program's private window messages: every message one of its windows
// sends or posts to another, by the kind of window that receives it. A
// message number means something only to the windows of its group, so two
// groups may use one number.
#pragma once

#include "platform/ui/WinUser.h"

// To the main frame.
// Close the program (posted by the close request; the error box sends it too).
constexpr UINT kCloseRequestMessage = 0x632;
// What a window that takes a close request over (it stores its work, then
// ends and passes the close on) answers it.
constexpr LRESULT kCloseTakenOver = 1;
// To every window that shows mail (the main frame's launcher, folder screens,
// mail lists): the store changed. wParam a folder id and lParam 0, or wParam
// 0xFFFFFFFF and lParam 1 for everything.
constexpr UINT kRefreshMessage = WM_USER + 102;
// A system box is up (wParam 1) or gone again (wParam 0).
constexpr UINT kSystemBoxMessage = WM_APP + 1;
// The phone book changed: cached contact names are stale.
constexpr UINT kContactsChangedMessage = WM_USER + 112;

// The main frame's own protocol, from its windows, the background receive
// threads and other programs (a second start posts integers only; any text
// goes through the registry's "CmdArgs").
// Compose from the stored arguments; wParam the kind (0 mail, 1 handwritten, 2 decorated).
constexpr UINT kComposeFromArgsMessage = WM_USER + 101;
constexpr UINT kEnterAutoReceiveMessage = WM_USER + 104;
// The account list (the user makes the first account there).
constexpr UINT kAccountListMessage = WM_USER + 105;
// The frame's state word: set bits wParam, clear them, 1 when any is set, the word.
constexpr UINT kSetStateBitsMessage = WM_USER + 106;
constexpr UINT kClearStateBitsMessage = WM_USER + 107;
constexpr UINT kTestStateBitsMessage = WM_USER + 108;
constexpr UINT kGetStateWordMessage = WM_USER + 109;
// Answers the framework object of the active window (this process's only).
constexpr UINT kActiveWindowQueryMessage = WM_USER + 110;
constexpr UINT kOpenBoxFromArgsMessage = WM_USER + 111;
constexpr UINT kEnterUnattendedMessage = WM_USER + 127;
// Open the named account from the stored arguments, then compose (wParam the kind).
constexpr UINT kOpenAndComposeMessage = WM_USER + 130;
constexpr UINT kClearContactCachesMessage = WM_USER + 131;
// A handwritten message to the address stored in "CmdArgs".
constexpr UINT kHandwrittenToMessage = WM_USER + 135;
// Select launcher item 0 (wParam 0) or the settings item (1), from the account combo.
constexpr UINT kSelectLauncherItemMessage = WM_USER + 141;
// The account list changed; wParam 1 keeps the current account.
constexpr UINT kAccountListChangedMessage = WM_USER + 143;
constexpr UINT kOpenReceiveBoxMessage = WM_USER + 145;
constexpr UINT kOpenSendBoxMessage = WM_USER + 146;
// Answers 0: a caller's check that the frame is there.
constexpr UINT kFramePingMessage = WM_USER + 147;
constexpr UINT kComeToFrontMessage = WM_USER + 150;
// The last step of the close sequence, posted by the frame to itself.
constexpr UINT kCloseSequenceEndMessage = WM_APP + 3;
// The bit of the state word set while a message window is open.
constexpr WPARAM kStateMessageWindowOpen = 1;

// To a page or dialog, from one of its fields.
// Back: the page closes (Backspace in an empty field, or a held Back key).
constexpr UINT kBackMessage = 0x48E;
// The field asks its page to move the focus on (while selecting text: the
// second one).
constexpr UINT kMoveFocusMessage = WM_USER + 128;
constexpr UINT kMoveFocusSelectingMessage = WM_USER + 129;
// A message window's read-only field, body or list asks its page (which
// passes it on to the sheet) for the previous (wParam 1) or next (0)
// message: the left and right keys.
constexpr UINT kStepMessageRequest = WM_USER + 121;
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

// To a page with drop-down folder trees, with the tree's control id in
// wParam: show the tree under its combo; hide it again (lParam 1: the
// tree's selection is the choice, 0: it goes back to what the combo shows).
constexpr UINT kShowFolderTreeMessage = WM_USER + 133;
constexpr UINT kHideFolderTreeMessage = WM_USER + 134;

// The account menu page, to itself: no account is left, which it says (20053).
constexpr UINT kNoAccountMessage = WM_USER + 105;
// The account sheet's action page, to itself: it came back because no
// connection was chosen, which it says (20074).
constexpr UINT kWarnNoNetworkMessage = WM_USER + 117;

// To the history screen from its list: wParam the row chosen (Enter or a tap).
constexpr UINT kHistoryRowChosenMessage = WM_USER + 1;

// To the window a thumbnail loader serves: a thumbnail is ready to take.
constexpr UINT kThumbnailReadyMessage = WM_USER;

// To the mail list that opened a message window, from that window: the
// message before (+119) or after (+120) the one shown. wParam the shown
// message's id, lParam a DWORD* that receives the neighbour's id; the answer
// is 1 when there is one.
constexpr UINT kPreviousMessageMessage = WM_USER + 119;
constexpr UINT kNextMessageMessage = WM_USER + 120;

// From the message window's text fields and bodies to their page: the
// step request above (kStepMessageRequest), passed on to the sheet.
// A body view painted for the first time.
constexpr UINT kFirstPaintDoneMessage = WM_USER + 136;
// The focus leaves the body downwards, to the tool page above the body's page.
constexpr UINT kLeaveBodyDownMessage = WM_USER + 138;

// Between a message page, its tool page and the sheet.
// To a message page: a flag the sheet keeps there (wParam).
constexpr UINT kPageFlagMessage = WM_APP + 1;
// To the sheet: which kind of page it shows (its answer).
constexpr UINT kPageKindQuery = WM_APP + 2;
// To the sheet: close the window (a page that cannot go on).
constexpr UINT kCloseSheetMessage = WM_APP + 3;
// To the compose tool page from its decorated page: the decoration's enable
// word changed; open the palette or move the focus into it; the body got
// the focus; another field got it.
constexpr UINT kDecorationChangedMessage = WM_USER + 139;
constexpr UINT kOpenPaletteMessage = WM_USER + 140;
constexpr UINT kBodyGotFocusMessage = WM_USER + 148;
constexpr UINT kBodyLostFocusMessage = WM_USER + 149;

// To the HTML view page from its sheet: let go of the HTML control's view
// before the sheet removes or reloads the message's files.
constexpr UINT kReleaseHtmlViewMessage = WM_USER + 151;
// To a compose page, posted to itself: the address check of a field it
// left failed (wParam the field); it warns and takes the focus back.
constexpr UINT kAddressCheckFailedMessage = WM_USER + 125;
// From an input pad to its target window (the field that opened it).
// Insert: wParam 1 with lParam the pictograph's code unit, or wParam 2 with
// lParam a const wchar_t* template line (valid during the call).
constexpr UINT kPadInsertMessage = WM_USER + 126;
// Open the other pad: wParam 1 from the pictograph pad, 0 from the web one.
constexpr UINT kOtherPadMessage = WM_USER + 144;
