// The message window behind the mail list's and the main frame's runners.
#include "app/message/sheet/QvMessageSheet.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "app/shell/maillist/MailListRunners.h"

void QvMessageSheet::InstallRunners() {
  MailListRunners& list = MailListScreenRunners();
  list.viewMessage = [](CWnd*, DWORD folderId, DWORD messageId) { ViewMessage(folderId, messageId); };
  list.replyMessage = [](CWnd* owner, DWORD messageId, bool all, bool quote) {
    ReplyMessage(owner, messageId, all, quote);
  };
  list.forwardMessage = [](CWnd* owner, DWORD messageId) { ForwardMessage(owner, messageId); };
  list.editStoredMessage = [](CWnd* owner, DWORD messageId, DWORD folderId, bool inDrafts, bool asNew) {
    EditStoredMessage(owner, folderId, messageId, inDrafts, asNew);
  };
  MainFrameRunners& frame = FrameRunners();
  frame.newMessage = [](CWnd* owner) { ComposeNewMessage(owner, nullptr); };
  frame.newHandwritten = [](CWnd* owner, const std::wstring& address) {
    ComposeHandwrittenMessage(owner, address.empty() ? nullptr : address.c_str());
  };
  frame.composeFromArgs = [](CWnd* owner, int kind, const std::wstring& args) {
    EditMessageFile(owner, args.c_str(), kind);
  };
}
