// The message sheet over an account made through the engine, with tool
// pages made for the test that log what the sheet asks of them: the page
// kinds each entry and switch leads to, the close request in every kind
// (the composed message is stored or kept, never dropped), sending again,
// a send the program is too busy for, and the sheets' temporary folders.
#include <map>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/TempFiles.h"
#include "app/message/pages/QvMessagePage.h"
#include "app/message/sheet/QvMessageSheet.h"
#include "app/message/tools/QvToolPage.h"
#include "app/protocol/Commands.h"
#include "app/shell/mainframe/AttachmentRequest.h"
#include "engine/public/content/Email.h"
#include "engine/public/transport/Sender.h"
#include "platform/testing/Seams.h"
#include "platform/ui/MessageBoxSeam.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using Tool = QvMessageSheet::ToolKind;
const char* const kToolNames[] = {"hw-edit", "plain-edit", "deco-edit", "hw-view", "plain-view", "html-view"};

// Logs every page operation the sheet runs as "<tool> <operation>".
class LoggingToolPage : public QvToolPage {
 public:
  LoggingToolPage(Tool tool, QvMessageRecord* record) : QvToolPage(137, record, 0, nullptr, 0), tool_(tool) {}
  BOOL StorePage(int active) override { return Log("store" + std::to_string(active)) && !veto; }
  void DiscardPicture(int, int) override { Log("discard"); }
  void OnSheetClosing(int flag, int) override { Log("closing" + std::to_string(flag)); }
  BOOL CheckBeforeSend(int) override { return Log("check"); }
  Tool tool_;
  static inline bool veto = false;

 private:
  bool Log(const std::string& what) {
    Called(std::string(kToolNames[static_cast<int>(tool_)]) + " " + what);
    return true;
  }
};

// What the sheet shows: its kind, then its pages in tab order.
std::string Shown(QvMessageSheet* sheet) {
  std::string s = std::to_string(sheet->PageKind());
  for (int i = 0; i < sheet->GetPageCount(); ++i) {
    s += std::string(" ") + kToolNames[static_cast<int>(static_cast<LoggingToolPage*>(sheet->GetPage(i))->tool_)];
  }
  return s;
}

// The sheet up now (the one the idle step runs under).
QvMessageSheet* UpSheet() { return dynamic_cast<QvMessageSheet*>(CWnd::FromHandlePermanent(::GetActiveWindow())); }

// The owner of the sheets: it takes the script's steps while they wait.
class Owner : public RefreshWindow {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    if (message == kCloseRequestMessage) ++closeRequests;
    return RefreshWindow::WindowProc(message, wParam, lParam);
  }
  int closeRequests = 0;
};

class MessageSheetTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    work_ = MakeCurrentAccount(L"仕事", L"me@example.com");
    owner_ = new Owner;
    ASSERT_TRUE(owner_->Create(nullptr, L"owner", WS_POPUP | WS_VISIBLE));
    MainFrameWindow = owner_;
    ::SetActiveWindow(owner_->m_hWnd);
    QvMessageSheet::SetToolPageMaker(
        [](Tool tool, QvMessageRecord* r) { return std::make_unique<LoggingToolPage>(tool, r); });
    qv::msgbox_seam::SetHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
    // Other boxes come up and are read, then acknowledged.
    qv::msgbox_seam::SetShownHandler([this](HWND box) {
      boxes_.push_back(qv::seams::ReadWindow(::GetDlgItem(box, 0xFFFF)).text);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
    LoggingToolPage::veto = false;
    ClosePendingFlag = CloseRequestSeenFlag = CloseReactivatedFlag = false;
  }
  void TearDown() override {
    QvMessageSheet::SetToolPageMaker(nullptr);
    qv::msgbox_seam::Reset();
    MainFrameWindow = nullptr;
    owner_->DestroyWindow();
    MailOpsTest::TearDown();
  }
  unsigned long StoreMail(int tray, uint32_t kind, const std::string& raw) {
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(work_.trays[tray]));
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kKind;
    a.kind = kind;
    unsigned long id = 0;
    EXPECT_TRUE(f && f->CreateMessage(&id, a, raw));
    return id;
  }
  Ids InTray(int tray) {
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(work_.trays[tray]));
    Ids ids;
    EXPECT_TRUE(f && f->GetMessageIds(&ids));
    return ids;
  }
  // A sheet of `kind` over a new message, run until the script ends it.
  void RunKind(int kind) {
    QvMessageSheet sheet(owner_, kind < 3 ? L"_E" : L"_V");
    sheet.Record().isNew = kind < 3;
    sheet.Record().subject = L"書きかけ";
    sheet.Record().toList.Add(L"you@example.jp");
    sheet.SetPageKind(kind);
    sheet.DoModal();
  }
  static std::function<void()> Send(UINT message, WPARAM w = 0) {
    return [message, w] { UpSheet()->SendMessage(message, w, 0); };
  }
  // The title bar's OK, answered No: the sheet closes storing nothing.
  std::function<void()> CloseNo() {
    return [this] {
      answer_ = IDNO;
      UpSheet()->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, 0x1000), 0);
      answer_ = IDYES;
    };
  }

  TestAccount work_;
  Owner* owner_ = nullptr;
  std::vector<std::wstring> boxes_;
  int answer_ = IDYES;
  static constexpr const char* kReceived = "From: a@example.jp\r\nTo: me@example.com\r\nSubject: s\r\n\r\nbody\r\n";
};

