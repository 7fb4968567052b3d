// The mail-list screen over an account made through the engine: the
// commands with the screens they open (through the runner table, called
// with the message and the arguments), which commands are on for which row,
// sending, sending again, deleting, moving, the refresh while the folder
// changes under the list, and the screen as it paints.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "app/foundation/Contacts.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/protocol/MailListCommands.h"
#include "app/shell/maillist/MailListRunners.h"
#include "app/shell/maillist/MailListSheets.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "app/shell/maillist/QvMailListDlg.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/gdi/Surface.h"
#include "platform/base/WideText.h"
#include "platform/pim/Pim.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/ProtocolNames.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/app/mailops/MailOpsFixture.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

using Attr = QvMessageInterface::Attributes;
using AccountAttributes = QvAccountInfoInterface::Attributes;

// The screen takes the script's steps while a dialog over it waits.
class Screen : public QvMailListDlg {
 public:
  using QvMailListDlg::QvMailListDlg;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      if (!TakeStep(m_hWnd)) ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    return QvMailListDlg::WindowProc(message, wParam, lParam);
  }
};

struct Mail {
  uint32_t kind = QvMessageInterface::kReceived;
  bool unread = false;
  bool isProtected = false;
  std::string from = "\"差出人\" <from@example.jp>";
  std::string to = "\"山田\" <yamada@example.jp>";
  std::string subject = "件名";
  int day = 1;  // of December 2026, 10:00
  int minute = 0;
  std::string content = "";  // the content headers and body, when not the plain default
};


