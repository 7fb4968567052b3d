// Command ids that travel between windows as WM_COMMAND: from a soft key or
// menu of one window to the page or field that answers them.
#pragma once

#include "platform/base/WinTypes.h"

// To every scrolling page and dialog: end with OK, or done.
constexpr UINT kEndOkCommand = 40114;
constexpr UINT kDoneCommand = 40079;

// To the progress window from a task's thread when its operation ended
// (lParam the window's own handle): with success it is the same id as OK.
constexpr UINT kTaskSucceededCommand = kEndOkCommand;
constexpr UINT kTaskFailedCommand = 40101;

// To a text field, from its tap-and-hold edit menu.
constexpr UINT kCutCommand = 57635;
// The message pages' buttons: add an attachment; choose an address.
constexpr UINT kAddAttachmentCommand = 40070;
constexpr UINT kChooseAddressCommand = 40083;
constexpr UINT kCopyCommand = 57634;
constexpr UINT kPasteCommand = 57637;

// The main frame's commands (menu bar, launcher items, account submenu).
constexpr UINT kNewMessageCommand = 2547;
constexpr UINT kReceiveCommand = 40117;
constexpr UINT kSendOutboxCommand = 40125;
constexpr UINT kSendReceiveCommand = 40126;
constexpr UINT kRulesCommand = 40128;
constexpr UINT kImportCommand = 40105;
constexpr UINT kVersionCommand = 40150;
// The menu item that becomes the account submenu.
constexpr UINT kAccountMenuItem = 40080;
// One per account of the combo, in its order.
constexpr UINT kAccountCommandFirst = 33000;
constexpr UINT kAccountCommandLast = 33009;

// The message window's sheet-wide commands, from its pages' menus and keys.
// Leave handwriting or decoration; decorate the plain text; add a handwriting page.
constexpr UINT kBackToPlainCommand = 40183;
constexpr UINT kDecorateCommand = 40184;
constexpr UINT kAddHandwritingCommand = 40185;
// Store as draft and close; store in the Outbox and close.
constexpr UINT kSaveDraftCommand = 40186;
constexpr UINT kSendMessageCommand = 40125;
// A copy of the shown (sent) message into the Outbox; the rest of a partly received one.
constexpr UINT kSendAgainMessageCommand = 40214;
constexpr UINT kReceiveRestCommand = 40094;
// Answers: to the sender, to all, each with the received text quoted.
constexpr UINT kReplySenderCommand = 2562;
constexpr UINT kReplyEveryoneCommand = 40121;
constexpr UINT kReplySenderQuotedCommand = 40207;
constexpr UINT kReplyEveryoneQuotedCommand = 40208;
constexpr UINT kForwardMessageCommand = 2539;
// Delete the shown message: the sheet hands it to the active page.
constexpr UINT kDeleteShownCommand = 2528;
// To a message page from its sheet: open the other input pad.
constexpr UINT kOtherPadCommand = 40143;
// The input pads' soft keys: close; insert the selected one; ask for the
// web pictograph pad (from the pictograph pad) or the pictograph pad (from the web one).
constexpr UINT kPadCloseCommand = 40144;
constexpr UINT kPadInsertCommand = 40147;
constexpr UINT kToWebPadCommand = 40218;
constexpr UINT kToPicturePadCommand = 40219;