// Reading, then answering and editing: each entry opens the kind its
// message asks for, and the switches inside a compose run move between
// the compose kinds with their pages.
TEST_F(MessageSheetTest, KindsFollowTheEntriesAndTheSwitches) {
  const unsigned long received = StoreMail(0, QvMessageInterface::kReceived, kReceived);
  const unsigned long html = StoreMail(0, QvMessageInterface::kReceived,
                                       "From: a@example.jp\r\nSubject: h\r\nContent-Type: text/html; charset=utf-8"
                                       "\r\n\r\n<p>deco</p>\r\n");
  std::vector<std::string> seen;
  auto look = [&seen] { seen.push_back(Shown(UpSheet())); };
  auto command = [](UINT id) { return Send(WM_COMMAND, id); };
  auto closeNo = CloseNo();
  Script() = {look, command(kReplySenderCommand), look, closeNo, command(kForwardMessageCommand), look, closeNo,
              Send(WM_COMMAND, IDOK)};
  QvMessageSheet::ViewMessage(work_.trays[0], received);
  Script() = {look, Send(WM_COMMAND, IDOK)};
  QvMessageSheet::ViewMessage(work_.trays[0], html);
  Script() = {look,    command(kDecorateCommand), look, command(kBackToPlainCommand), look,
              command(kAddHandwritingCommand), look, command(kBackToPlainCommand), look, closeNo};
  QvMessageSheet::EditStoredMessage(owner_, work_.trays[0], received, FALSE, TRUE);
  const std::vector<std::string> expected = {
      "4 plain-view", "1 plain-edit", "1 plain-edit", "5 html-view",
      "1 plain-edit", "2 deco-edit",  "1 plain-edit", "0 hw-edit plain-edit", "1 plain-edit"};
  EXPECT_EQ(seen, expected);
}

// The close request in each kind: composing, every page stores and the
// message lands in the Drafts without a question; reading, nothing is
// stored; in both the close goes on to the main window.
TEST_F(MessageSheetTest, CloseRequestStoresInEveryComposeKindAndPassesTheCloseOn) {
  const std::map<int, std::vector<std::string>> pageCalls = {
      {0, {"hw-edit closing0", "hw-edit store1", "plain-edit store0", "hw-edit discard"}},
      {1, {"plain-edit closing0", "plain-edit store1"}},
      {2, {"deco-edit closing0", "deco-edit store1"}},
      {3, {}}, {4, {}}, {5, {}}};
  for (const auto& [kind, calls] : pageCalls) {
    SCOPED_TRACE(kind);
    Calls().clear();
    const size_t drafts = InTray(2).size();
    const int closes = owner_->closeRequests;
    Script() = {Send(kCloseRequestMessage)};
    RunKind(kind);
    EXPECT_EQ(Calls(), calls);
    EXPECT_EQ(InTray(2).size(), drafts + (kind < 3 ? 1 : 0));
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    EXPECT_EQ(owner_->closeRequests, closes + 1) << "the close goes on to the main window";
    EXPECT_FALSE(ClosePendingFlag);
    EXPECT_TRUE(boxes_.empty());
  }
}