std::string Base64(const std::string& utf8) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < utf8.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(utf8[i]) << 16;
    if (i + 1 < utf8.size()) n |= static_cast<uint8_t>(utf8[i + 1]) << 8;
    if (i + 2 < utf8.size()) n |= static_cast<uint8_t>(utf8[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < utf8.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < utf8.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

// A header text as an encoded word, so that it reads back as written.
std::string Encoded(const std::string& utf8) { return "=?UTF-8?B?" + Base64(utf8) + "?="; }

// A mail stored through the engine on `storage` (the test's, or a receive
// thread's own), dated 10:00 JST on day `m.day` of December 2026.
unsigned long StoreOn(QvStorageInterface* storage, DWORD folder, const Mail& m) {
  std::unique_ptr<QvFolderInterface> f(storage ? storage->OpenFolder(folder) : nullptr);
  EXPECT_TRUE(f);
  if (!f) return 0;
  Attr a;
  a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kIsProtected |
           QvMessageInterface::kDate | QvMessageInterface::kListFields;
  a.unread = m.unread ? 1 : 0;
  // Decorated mail is decoded whole for the preview, as the receive marks it.
  a.mask |= QvMessageInterface::kIsHtml;
  a.isHtml = m.content.find("text/html") != std::string::npos ? 1 : 0;
  // The list's record, as the receive makes it from the header.
  const auto address = [](const std::string& field) {
    const size_t open = field.find('<');
    return qv::Utf8ToWide(open == std::string::npos ? field : field.substr(open + 1, field.find('>') - open - 1));
  };
  const auto name = [](const std::string& field) {
    const size_t open = field.find('"');
    return qv::Utf8ToWide(open == std::string::npos ? "" : field.substr(open + 1, field.find('"', open + 1) - open - 1));
  };
  a.listText1 = address(m.to.substr(0, m.to.find(',')));
  a.listText2 = address(m.from);
  a.listShort1 = name(m.from).substr(0, 31);
  a.listShort2 = qv::Utf8ToWide(m.subject).substr(0, 31);
  a.date = SYSTEMTIME{2026, 12, 0, static_cast<WORD>(m.day), 1, static_cast<WORD>(m.minute), 0, 0};
  a.listTime = a.date;
  a.isProtected = m.isProtected ? 1 : 0;
  a.kind = m.kind;
  static const char* kWeekdays[] = {"Tue", "Wed", "Thu", "Fri", "Sat", "Sun", "Mon"};
  char date[64];
  std::snprintf(date, sizeof date, "%s, %02d Dec 2026 10:%02d:00 +0900", kWeekdays[(m.day - 1) % 7], m.day, m.minute);
  std::string raw = "From: " + m.from + "\r\n";
  if (!m.to.empty()) raw += "To: " + m.to + "\r\n";
  raw += "Subject: " + Encoded(m.subject) + "\r\nDate: " + date + "\r\nMIME-Version: 1.0\r\n" +
         (m.content.empty() ? "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                              "本文 " + m.subject + "\r\n"
                            : m.content);
  unsigned long id = 0;
  EXPECT_TRUE(f->CreateMessage(&id, a, raw)) << std::hex << GetQvMiddleError();
  return id;
}

class MailListScreenTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    work_ = MakeAccount(L"仕事");
    AccountAttributes record;
    record.strSenderAddress = L"me@example.com";
    record.strSenderName = L"自分";
    record.Select(AccountAttributes::kSenderAddress);
    record.Select(AccountAttributes::kSenderName);
    SetSettings(L"仕事", record);
    ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
    qv::msgbox_seam::SetHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
    qv::msgbox_seam::SetShownHandler([this](HWND box) {
      boxes_.push_back(qv::seams::ReadWindow(::GetDlgItem(box, 0xFFFF)).text);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
    // The preview's control, registered as the program registers it.
    LoadPictureCharLibraries();
    static const HtmlEditTextPainter painter = {FitPictureText, DrawPictureText};
    SetHtmlEditTextPainter(&painter);
    InitializeHtmlEditCtrl(nullptr, 0);
    owner_ = new ScriptFrame;
    ASSERT_TRUE(owner_->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
  }
  void TearDown() override {
    MailListScreenRunners() = MailListRunners{};
    SetRunningSender(nullptr);
    qv::msgbox_seam::Reset();
    if (owner_) owner_->DestroyWindow();
    TerminateHtmlEditCtrl();
    SetHtmlEditTextPainter(nullptr);
    MailOpsTest::TearDown();
  }

  DWORD Tray(int kind) const { return work_.trays[kind]; }

  unsigned long StoreMail(DWORD folder, const Mail& m) { return StoreOn(CurrentStorage(), folder, m); }
  Ids MessagesOf(DWORD folder) {
    Ids ids;
    EXPECT_TRUE(GetMessageIds(folder, &ids));
    return ids;
  }
  static INT_PTR Run(CDialog& dialog, std::vector<std::function<void()>> steps) {
    for (auto& s : steps) Script().push_back(std::move(s));
    return dialog.DoModal();
  }
  // Whether the screen's update handler enables the command now.
  static bool Enabled(CCmdTarget& screen, UINT id) {
    class Probe : public CCmdUI {
     public:
      void Enable(BOOL on) override {
        enabled = on;
        m_bEnableChanged = TRUE;
      }
      BOOL enabled = TRUE;
    } probe;
    probe.m_nID = id;
    probe.DoUpdate(&screen, FALSE);
    return probe.enabled;
  }
  // Answers the program's own three-button box over the screen with its
  // first (1221) or second (1220) button, or closes it.
  static void AnswerDrawnBox(int button) {
    HWND box = ::GetActiveWindow();
    Called("box:" + qv::WideToUtf8(qv::seams::ReadWindow(box).text));
    ::PostMessageW(box, WM_COMMAND, button ? static_cast<WPARAM>(button) : IDCANCEL, 0);
  }

  TestAccount work_;
  ScriptFrame* owner_ = nullptr;
  std::vector<std::wstring> boxes_;
  int answer_ = IDYES;
};

std::string Str(const std::wstring& s) { return qv::WideToUtf8(s); }

// Every command that opens another part's screen calls its runner once,
// with the message and the arguments that the row and the list ask for.
TEST_F(MailListScreenTest, CommandsReachTheirRunnersWithTheMessageAndArguments) {
  MailListRunners& r = MailListScreenRunners();
  r.viewMessage = [](CWnd*, DWORD folder, DWORD id) { Called("view " + std::to_string(folder) + " " + std::to_string(id)); };
  r.replyMessage = [](CWnd*, DWORD id, bool all, bool quote) {
    Called("reply " + std::to_string(id) + " all=" + std::to_string(all) + " quote=" + std::to_string(quote));
  };
  r.forwardMessage = [](CWnd*, DWORD id) { Called("forward " + std::to_string(id)); };
  r.editStoredMessage = [](CWnd*, DWORD id, DWORD folder, bool inDrafts, bool asNew) {
    Called("edit " + std::to_string(id) + " " + std::to_string(folder) + " drafts=" + std::to_string(inDrafts) +
           " new=" + std::to_string(asNew));
  };
  const DWORD received = StoreMail(Tray(kReceiveBox), {});
  const DWORD sent = StoreMail(Tray(kSendBox), {.kind = 0});
  const DWORD draft = StoreMail(Tray(kDrafts), {.kind = 3});
  const DWORD waiting = StoreMail(Tray(kOutbox), {.kind = 3});
  const auto s = [](DWORD v) { return std::to_string(v); };
  struct Case {
    int folderKind;
    UINT command;  // 0: a tap on the row
    std::string want;
  };
  const Case cases[] = {
      {kReceiveBox, kViewMessageCommand, "view " + s(Tray(kReceiveBox)) + " " + s(received)},
      {kReceiveBox, 0, "view " + s(Tray(kReceiveBox)) + " " + s(received)},
      {kReceiveBox, kReplyOrEditCommand, "reply " + s(received) + " all=0 quote=0"},
      {kReceiveBox, kReplyOrEditKeyCommand, "reply " + s(received) + " all=0 quote=0"},
      {kReceiveBox, kReplyQuoteCommand, "reply " + s(received) + " all=0 quote=1"},
      {kReceiveBox, kReplyAllCommand, "reply " + s(received) + " all=1 quote=0"},
      {kReceiveBox, kReplyAllQuoteCommand, "reply " + s(received) + " all=1 quote=1"},
      {kReceiveBox, kForwardCommand, "forward " + s(received)},
      // Answers are off for other mail: the command does not run.
      {kSendBox, kForwardCommand, ""},
      {kDrafts, kReplyAllQuoteCommand, ""},
      {kSendBox, kReplyOrEditCommand, "edit " + s(sent) + " " + s(Tray(kSendBox)) + " drafts=0 new=1"},
      {kSendBox, 0, "view " + s(Tray(kSendBox)) + " " + s(sent)},
      {kDrafts, kReplyOrEditCommand, "edit " + s(draft) + " " + s(Tray(kDrafts)) + " drafts=1 new=0"},
      {kDrafts, 0, "edit " + s(draft) + " " + s(Tray(kDrafts)) + " drafts=1 new=0"},
      {kOutbox, kReplyOrEditCommand, "edit " + s(waiting) + " " + s(Tray(kOutbox)) + " drafts=0 new=0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.folderKind) + "/" + std::to_string(c.command));
    Calls().clear();
    Screen screen(Tray(c.folderKind), owner_);
    Run(screen, {[&] {
      screen.List().SelectMessage(screen.List().GetMessageId(0));
      if (c.command) {
        screen.SendMessage(WM_COMMAND, c.command, 0);
      } else {
        // The stylus on the row.
        RECT row{};
        screen.List().GetItemRect(0, &row, LVIR_BOUNDS);
        POINT at{row.left + 100, row.top + 30};
        ::ClientToScreen(screen.List().m_hWnd, &at);
        qv::seams::InjectPointer(WM_LBUTTONDOWN, at);
        qv::seams::InjectPointer(WM_LBUTTONUP, at);
        Pump();
      }
    }});
    EXPECT_EQ(Calls(), c.want.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.want});
  }
}

// The rule editor gets the addresses bare and the subject; its rule is added.
TEST_F(MailListScreenTest, ARuleFromAMessageStartsFromItsBareAddressesAndIsAdded) {
  StoreMail(Tray(kReceiveBox), {.from = "\"差出人\" <from@example.jp>",
                                .to = "\"山田\" <yamada@example.jp>, b@example.jp",
                                .subject = "会議のお知らせ"});
  RuleSourceTexts seen;
  std::vector<std::wstring> names;
  MailListScreenRunners().editRule = [&](CWnd*, const std::wstring& caption, const RuleSourceTexts& texts,
                                         const std::vector<std::wstring>& existing, QvClassificationRuleRow* rule) {
    Called("rule " + Str(caption));
    seen = texts;
    names = existing;
    rule->name = L"会議";
    rule->field = L"件名";
    rule->keyword = L"会議";
    rule->folderId = work_.receiveChildren[0];
    rule->target = 1;
    return true;
  };
  Screen screen(Tray(kReceiveBox), owner_);
  Run(screen, {[&] { screen.SendMessage(WM_COMMAND, kRuleFromMessageCommand, 0); }});
  EXPECT_EQ(Calls(), std::vector<std::string>{"rule 振り分け設定"});
  EXPECT_EQ(seen.firstList, L"yamada@example.jp, b@example.jp");
  EXPECT_EQ(seen.sender, L"from@example.jp");
  EXPECT_EQ(seen.secondList, L"");
  EXPECT_EQ(seen.subject, L"会議のお知らせ");
  EXPECT_EQ(seen.fifth, L"");
  std::vector<std::wstring> after;
  GetClassificationRuleNames(&after);
  EXPECT_EQ(after.size(), names.size() + 1);
  EXPECT_EQ(after.back(), L"会議");
}

// Which commands the update pass enables for the selected row: send only an
// unsent row of the drafts and the outbox, send again only sent mail, answers
// only received mail; nothing but select-all while marking.
TEST_F(MailListScreenTest, CommandsAreOnOnlyWhereTheyApply) {
  StoreMail(Tray(kReceiveBox), {.unread = true});
  StoreMail(Tray(kSendBox), {.kind = 0});
  StoreMail(Tray(kDrafts), {.kind = 3});
  StoreMail(Tray(kOutbox), {.kind = 3});
  StoreMail(work_.receiveChildren[0], {.kind = 4});
  StoreMail(work_.sendChildren[0], {.kind = 0});
  struct Case {
    int folderKind;
    bool marking;
    std::map<UINT, bool> on;
  };
  const Case cases[] = {
      {kReceiveBox, false, {{kSendSelectedCommand, false}, {kSendAgainCommand, false}, {kReplyAllCommand, true},
                            {kForwardCommand, true}, {kMarkReadCommand, true}, {kMarkUnreadCommand, false},
                            {kMoveSelectedCommand, true}, {kProtectCommand, true}, {kSelectAllCommand, false},
                            {kDeleteAllCommand, true}, {kSortByDateCommand, true}}},
      {kReceiveBox, true, {{kDeleteSelectedCommand, false}, {kSortByDateCommand, false}, {kSelectAllCommand, true},
                           {kMoveAllCommand, false}}},
      {kSendBox, false, {{kSendSelectedCommand, false}, {kSendAgainCommand, true}, {kReplyAllCommand, false},
                         {kMarkReadCommand, false}, {kMoveSelectedCommand, true}}},
      {kDrafts, false, {{kSendSelectedCommand, true}, {kSendAgainCommand, false}, {kMoveSelectedCommand, false},
                        {kReplyOrEditKeyCommand, false}, {kMarkUnreadCommand, false}}},
      {kOutbox, false, {{kSendSelectedCommand, true}, {kSendAgainCommand, false}, {kMoveSelectedCommand, false}}},
      {kReceiveUserFolder, false, {{kSendSelectedCommand, false}, {kSendAgainCommand, false},
                                   {kReplyOrEditKeyCommand, true}, {kMoveSelectedCommand, true}}},
      {kSendUserFolder, false, {{kSendSelectedCommand, false}, {kSendAgainCommand, true}, {kMarkUnreadCommand, false},
                                {kReplyAllCommand, false}, {kMoveSelectedCommand, true}, {kProtectCommand, true}}},
  };
  std::vector<std::string> wrong;
  for (const Case& c : cases) {
    const DWORD folder = c.folderKind == kReceiveUserFolder ? work_.receiveChildren[0]
                         : c.folderKind == kSendUserFolder  ? work_.sendChildren[0]
                                                            : Tray(c.folderKind);
    Screen screen(folder, owner_);
    Run(screen, {[&] {
      screen.List().SelectMessage(screen.List().GetMessageId(0));
      if (c.marking) screen.SendMessage(WM_COMMAND, kMarkToDeleteCommand, 0);
      for (const auto& [id, on] : c.on) {
        if (Enabled(screen, id) != on) {
          wrong.push_back(std::to_string(c.folderKind) + (c.marking ? "m:" : ":") + std::to_string(id));
        }
      }
    }});
  }
  EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

// Send from the drafts asks for a recipient first and moves the draft to
// the outbox before the send; the send box's send does nothing. The send
// itself is refused as busy here (a send already runs), which shows it ran.
TEST_F(MailListScreenTest, SendTakesOnlyUnsentMailAndADraftNeedsARecipient) {
  const DWORD lonely = StoreMail(Tray(kDrafts), {.kind = 3, .to = "", .day = 2});
  const DWORD addressed = StoreMail(Tray(kDrafts), {.kind = 3, .day = 1});
  StoreMail(Tray(kSendBox), {.kind = 0});
  int busy = 0;
  SetRunningSender(reinterpret_cast<Sender*>(&busy));
  {
    Screen screen(Tray(kDrafts), owner_);
    Run(screen, {[&] {
                   screen.List().SelectMessage(lonely);
                   screen.SendMessage(WM_COMMAND, kSendSelectedCommand, 0);
                 },
                 [&] {
                   screen.List().SelectMessage(addressed);
                   screen.SendMessage(WM_COMMAND, kSendSelectedCommand, 0);
                 }});
  }
  ASSERT_EQ(boxes_.size(), 2u) << "the warning, then the refusal of the send";
  EXPECT_EQ(boxes_[0], std::wstring(LoadResString(QvMailListDlg::kStringNoRecipient).GetString()));
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{lonely});
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{addressed});
  boxes_.clear();
  {
    Screen screen(Tray(kSendBox), owner_);
    Run(screen, {[&] { screen.SendMessage(WM_COMMAND, kSendSelectedCommand, 0); }});
  }
  EXPECT_TRUE(boxes_.empty()) << "no send from the send box";
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{addressed});
}

// Send again makes an outbox copy with the addresses as stored (not the
// address book's names the reading view shows) and the account's sender.
TEST_F(MailListScreenTest, SendAgainCopiesTheStoredAddressesWithTheAccountsSender) {
  qv::pim::PimApplication book;
  ASSERT_TRUE(book.Logon());
  qv::pim::Contact c;
  c.lastName = L"山田太郎";
  c.email[0] = L"yamada@example.jp";
  book.Add(c);
  NotifyContactsChanged();
  std::wstring known;
  ASSERT_TRUE(LookupContactName(L"yamada@example.jp", &known)) << "the address book names the recipient";
  const DWORD sent = StoreMail(Tray(kSendBox), {.kind = 0, .from = "\"前の名前\" <old@example.jp>",
                                                .to = "yamada@example.jp", .subject = "再送"});
  const DWORD received = StoreMail(Tray(kReceiveBox), {});
  int busy = 0;
  SetRunningSender(reinterpret_cast<Sender*>(&busy));
  for (DWORD folder : {Tray(kSendBox), Tray(kReceiveBox)}) {
    Screen screen(folder, owner_);
    Run(screen, {[&] { screen.SendMessage(WM_COMMAND, kSendAgainCommand, 0); }});
  }
  const Ids copies = MessagesOf(Tray(kOutbox));
  ASSERT_EQ(copies.size(), 1u) << "a copy of the sent mail only";
  QvMessageRecord copy;
  ASSERT_TRUE(LoadMessageForEdit(copies[0], &copy));
  EXPECT_EQ(Str(std::wstring(copy.from.GetString())), "me@example.com");
  EXPECT_EQ(Str(std::wstring(copy.senderName.GetString())), "自分");
  ASSERT_EQ(copy.toList.GetSize(), 1);
  EXPECT_EQ(Str(std::wstring(copy.toList[0].GetString())), "yamada@example.jp");
  EXPECT_EQ(Str(std::wstring(copy.subject.GetString())), "再送");
  EXPECT_EQ(MessagesOf(Tray(kSendBox)), Ids{sent}) << "the sent mail stays";
  (void)received;
}

// The delete questions: one message (protected or not), all, the marked
// ones; the program's three-button box where the list can protect.
TEST_F(MailListScreenTest, DeleteAsksTheRightQuestionAndRemovesTheChosenMail) {
  struct Case {
    const char* what;
    int folderKind;
    UINT command;
    int marks;      // rows marked in marking mode 1 (then 40102)
    int answer;     // a yes/no box's answer, or the drawn box's button (1221 first, 1220 second, 0 close)
    UINT question;  // the yes/no box's string, 0 for the drawn box
    int left;       // messages left of 4 (1 protected)
  };
  const Case cases[] = {
      {"one, no", kReceiveBox, kDeleteSelectedCommand, 0, IDNO, QvMailListDlg::kStringDeleteOne, 4},
      {"one, yes", kReceiveBox, kDeleteSelectedCommand, 0, IDYES, QvMailListDlg::kStringDeleteOne, 3},
      {"all: every one", kReceiveBox, kDeleteAllCommand, 0, 1221, 0, 0},
      {"all: unprotected", kReceiveBox, kDeleteAllCommand, 0, 1220, 0, 1},
      {"all: closed", kReceiveBox, kDeleteAllCommand, 0, 0, 0, 4},
      {"all in drafts", kDrafts, kDeleteAllCommand, 0, IDYES, QvMailListDlg::kStringDeleteAll, 0},
      {"one marked, protected", kReceiveBox, kFinishMarkingCommand, 1, IDYES, QvMailListDlg::kStringDeleteProtected, 3},
      {"two marked, unprotected", kReceiveBox, kFinishMarkingCommand, 2, 1220, 0, 3},
      {"three marked, all", kReceiveBox, kFinishMarkingCommand, 3, 1221, 0, 1},
      {"two marked in drafts", kDrafts, kFinishMarkingCommand, 2, IDYES, QvMailListDlg::kStringDeleteMarked, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DWORD folder = Tray(c.folderKind);
    const uint32_t kind = c.folderKind == kDrafts ? 3 : 1;
    // The protected one is the newest: row 0, marked first.
    for (const Ids& old : {MessagesOf(folder)}) {
      Ids copy = old;
      RemoveMessages(folder, copy);
    }
    for (int i = 0; i < 4; ++i) StoreMail(folder, {.kind = kind, .isProtected = i == 3 && kind == 1, .day = 1 + i});
    boxes_.clear();
    Calls().clear();
    answer_ = c.answer;
    Screen screen(folder, owner_);
    std::vector<std::function<void()>> steps{[&] {
      screen.List().SelectMessage(screen.List().GetMessageId(c.command == kDeleteSelectedCommand ? 1 : 0));
      if (c.marks) {
        screen.SendMessage(WM_COMMAND, kMarkToDeleteCommand, 0);
        for (int i = 0; i < c.marks; ++i) {
          screen.List().SetItemState(-1, 0, LVIS_SELECTED);
          screen.List().SelectMessage(screen.List().GetMessageId(i));
          screen.SendMessage(WM_COMMAND, kToggleMarksCommand, 0);
        }
      }
      screen.PostMessage(WM_COMMAND, c.command, 0);
    }};
    if (!c.question) steps.push_back([&] { AnswerDrawnBox(c.answer); });
    steps.push_back([] {});
    Run(screen, steps);
    if (c.question) {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0], std::wstring(LoadResString(c.question).GetString()));
    } else {
      ASSERT_EQ(Calls().size(), 1u);
      EXPECT_NE(Calls()[0].find("確認"), std::string::npos) << Calls()[0];
    }
    EXPECT_EQ(MessagesOf(folder).size(), static_cast<size_t>(c.left));
    EXPECT_EQ(screen.GetMarkingMode(), QvMailListDlg::kNotMarking);
  }
}

