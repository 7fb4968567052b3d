// The message window: one modal property sheet that shows one message for
// reading or composing. It owns the message record, decides which tool
// pages it hosts (the page kind), switches the kind on request and runs the
// sheet-wide commands (store, send, reply, forward, send again, receive the
// rest, step to the neighbouring message). It is opened only through the
// static entry points, which build a sheet on the stack and run it modally.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mailops/QvMessageRecord.h"
#include "platform/framework/CPropertySheet.h"

class QvToolPage;

class QvMessageSheet : public CPropertySheet {
 public:
  // The page kinds: 0 to 2 compose, 3 to 5 read.
  enum PageKind : int {
    kNoKind = -1,
    kComposeHandwritten = 0,
    kComposePlain = 1,
    kComposeDecorated = 2,
    kViewHandwritten = 3,
    kViewPlain = 4,
    kViewHtml = 5,
  };
  // The three page slots; pages are added in the order handwriting, HTML, text.
  enum Slot : int { kHandwritingSlot = 0, kTextSlot = 1, kHtmlSlot = 2 };
  // Which tool page a slot of a kind holds.
  enum class ToolKind : int {
    kHandwritingEdit,   // handwriting compose
    kPlainEdit,         // plain compose
    kDecoratedEdit,     // decorated compose
    kHandwritingView,   // picture view
    kPlainView,         // plain view
    kHtmlView,          // HTML view
  };
  // The window caption, trailing blank included.
  static constexpr const wchar_t* kCaption = L"T-VELA4メール ";

  // Entry points. All but ViewMessage answer 0 at once without a parent;
  // the compose entries answer whether the user sent.
  static void ViewMessage(DWORD folderId, DWORD messageId);
  static BOOL ComposeNewMessage(CWnd* parent, LPCWSTR to);
  static BOOL ComposeHandwrittenMessage(CWnd* parent, LPCWSTR to);
  // `mailto` may carry, on a line of its own, the per-request attachment
  // list file another program handed over. Type 0 mail, 1 handwritten, 2 decorated.
  static BOOL EditMessageFile(CWnd* parent, LPCWSTR mailto, int type);
  static BOOL EditStoredMessage(CWnd* parent, DWORD folderId, DWORD messageId, BOOL inDrafts, BOOL asNew);
  static BOOL ReplyMessage(CWnd* parent, DWORD messageId, bool all, bool quote);
  static BOOL ForwardMessage(CWnd* parent, DWORD messageId);
  static void SendAfterEdit(CWnd* parent, const std::vector<unsigned long>& ids);

  // Fills the mail list's and the main frame's runners with the entries.
  static void InstallRunners();

  // Makes the tool page for a slot; the default makes the program's pages.
  // Tests put their own in (null restores the default).
  using ToolPageMaker = std::function<std::unique_ptr<QvToolPage>(ToolKind kind, QvMessageRecord* record)>;
  static void SetToolPageMaker(ToolPageMaker maker);

  // `tempBase` is the kind group's temporary sub-folder ("_V" or "_E"); the
  // sheet takes a name of its own from it and restores the previous one when it ends.
  QvMessageSheet(CWnd* parent, LPCWSTR tempBase);
  ~QvMessageSheet() override;

  QvMessageRecord& Record() { return m_record; }
  int PageKind() const { return m_pageKind; }
  bool SendRequested() const { return m_sendRequested; }
  QvToolPage* SlotPage(Slot slot) const;
  // The temporary sub-folder this sheet loads into.
  const std::wstring& TempFolder() const { return m_tempFolder; }

  // Sets the kind: makes the kind's tool pages (replacing the slots'), adds them.
  void SetPageKind(int kind);

  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The sheet-wide commands, public for the pages that run them directly.
  void OnSave();
  void OnSend();
  void OnSendAgain();
  void OnReceiveRest();
  void OnReply(UINT command);
  void OnForward();
  void OnAddHandwriting();
  void OnBackToPlain();
  void OnDecorate();
  // IDOK from the title bar: closes, asking to store in the compose kinds.
  void OnCloseQuestion();
  // WM_APP+3: the forced store and close of a close request.
  void OnCloseRequest();
  // WM_USER+121: the previous (nonzero) or next message.
  void OnStepMessage(bool previous);

 private:
  // The sheet's dialog initialisation: the accelerator table.
  void OnSheetInit();
  // Runs the compose sheet, then sends at once when asked; whether the user sent.
  BOOL RunCompose(CWnd* parent);
  // The reply, reply-to-all and forward entries (answer kinds in MessageSheetIds.h).
  static BOOL Answer(CWnd* parent, DWORD messageId, int answer, bool quote);
  static BOOL ComposeNew(CWnd* parent, LPCWSTR to, int kind);
  // The account's signature after a non-empty body, when the account uses one.
  void AppendSignature();
  // The plain compose page's menu: alone (kind 1) or beside a handwriting page (kind 0).
  void SetTextMenu(int kind);
  // After the store question: leaving the pages commits nothing more.
  void ClearCommitOnLeave();
  std::unique_ptr<QvToolPage> MakeToolPage(ToolKind kind);
  // Detaches, without deleting, the slots' pages from the sheet's tabs.
  void RemoveFromSheet(QvToolPage* page);
  void AddSlotsToSheet();
  void ActivateSlot(Slot slot);
  bool IsComposing() const { return m_pageKind >= 0 && m_pageKind <= 2; }
  // Every tool page's StorePage in page order; false at the first veto.
  bool StoreAllPages();
  // Into the Drafts: a new message is made there, a stored one updated (and
  // brought back from the Outbox). False when the store failed.
  bool StoreAsDraft();
  // A close request must not lose the message: when the store failed, one
  // new copy goes into the Drafts.
  bool StoreRecoveryCopy();
  void DiscardPictures();
  void ReleaseHtmlView();
  // Loads the shown message again after the store changed it; false when it is gone.
  bool ReloadForView(DWORD messageId);
  static int ViewKindFor(const QvMessageRecord& record);
  // After a compose run: sends at once when the account says so.
  static void SendAtOnceAfterRun(CWnd* parent, QvMessageSheet& sheet);

  QvMessageRecord m_record;
  HACCEL m_accel = nullptr;
  int m_pageKind = kNoKind;
  std::unique_ptr<QvToolPage> m_handwritingPage;
  std::unique_ptr<QvToolPage> m_textPage;
  std::unique_ptr<QvToolPage> m_htmlPage;
  bool m_sendRequested = false;
  bool m_forwarding = false;  // a command is on its way to the page
  std::wstring m_tempFolder;
  std::wstring m_previousTempFolder;
};