// A page that cannot give up its content keeps the sheet with the error
// and calls the close off; a store that fails leaves a copy in the Drafts.
TEST_F(MessageSheetTest, CloseRequestNeverDropsTheComposedMessage) {
  LoggingToolPage::veto = true;
  bool stayed = false;
  Script() = {Send(kCloseRequestMessage), [&] {
                stayed = UpSheet() != nullptr;
                LoggingToolPage::veto = false;
              },
              Send(kCloseRequestMessage)};
  RunKind(1);
  EXPECT_TRUE(stayed);
  ASSERT_GE(Calls().size(), 3u);
  EXPECT_EQ(Calls()[2], "plain-edit closing1") << "the page takes its checks back when the close is off";
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], LoadResString(20060).GetString());
  // The stored message is gone under the sheet: the update fails, the copy does not.
  const unsigned long draft = StoreMail(2, QvMessageInterface::kComposed, kReceived);
  bool kept = false;  // the sheet still up after the close request: ended here
  Script() = {[&] { ASSERT_TRUE(RemoveStoredMessage(draft)); }, Send(kCloseRequestMessage), [&] {
                kept = UpSheet() != nullptr;
                if (kept) UpSheet()->EndDialog(IDCANCEL);
              }};
  QvMessageSheet::EditStoredMessage(owner_, work_.trays[2], draft, TRUE, FALSE);
  EXPECT_FALSE(kept) << "the copy is written and the sheet closes";
  const Ids drafts = InTray(2);
  EXPECT_EQ(drafts.size(), 2u) << "the first close's draft and the recovery copy";
}

// Sending again copies only a sent message, with the stored addresses and
// the current account as sender.
TEST_F(MessageSheetTest, SendAgainOnlyForSentMessagesFromTheCurrentAccount) {
  const unsigned long received = StoreMail(0, QvMessageInterface::kReceived, kReceived);
  const unsigned long sent = StoreMail(
      1, 0, "From: old@example.jp\r\nTo: \"山田\" <yamada@example.jp>\r\nSubject: again\r\n\r\nbody\r\n");
  for (const auto& [folder, id, copies] : {std::tuple{0, received, 0u}, std::tuple{1, sent, 1u}}) {
    Script() = {Send(WM_COMMAND, kSendAgainMessageCommand), Send(WM_COMMAND, IDOK)};
    QvMessageSheet::ViewMessage(work_.trays[folder], id);
    ASSERT_EQ(InTray(3).size(), copies);
  }
  Email mail;
  std::string raw;
  ASSERT_TRUE(ReadStoredMessage(InTray(3)[0], &mail, &raw));
  EXPECT_EQ(mail.fromAddress, L"me@example.com");
  ASSERT_EQ(mail.to.size(), 1u);
  EXPECT_EQ(mail.to.front().find(L"yamada@example.jp") != std::wstring::npos, true);
}

// A send the program is busy for is refused with a word, and the message waits.
TEST_F(MessageSheetTest, SendRefusedWhileBusySaysSo) {
  Sender sender;
  SetRunningSender(&sender);
  QvMessageSheet::SendAfterEdit(owner_, {1});
  SetRunningSender(nullptr);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], LoadResString(20243).GetString());
}

// Each sheet keeps its own temporary folder, a nested one of the same kind
// as well, and the folder in force before comes back when it ends.
TEST_F(MessageSheetTest, EverySheetHasItsOwnTemporaryFolder) {
  SetTempFolderName(L"_PV");
  {
    QvMessageSheet outer(owner_, L"_E");
    EXPECT_EQ(GetTempFolderName(), L"_E");
    {
      QvMessageSheet inner(owner_, L"_E");
      EXPECT_EQ(inner.TempFolder(), L"_E2");
      EXPECT_EQ(GetTempFolderName(), L"_E2");
    }
    EXPECT_EQ(GetTempFolderName(), L"_E");
  }
  EXPECT_EQ(GetTempFolderName(), L"_PV");
}

// Attachments come only from the request's own list file, never from a
// fixed name in the temporary folder.
TEST_F(MessageSheetTest, AttachmentsOnlyFromTheRequestsOwnList) {
  CreateDirectoryW(L"\\Temp", nullptr);
  ASSERT_TRUE(CreateDirectoryW(L"\\My Documents", nullptr));
  for (const wchar_t* path : {L"\\My Documents\\a.txt", L"\\Temp\\_tmpQvMailAttachFiles"}) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, "\\My Documents\\a.txt\r\n", 21, &n, nullptr);
    CloseHandle(h);
  }
  std::wstring list;
  ASSERT_EQ(WriteAttachmentList({L"\\My Documents\\a.txt"}, &list), AttachmentListResult::kWritten);
  std::vector<int> counts;
  for (const std::wstring& args : {std::wstring(L"mailto:x@example.jp"), JoinComposeArgs(L"mailto:x@example.jp", list)}) {
    Script() = {[&] { counts.push_back(static_cast<int>(UpSheet()->Record().attachmentPaths.GetSize())); },
                CloseNo()};
    QvMessageSheet::EditMessageFile(owner_, args.c_str(), 0);
  }
  EXPECT_EQ(counts, (std::vector<int>{0, 1}));
  EXPECT_EQ(GetFileAttributesW(list.c_str()), INVALID_FILE_ATTRIBUTES) << "the list is taken once";
}

}  // namespace
}  // namespace qv::test