// Moving asks the move runner: an existing folder, a new one made for the
// move, the list's own folder (nothing moves), or no choice.
TEST_F(MailListScreenTest, MoveGoesWhereTheChoiceSaysAndMakesANewFolderWhenAsked) {
  struct Case {
    const char* what;
    UINT command;
    bool chosen;
    MailMoveTarget target;
    size_t left;        // in the receive box, of 3
    size_t inTarget;    // in the existing target folder
  };
  const DWORD folder = work_.receiveChildren[1];
  const Case cases[] = {
      {"selected to a folder", kMoveSelectedCommand, true, {false, folder, L""}, 2, 1},
      {"all to a folder", kMoveAllCommand, true, {false, folder, L""}, 0, 3},
      {"all to a new folder", kMoveAllCommand, true, {true, Tray(kReceiveBox), L"新規"}, 0, 0},
      {"to its own folder", kMoveAllCommand, true, {false, Tray(kReceiveBox), L""}, 3, 0},
      {"cancelled", kMoveAllCommand, false, {false, folder, L""}, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (DWORD f : {Tray(kReceiveBox), folder}) {
      Ids all = MessagesOf(f);
      RemoveMessages(f, all);
    }
    for (int i = 0; i < 3; ++i) StoreMail(Tray(kReceiveBox), {.day = i + 1});
    std::wstring caption;
    MailListScreenRunners().chooseMoveTarget = [&](CWnd*, const std::wstring& text, DWORD from, MailMoveTarget* t) {
      caption = text;
      EXPECT_EQ(from, Tray(kReceiveBox));
      *t = c.target;
      return c.chosen;
    };
    const int foldersBefore = CountChildFolders(Tray(kReceiveBox));
    Screen screen(Tray(kReceiveBox), owner_);
    Run(screen, {[&] { screen.PostMessage(WM_COMMAND, c.command, 0); }, [] {}});
    EXPECT_EQ(caption, std::wstring(LoadResString(QvMailListDlg::kStringMoveCaption).GetString()));
    EXPECT_EQ(MessagesOf(Tray(kReceiveBox)).size(), c.left);
    EXPECT_EQ(MessagesOf(folder).size(), c.inTarget);
    EXPECT_EQ(CountChildFolders(Tray(kReceiveBox)), foldersBefore + (c.target.newFolder ? 1 : 0));
  }
}

// The folder changes under the open list: a receive thread stores 50 newer
// mails, then another window deletes 10. After each broadcast the rows, the
// title's count and the selected message (by id, though its row moved) are
// right, and the preview shows that message.
TEST_F(MailListScreenTest, AFolderChangingUnderTheListKeepsRowsCountAndSelection) {
  Ids first;
  for (int i = 0; i < 20; ++i) first.push_back(StoreMail(Tray(kReceiveBox), {.subject = "元 " + std::to_string(i), .day = 1}));
  const DWORD chosen = static_cast<DWORD>(first[7]);
  Screen screen(Tray(kReceiveBox), owner_);
  struct Seen {
    int rows, count, selectedRow;
    DWORD selected, previewed;
  };
  std::vector<Seen> seen;
  Ids added;
  const auto look = [&] {
    qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
    Pump();
    QvMailListCtrl& list = screen.List();
    seen.push_back({list.GetRowCount(), screen.TitleBar().GetCount(), list.GetSelectedIndex(),
                    list.GetSelectedMessageId(), screen.Preview().ShownMessage()});
  };
  Run(screen, {[&] {
                 screen.List().SelectMessage(chosen);
                 look();
               },
               [&] {
                 std::thread receive([&] {
                   // The account opened on this thread, as a receive opens it.
                   std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"仕事", L""));
                   std::unique_ptr<QvStorageInterface> storage(info ? info->OpenStorage() : nullptr);
                   for (int i = 0; i < 50; ++i) {
                     added.push_back(StoreOn(storage.get(), Tray(kReceiveBox),
                                             {.unread = true, .subject = "新着 " + std::to_string(i), .day = 2, .minute = i}));
                   }
                   BroadcastFolderRefresh(Tray(kReceiveBox));
                 });
                 receive.join();
                 look();
               },
               [&] {
                 RefreshWindow* other = MakeRefreshWindow(L"other");
                 Ids gone(added.begin(), added.begin() + 5);
                 gone.insert(gone.end(), first.begin(), first.begin() + 5);
                 RemoveMessages(Tray(kReceiveBox), gone);
                 other->DestroyWindow();
                 look();
               }});
  ASSERT_EQ(seen.size(), 3u);
  const int before = seen[0].selectedRow;
  EXPECT_EQ(seen[0].rows, 20);
  EXPECT_EQ(seen[0].count, 20);
  EXPECT_EQ(seen[1].rows, 70);
  EXPECT_EQ(seen[1].count, 70);
  EXPECT_EQ(seen[1].selectedRow, before + 50) << "the 50 newer rows come first";
  EXPECT_EQ(seen[2].rows, 60);
  EXPECT_EQ(seen[2].count, 60);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.selected, chosen);
    EXPECT_EQ(s.previewed, chosen);
  }
}

// A refresh while a window of the screen is up changes the rows only; the
// rest waits for the window to close. A refresh that empties the folder ends
// the screen.
TEST_F(MailListScreenTest, ARefreshWaitsForTheScreensWindowAndAnEmptyFolderEndsTheScreen) {
  const DWORD a = StoreMail(Tray(kReceiveBox), {.day = 1});
  const DWORD b = StoreMail(Tray(kReceiveBox), {.day = 2});
  bool pendingInside = false;
  int rowsInside = 0;
  DWORD previewInside = 0;
  Screen* open = nullptr;
  MailListScreenRunners().viewMessage = [&](CWnd* list, DWORD, DWORD id) {
    list->EnableWindow(FALSE);  // the message window is modal over the list
    Ids gone{id};
    RemoveMessages(Tray(kReceiveBox), gone);
    Pump();
    pendingInside = open->IsRefreshPending();
    rowsInside = open->List().GetRowCount();
    previewInside = open->Preview().ShownMessage();
    list->EnableWindow(TRUE);
  };
  Screen screen(Tray(kReceiveBox), owner_);
  open = &screen;
  int rowsAfter = 0;
  bool pendingAfter = true;
  const INT_PTR end = Run(screen, {[&] {
                                     screen.List().SelectMessage(b);
                                     qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
                                     Pump();
                                     screen.SendMessage(WM_COMMAND, kViewMessageCommand, 0);
                                     rowsAfter = screen.List().GetRowCount();
                                     pendingAfter = screen.IsRefreshPending();
                                   },
                                   [&] {
                                     Ids rest{a};
                                     RemoveMessages(Tray(kReceiveBox), rest);
                                   },
                                   [] {}});
  EXPECT_TRUE(pendingInside);
  EXPECT_EQ(rowsInside, 1) << "the rows follow at once";
  EXPECT_EQ(previewInside, b) << "the preview waits";
  EXPECT_EQ(rowsAfter, 1);
  EXPECT_FALSE(pendingAfter);
  EXPECT_EQ(end, 0) << "emptied: the screen ended itself";
}

// Opening an empty folder says so instead of showing the screen.
TEST_F(MailListScreenTest, AnEmptyFolderIsNotOpened) {
  EXPECT_EQ(OpenMailList(Tray(kDrafts), owner_), 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], std::wstring(LoadResString(QvMailListDlg::kStringEmptyFolder).GetString()));
}

// Quick selection changes load only the last one, 200 ms after it; the
// message window's previous and next go through the list; the splitter's
// place is kept per orientation; Back ends marking first, then the screen.
TEST_F(MailListScreenTest, PreviewNeighboursSplitterAndBack) {
  Ids ids;
  for (int i = 0; i < 4; ++i) ids.push_back(StoreMail(Tray(kReceiveBox), {.subject = "s" + std::to_string(i), .day = 1 + i}));
  Screen screen(Tray(kReceiveBox), owner_);
  int loads = -1;
  DWORD shown = 0, previous = 0, next = 0;
  LRESULT atTop = 1;
  int markingAfterBack = -1;
  Run(screen, {[&] {
                 screen.List().SelectMessage(ids[3]);
                 qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
                 Pump();
                 const int start = screen.Preview().LoadCount();
                 for (int i = 2; i >= 0; --i) {
                   screen.List().SelectMessage(ids[i]);
                   qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs / 2);
                   Pump();
                 }
                 qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
                 Pump();
                 loads = screen.Preview().LoadCount() - start;
                 shown = screen.Preview().ShownMessage();
                 screen.SendMessage(kPreviousMessageMessage, ids[0], reinterpret_cast<LPARAM>(&previous));
                 screen.List().SelectMessage(ids[1]);
                 screen.SendMessage(kNextMessageMessage, ids[1], reinterpret_cast<LPARAM>(&next));
                 screen.List().SelectMessage(ids[3]);
                 DWORD none = 0;
                 atTop = screen.SendMessage(kPreviousMessageMessage, ids[3], reinterpret_cast<LPARAM>(&none));
                 screen.Splitter().Layout({0, 46, 480, 700}, 1, -1, -1, 250, true);
                 screen.SendMessage(kSplitMovedMessage, 0, 0);
                 screen.SendMessage(WM_COMMAND, kMarkToMoveCommand, 0);
                 screen.SendMessage(kBackMessage, 0, 0);
                 Pump();
                 markingAfterBack = screen.GetMarkingMode();
                 screen.SendMessage(kBackMessage, 0, 0);
               }});
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(shown, ids[0]);
  EXPECT_EQ(previous, ids[1]) << "rows run newest first: the row above the oldest";
  EXPECT_EQ(next, ids[0]);
  EXPECT_EQ(atTop, 0);
  int x = 0, y = 0;
  GetMainSplitPos(&x, &y);
  EXPECT_EQ(y, 250);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(markingAfterBack, QvMailListDlg::kNotMarking);
  EXPECT_FALSE(::IsWindow(screen.m_hWnd)) << "the second Back closed the screen";
}

// The screen as it paints, upright and turned: the title with the folder's
// name and count, the rows over the preview in portrait and beside it in
// landscape, bold unread rows, and the marking mode's soft keys. Kept as
// PNGs in the build folder.
TEST_F(MailListScreenTest, TheScreenPaintsItsRowsAndPreviewUprightAndTurned) {
  const std::string pictograph = "\xEE\x98\xBE";  // U+E63E, a web pictograph
  StoreMail(Tray(kReceiveBox), {.unread = true, .subject = "会議の日程について" + pictograph, .day = 5});
  StoreMail(Tray(kReceiveBox), {.isProtected = true, .from = "\"鈴木花子\" <hanako@example.jp>",
                                .subject = "とても長い件名はボックスに収まらないので末尾が省略されるはずです", .day = 4});
  StoreMail(Tray(kReceiveBox), {.from = "\"佐藤\" <sato@example.jp>", .subject = "週報", .day = 3});
  StoreMail(Tray(kReceiveBox), {.unread = true, .subject = "お知らせ", .day = 2});
  const auto png = [](const std::string& name) {
    const char* dir = std::getenv("QV_BINARY_DIR");
    return std::string(dir && *dir ? dir : ".") + "/" + name + ".png";
  };
  Screen screen(Tray(kReceiveBox), owner_);
  RECT list[2]{}, preview[2]{};
  int orientation[2]{-1, -1};
  std::wstring title, previewText;
  Run(screen, {[&] {
                 screen.List().SelectMessage(screen.List().GetMessageId(0));
                 qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
                 Pump();
                 screen.UpdateWindow();
                 title = qv::seams::ReadWindow(screen.m_hWnd).text;
                 CString shown;
                 screen.Preview().GetWindowText(shown);
                 previewText = shown.GetString();
                 ::GetWindowRect(screen.List().m_hWnd, &list[0]);
                 ::GetWindowRect(screen.Preview().m_hWnd, &preview[0]);
                 orientation[0] = screen.Orientation();
                 EXPECT_TRUE(qv::seams::SaveScreenPng(png("mailscreen-portrait")));
                 qv::seams::SetLandscape(true);
                 Pump();
                 ::GetWindowRect(screen.List().m_hWnd, &list[1]);
                 ::GetWindowRect(screen.Preview().m_hWnd, &preview[1]);
                 orientation[1] = screen.Orientation();
                 EXPECT_TRUE(qv::seams::SaveScreenPng(png("mailscreen-landscape")));
                 qv::seams::SetLandscape(false);
                 Pump();
                 screen.SendMessage(WM_COMMAND, kMarkToDeleteCommand, 0);
                 screen.SendMessage(WM_COMMAND, kToggleMarksCommand, 0);
                 Pump();
                 EXPECT_TRUE(qv::seams::SaveScreenPng(png("mailscreen-marking")));
               }});
  EXPECT_EQ(orientation[0], 1);
  EXPECT_EQ(orientation[1], 0);
  EXPECT_LE(list[0].bottom, preview[0].top) << "upright: the preview under the rows";
  EXPECT_LE(list[1].right, preview[1].left) << "turned: the preview beside the rows";
  EXPECT_NE(previewText.find(L"会議の日程について"), std::wstring::npos) << Str(previewText);
  EXPECT_FALSE(title.empty());
  EXPECT_EQ(screen.TitleBar().GetCount(), 4);
}

// The preview is the HTML edit control in reading mode: decorated mail shows
// its HTML with the pictures its "cid:" references name (the screen answers
// the control's question for them), plain mail its text with pictographs
// from the sets. Kept as PNGs.
TEST_F(MailListScreenTest, ThePreviewShowsDecoratedMailWithItsPicturesAndPlainMailWithPictographs) {
  qv::test::Pixels red{60, 40, std::vector<DWORD>(60 * 40, qv::test::kRed)};
  const auto bytes = qv::test::MakePng(red, qv::test::PngKind::Rgb);
  std::string picture = Base64(std::string(bytes.begin(), bytes.end()));
  for (size_t at = 76; at < picture.size(); at += 78) picture.insert(at, "\r\n");
  const auto part = [&](const std::string& id) {
    return "--R\r\nContent-Type: image/png; name=\"" + id.substr(0, 4) + ".png\"\r\nContent-ID: <" + id + ">\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           picture + "\r\n";
  };
  const std::string html = "<div>装飾<b>太字</b></div><img src=\"cid:Pic1@example.jp\"><div>二枚目</div>"
                           "<img src=\"CID:pic2@example.jp\">";
  struct Case {
    const char* png;
    std::string content;
    const wchar_t* text;
    int redPixels, colourPixels;  // at least
  } cases[] = {
      {"mailscreen-preview-decorated", "Content-Type: multipart/related; boundary=\"R\"\r\n\r\n--R\r\nContent-Type: "
       "text/html; charset=UTF-8\r\n\r\n" + html + "\r\n" + part("Pic1@example.jp") + part("pic2@example.jp") + "--R--\r\n",
       L"装飾太字", 2 * 60 * 40, 2 * 60 * 40},
      {"mailscreen-preview-pictographs", "Content-Type: text/plain; charset=UTF-8\r\n\r\n晴れ\xEE\x98\xBE 雨\xEE\x99\x80 \xEE\x80\x81\r\n",
       L"晴れ\uE63E", 0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.png);
    const unsigned long id = StoreMail(Tray(kReceiveBox), {.content = c.content});
    Screen screen(Tray(kReceiveBox), owner_);
    std::wstring text, found[3];
    int redPixels = 0, colourPixels = 0;
    Run(screen, {[&] {
                   screen.List().SelectMessage(id);
                   qv::seams::AdvanceUiClock(QvMailListDlg::kPreviewDelayMs);
                   Pump();
                   screen.UpdateWindow();
                   const qv::seams::WindowState pane = qv::seams::ReadWindow(screen.Preview().m_hWnd);
                   CString shown;
                   screen.Preview().GetWindowText(shown);
                   text = shown.GetString();
                   EXPECT_EQ(pane.className + L" " + std::to_wstring(pane.style & 0x50000800), L"HtmlEditCtrl 1342179328");
                   RECT box{};
                   ::GetWindowRect(screen.Preview().m_hWnd, &box);
                   auto surface = qv::ui::ScreenSurface();
                   for (int y = box.top; y < box.bottom; ++y) {
                     for (int x = box.left; x < box.right; ++x) {
                       const COLORREF p = qv::gdi::ColorOf(surface->Row(y)[x]);
                       redPixels += p == RGB(255, 0, 0);
                       colourPixels += std::max({GetRValue(p), GetGValue(p), GetBValue(p)}) -
                                           std::min({GetRValue(p), GetGValue(p), GetBValue(p)}) > 60;
                     }
                   }
                   const char* dir = std::getenv("QV_BINARY_DIR");
                   EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir && *dir ? dir : ".") + "/" + c.png + ".png"));
                   // The screen's own answer to the control's question (notification 2 from 1070).
                   const wchar_t* asked[] = {L"CID:PIC1@EXAMPLE.JP", L"cid:none@example.jp", L"pic1@example.jp"};
                   for (int i = 0; i < 3; ++i) {
                     wchar_t buffer[HTMLEDIT_MAXPATH + 1] = {};
                     NMHTMLEDIT n{};
                     n.hdr = {screen.Preview().m_hWnd, QvPreviewBodyCtrl::kControlId, HEN_RESOLVE};
                     n.text = asked[i];
                     n.buffer = buffer;
                     n.bufferChars = HTMLEDIT_MAXPATH + 1;
                     EXPECT_EQ(screen.SendMessage(WM_NOTIFY, QvPreviewBodyCtrl::kControlId, reinterpret_cast<LPARAM>(&n)), 0);
                     found[i] = buffer;
                   }
                 }});
    EXPECT_NE(text.find(c.text), std::wstring::npos) << Str(text);
    const QvHtmlFile* first = screen.Preview().Record().inlineFiles.GetAt(0);
    EXPECT_GE(redPixels, c.redPixels) << "both pictures drawn";
    EXPECT_GE(colourPixels, c.colourPixels);
    EXPECT_EQ(found[0], first ? first->GetPath() : L"") << "a content id in any case finds its file";
    EXPECT_EQ(found[0].empty(), c.redPixels == 0);
    EXPECT_EQ(found[1] + found[2], L"") << "no file for an unknown id or a bare name";
  }
}

// The program's own move sheet: the new-folder choice makes the folder under
// the receive box and the message goes there; kept as a picture.
TEST_F(MailListScreenTest, TheMoveSheetMakesTheNewFolderAndMovesTheMailThere) {
  InstallMailListSheets();
  const DWORD moved = StoreMail(Tray(kReceiveBox), {.subject = "移動するメール", .day = 2});
  const DWORD stays = StoreMail(Tray(kReceiveBox), {.day = 1});
  Screen screen(Tray(kReceiveBox), owner_);
  std::wstring caption;
  Run(screen, {[&] {
                 screen.List().SelectMessage(moved);
                 screen.PostMessage(WM_COMMAND, kMoveSelectedCommand, 0);
               },
               [&] {
                 HWND sheet = ::GetActiveWindow();
                 caption = qv::seams::ReadWindow(sheet).text;
                 HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
                 ::SendDlgItemMessageW(page, QvSetTargetFolderPage::kNewChoice, BM_CLICK, 0, 0);
                 ::SetDlgItemTextW(page, QvSetTargetFolderPage::kNameField, L"保管");
                 Pump();
                 const char* dir = std::getenv("QV_BINARY_DIR");
                 EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir && *dir ? dir : ".") + "/mailscreen-move-sheet.png"));
                 ::PostMessageW(page, WM_COMMAND, IDOK, 0);
               },
               [] {}});
  EXPECT_NE(caption.find(L"移動先フォルダ"), std::wstring::npos) << Str(caption);
  std::vector<QvFolderItem> folders;
  ASSERT_TRUE(GetOrderedFolderItems(kReceiveBox, &folders));
  const auto made = std::find_if(folders.begin(), folders.end(), [](const QvFolderItem& f) { return f.name == L"保管"; });
  ASSERT_NE(made, folders.end());
  EXPECT_EQ(MessagesOf(made->folderId), Ids{moved});
  EXPECT_EQ(MessagesOf(Tray(kReceiveBox)), Ids{stays});
}

// The keys: Delete asks to delete, Ctrl+Enter answers, Enter on the list
// opens; in marking mode a tap marks, but not while Ctrl or Shift is held.
TEST_F(MailListScreenTest, KeysAndTapsReachTheirCommands) {
  const DWORD id = StoreMail(Tray(kReceiveBox), {});
  MailListScreenRunners().viewMessage = [](CWnd*, DWORD, DWORD m) { Called("view " + std::to_string(m)); };
  MailListScreenRunners().replyMessage = [](CWnd*, DWORD m, bool, bool) { Called("reply " + std::to_string(m)); };
  answer_ = IDNO;
  Screen screen(Tray(kReceiveBox), owner_);
  std::vector<int> marks;
  const auto tap = [&] {
    NMITEMACTIVATE n{};
    n.hdr = {screen.List().m_hWnd, static_cast<UINT_PTR>(QvMailListDlg::kListId), NM_CLICK};
    screen.SendMessage(WM_NOTIFY, QvMailListDlg::kListId, reinterpret_cast<LPARAM>(&n));
    marks.push_back(screen.List().GetMarkedCount());
  };
  Run(screen, {[&] {
                 screen.List().SetFocus();
                 PressKey(VK_DELETE);
                 RunThroughFilter();
               },
               [&] {
                 qv::seams::InjectKey(VK_CONTROL, true);
                 PressKey(VK_RETURN);
                 qv::seams::InjectKey(VK_CONTROL, false);
                 RunThroughFilter();
               },
               [&] {
                 PressKey(VK_RETURN);
                 RunThroughFilter();
               },
               [&] {
                 screen.SendMessage(WM_COMMAND, kMarkToExportCommand, 0);
                 for (BYTE held : {BYTE(VK_CONTROL), BYTE(VK_SHIFT)}) {
                   qv::seams::InjectKey(held, true);
                   Pump();
                   tap();
                   qv::seams::InjectKey(held, false);
                   Pump();
                 }
                 tap();
                 tap();
               }});
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], std::wstring(LoadResString(QvMailListDlg::kStringDeleteOne).GetString()));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"reply " + std::to_string(id), "view " + std::to_string(id)}));
  EXPECT_EQ(marks, (std::vector<int>{0, 0, 1, 0}));
}

// The sort commands: the same column again reverses it, another starts
// ascending; the state is stored ("SortColm", "SortOpt"); the menu checks the
// current column and names the correspondent as the list kind does.
TEST_F(MailListScreenTest, SortCommandsToggleStoreAndShowTheirState) {
  StoreMail(Tray(kSendBox), {.kind = 0, .day = 1});
  StoreMail(Tray(kSendBox), {.kind = 0, .day = 2});
  class Probe : public CCmdUI {
   public:
    void Enable(BOOL) override { m_bEnableChanged = TRUE; }
    void SetCheck(int c) override { check = c; }
    void SetText(LPCTSTR t) override { text = t; }
    int check = -1;
    std::wstring text;
  };
  const auto probe = [](CCmdTarget& screen, UINT id) {
    Probe p;
    p.m_nID = id;
    p.DoUpdate(&screen, FALSE);
    return p;
  };
  struct Case {
    UINT command;
    int state;  // after it
    UINT checked;
  };
  const Case cases[] = {{kSortByDateCommand, 3, kSortByDateCommand},
                        {kSortByDateCommand, 6, kSortByDateCommand},
                        {kSortBySubjectCommand, 2, kSortBySubjectCommand},
                        {kSortBySubjectCommand, 5, kSortBySubjectCommand},
                        {kSortByCorrespondentCommand, 1, kSortByCorrespondentCommand},
                        {kSortByCorrespondentCommand, 4, kSortByCorrespondentCommand}};
  Screen screen(Tray(kSendBox), owner_);
  std::vector<std::string> wrong;
  std::wstring label;
  DWORD option = 0;
  Run(screen, {[&] {
    for (const Case& c : cases) {
      screen.SendMessage(WM_COMMAND, c.command, 0);
      int stored = 0;
      GetSortColumn(&stored);
      if (screen.List().GetSortState() != c.state || stored != c.state) wrong.push_back("state " + std::to_string(c.state));
      for (UINT id : {kSortByDateCommand, kSortBySubjectCommand, kSortByCorrespondentCommand}) {
        if (probe(screen, id).check != (id == c.checked ? 1 : 0)) wrong.push_back("check " + std::to_string(id));
      }
    }
    label = probe(screen, kSortByCorrespondentCommand).text;
    screen.SendMessage(WM_COMMAND, kUnreadFirstCommand, 0);
    GetSortOption(&option);
    if (probe(screen, kUnreadFirstCommand).check != 1) wrong.push_back("unread first");
  }});
  EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
  EXPECT_EQ(label, std::wstring(LoadResString(20006).GetString())) << "宛先順 in the send box";
  EXPECT_EQ(option & 1u, 1u);
}

}  // namespace
}  // namespace qv::test
