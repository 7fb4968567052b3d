// The reading pages on mail stored through the engine, hosted by their tool
// page: rows by content, links acting only as their scheme allows, "image:"
// kept to the message's folder, plug-ins by full path, the pictures of a
// received decorated mail found by their content ids, "Open in browser"
// writing only what the HTML control keeps, and the header page. The pages
// are kept as view-plain.png, view-html.png and view-header.png in the build folder.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/foundation/MessageBoxes.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvMailListItem.h"
#include "app/mailops/TempFiles.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/message/tools/QvTextViewToolPage.h"
#include "app/message/view/MessagePlugins.h"
#include "app/message/view/QvHtmlViewMessagePage.h"
#include "app/message/view/QvTextViewMessagePage.h"
#include "app/message/view/QvViewHeaderPage.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/framework/CCmdUI.h"
#include "app/foundation/UiRegistry.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/app/mailops/MailOpsFixture.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Base64(const Bytes& bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned v = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                       (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    for (int j = 0; j < 4; ++j) out += i * 4 / 3 + j <= bytes.size() * 4 / 3 ? k[(v >> (18 - 6 * j)) & 63] : '=';
    if (i % 57 == 54) out += "\n";
  }
  return out;
}

// A decorated mail: its picture referred to by a mixed-case content id, a
// script, a remote picture and an active element the control drops.
std::string DecoratedMail() {
  return Crlf(
      "From: Alice <alice@example.jp>\nTo: me@example.com\nSubject: deco\nMIME-Version: 1.0\n"
      "Content-Type: multipart/related; boundary=\"REL\"\n\n--REL\nContent-Type: text/html; charset=us-ascii\n\n"
      "<html><body><p onclick=\"steal()\">hi</p><script>alert(1)</script><img src=\"http://evil.example/x.gif\">"
      "<iframe src=\"http://evil.example/\"></iframe><img src=\"cid:Pic1@Example.JP\"></body></html>\n"
      "--REL\nContent-Type: image/gif; name=\"pic.gif\"\nContent-Transfer-Encoding: base64\n"
      "Content-ID: <Pic1@Example.JP>\n\n" + Base64(MakeGif(Quarters(32, 32))) + "\n--REL--\n");
}

class ViewPages : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    account_ = MakeAccount(L"alpha");
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    RegisterWindow(main_);
    SetTempFolderName(L"_V");
    ASSERT_TRUE(InitializeHtmlEditCtrl(nullptr, 0));
    qv::seams::SetUserInterface(true);
    qv::seams::RecordHandOffs();
    QvViewMessagePage::SetSheetEntries({[](CWnd*, const CString& to, bool) {
      composed().push_back(to.GetString());
      return true;
    }});
  }
  void TearDown() override {
    tools_.reset();
    QvViewMessagePage::SetSheetEntries({});
    SetTempFolderName(L"");
    MailOpsTest::TearDown();
  }
  static std::vector<std::wstring>& composed() {
    static std::vector<std::wstring> list;
    return list;
  }
  unsigned long Store(const std::string& raw, uint32_t kind = QvMessageInterface::kReceived) {
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(Tray()));
    QvMessageInterface::Attributes a;
    // The receive marks a mail with attached files; so does this.
    a.mask = QvMessageInterface::kKind | QvMessageInterface::kHasAttachments;
    a.kind = kind;
    a.hasAttachments = raw.find("Content-Disposition: attachment") != std::string::npos ? 1 : 0;
    unsigned long id = 0;
    EXPECT_TRUE(f && f->CreateMessage(&id, a, raw));
    return id;
  }
  DWORD Tray(int kind = 0) const { return account_.trays[kind]; }
  // A device path's host file (ASCII paths only).
  std::string HostOf(const std::wstring& device) const {
    std::string rel;
    for (wchar_t c : device.substr(1)) rel += c == L'\\' ? '/' : static_cast<char>(c);
    return Host(rel);
  }
  TestAccount account_;
  // The message read as the viewer reads it, in its tool page on the screen.
  QvViewMessagePage* Show(const std::string& raw, int html) {
    record_.Clear();
    EXPECT_TRUE(LoadMessageForView(Store(raw), &record_, Tray()));
    tools_ = std::make_unique<QvTextViewToolPage>(&record_, html);
    EXPECT_TRUE(tools_->Create(137, main_));
    tools_->SetWindowPos(nullptr, 0, 0, 480, 700, SWP_NOZORDER | SWP_SHOWWINDOW);
    qv::seams::PumpMessages();
    return static_cast<QvViewMessagePage*>(tools_->GetMessagePage());
  }
  static bool Visible(QvViewMessagePage* page, QvBaseMessagePage::Row row) {
    return page->Field(row) && page->Field(row)->IsWindowVisible();
  }
  QvMessageRecord record_;
  std::unique_ptr<QvTextViewToolPage> tools_;
};

std::string Plain(const std::string& to, const std::string& cc, const std::string& subject) {
  return Crlf("From: Alice <alice@example.jp>\nTo: " + to + "\n" + (cc.empty() ? "" : "Cc: " + cc + "\n") +
              "Subject: " + subject + "\n\nsee http://example.jp/a and call 03-1234-5678\n");
}

// Rows appear only with content; a To field of many lines is cut to three
// until "show all".
TEST_F(ViewPages, RowsFollowTheMessage) {
  std::string many;
  for (int i = 0; i < 30; ++i) many += (i ? ", " : "") + std::string("person") + std::to_string(i) + "@example.jp";
  const struct {
    std::string raw;
    bool cc, subject, collapsible;
  } cases[] = {
      {Plain("me@example.com", "", ""), false, false, false},
      {Plain("me@example.com", "bob@example.jp", "件名"), true, true, false},
      {Plain(many, "", "many"), false, true, true},
  };
  for (const auto& c : cases) {
    QvViewMessagePage* page = Show(c.raw, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Visible(page, QvBaseMessagePage::kCcRow), c.cc);
    EXPECT_EQ(Visible(page, QvBaseMessagePage::kSubjectRow), c.subject);
    EXPECT_FALSE(Visible(page, QvBaseMessagePage::kBccRow));
    EXPECT_FALSE(Visible(page, QvBaseMessagePage::kAttachRow));
    EXPECT_EQ(page->Collapsible(), c.collapsible ? 1 : 0);
    CRect before, after;
    page->Field(QvBaseMessagePage::kToRow)->GetWindowRect(&before);
    page->SendMessage(WM_COMMAND, 40134, 0);
    page->Field(QvBaseMessagePage::kToRow)->GetWindowRect(&after);
    EXPECT_EQ(after.Height() > before.Height(), c.collapsible) << c.raw;
  }
  ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile("view-plain.png")));

  // A hostile To of 10,000 addresses is shown bounded: 256 of them, cut to three lines.
  std::string crowd;
  for (int i = 0; i < 10000; ++i) crowd += (i ? ", " : "") + std::string("p") + std::to_string(i) + "@example.jp";
  QvViewMessagePage* page = Show(Plain(crowd, "", "crowd"), 0);
  EXPECT_EQ(record_.toList.GetSize(), 256);
  EXPECT_EQ(page->Collapsible(), 1);
}

// Only http(s) opens, and only after the person saw the whole target and
// agreed; mail composes, a number goes to the dialler; nothing else acts.
TEST_F(ViewPages, LinksActOnlyAsTheirSchemeAllows) {
  QvViewMessagePage* page = Show(Plain("me@example.com", "", "links"), 0);
  std::wstring asked;
  int answer = IDNO;
  qv::seams::SetQuestionHandler([&](const std::wstring& text, const std::wstring&) {
    asked = text;
    return answer;
  });
  const struct {
    const wchar_t* target;
    int answer;
    bool question, opened;
    const wchar_t* composedTo;
    const wchar_t* dialled;
  } cases[] = {
      {L"http://example.jp/a?b=c", IDYES, true, true, nullptr, nullptr},
      {L"https://example.jp/", IDNO, true, false, nullptr, nullptr},
      {L"file:///etc/passwd", IDYES, false, false, nullptr, nullptr},
      {L"javascript:alert(1)", IDYES, false, false, nullptr, nullptr},
      {L"\\Windows\\x.exe", IDYES, false, false, nullptr, nullptr},
      {L"http://a.jp/\r\nfile:", IDYES, false, false, nullptr, nullptr},
      {L"mailto:bob@example.jp", IDYES, false, false, L"bob@example.jp", nullptr},
      {L"tel:0312345678", IDYES, false, false, nullptr, L"tel:0312345678"},
  };
  for (const auto& c : cases) {
    asked.clear();
    answer = c.answer;
    composed().clear();
    const size_t handOffs = qv::seams::HandOffs().size();
    WriteText(L"Software\\NORVALE\\KxPhoneLib", L"kxcprog_opt", L"");
    page->ActOnLink(c.target);
    EXPECT_EQ(!asked.empty(), c.question) << c.target;
    if (c.question) {
      EXPECT_NE(asked.find(c.target), std::wstring::npos) << "the whole target is shown";
    }
    EXPECT_EQ(qv::seams::HandOffs().size(), handOffs + (c.opened ? 1 : 0)) << c.target;
    EXPECT_EQ(composed(), c.composedTo ? std::vector<std::wstring>{c.composedTo} : std::vector<std::wstring>{});
    CString dialled;
    ReadRegistryString(L"Software\\NORVALE\\KxPhoneLib", L"kxcprog_opt", dialled);
    EXPECT_EQ(std::wstring(dialled.GetString()), c.dialled ? c.dialled : L"") << c.target;
  }
  qv::seams::SetQuestionHandler(nullptr);
  // "Compose to" on a header field takes the address under its caret.
  composed().clear();
  page->Field(QvBaseMessagePage::kToRow)->SetFocus();
  page->SendMessage(WM_COMMAND, 40098, 0);
  EXPECT_EQ(composed(), std::vector<std::wstring>{L"me@example.com"});
}

// "image:" takes only a file below the message's own folder.
TEST_F(ViewPages, ImageLinksStayInTheMessagesFolder) {
  const std::wstring folder = L"\\Application Data\\QuvoMail\\_TempFiles\\_V";
  const struct {
    const wchar_t* path;
    bool inside;
  } cases[] = {
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V\\00000001_0\\a.jpg", true},
      {L"\\application data\\quvomail\\_tempfiles\\_v\\a.jpg", true},
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V\\..\\..\\x.db", false},
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V/../../x.db", false},
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V2\\a.jpg", false},
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V\\", false},
      {L"\\Application Data\\QuvoMail\\_TempFiles\\_V\\a.jpg:stream", false},
      {L"\\Windows\\passwd", false},
  };
  for (const auto& c : cases) EXPECT_EQ(QvViewMessagePage::IsInsideFolder(c.path, folder), c.inside) << c.path;
  QvViewMessagePage* page = Show(Plain("me@example.com", "", "image"), 0);
  EXPECT_EQ(page->MessageFolder(), folder);
  EXPECT_FALSE(page->SaveImageLink(L"image:\\Windows\\passwd"));
  EXPECT_FALSE(page->SaveImageLink(L"image:" + CString(folder.c_str()) + L"\\..\\System\\x"));
  EXPECT_FALSE(page->SaveImageLink(L"image:" + CString(folder.c_str()) + L"\\missing.jpg"));
}

// Plug-ins come from the plug-in folder by full path and get the page's
// window with the subject, the body and the selection; one that throws is
// skipped and the page goes on.
TEST_F(ViewPages, PluginsRunByFullPath) {
  ASSERT_TRUE(WriteText(L"Software\\Norvale\\QvMail", L"PluginPath", L"\\Plugins\\"));
  std::filesystem::create_directories(Host("Plugins"));
  std::filesystem::copy_file(BuildFile("tests/libQvViewPlugin.so"), Host("Plugins/Echo.dll"));
  const std::string log = Host("plugin.log");
  ::setenv("QV_VIEW_PLUGIN_LOG", log.c_str(), 1);
  // 59 more under other names: the menu shows the first 50.
  for (int i = 0; i < 59; ++i) {
    std::filesystem::copy_file(BuildFile("tests/libQvViewPlugin.so"), Host("Plugins/More" + std::to_string(10 + i) + ".dll"));
  }
  QvViewMessagePage* page = Show(Plain("me@example.com", "", "record"), 0);
  ASSERT_EQ(page->Plugins().size(), 60u);
  EXPECT_EQ(page->Plugins().begin()->first, L"\\Plugins\\Echo.dll") << "map order: the path";
  // The page menu's "その他" lists it under the first plug-in command.
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(173));
  page->CustomizePopupMenu(menu.GetSubMenu(0));
  HMENU popup = menu.GetSubMenu(0)->GetSafeHmenu();
  HMENU other = ::GetSubMenu(popup, ::GetMenuItemCount(popup) - 3);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(::GetMenuItemCount(other), 1 + QvViewMessagePage::kMaxPlugins) << "a separator and 50 plug-ins";
  EXPECT_EQ(::GetMenuItemID(other, 1), QvViewMessagePage::kFirstPluginCommand);
  EXPECT_EQ(::GetMenuItemID(other, QvViewMessagePage::kMaxPlugins), QvViewMessagePage::kFirstPluginCommand + 49);
  page->SendMessage(WM_COMMAND, QvViewMessagePage::kFirstPluginCommand, 0);
  // The 51st plug-in has no command: past the menu's 50 nothing runs.
  page->SendMessage(WM_COMMAND, QvViewMessagePage::kFirstPluginCommand + QvViewMessagePage::kMaxPlugins, 0);
  std::ifstream in(log);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), "1\nrecord\nsee http://example.jp/a and call 03-1234-5678\n\n");
  EXPECT_FALSE(RunMessagePlugin(L"Plugins\\Echo.dll", page->m_hWnd, L"a", L"b", L"")) << "never a bare name";
  EXPECT_FALSE(RunMessagePlugin(L"\\Plugins\\Echo.dll", page->m_hWnd, L"throw", L"b", L""));
  EXPECT_TRUE(RunMessagePlugin(L"\\Plugins\\Echo.dll", page->m_hWnd, L"again", L"b", L""));
  ::unsetenv("QV_VIEW_PLUGIN_LOG");
}

// A received decorated mail shows its pictures: the references of its text
// find the parts, before and after a round trip through the drafts.
TEST_F(ViewPages, DecoratedMailFindsItsPictures) {
  auto* page = static_cast<QvHtmlViewMessagePage*>(Show(DecoratedMail(), 1));
  ASSERT_EQ(record_.inlineFiles.GetCount(), 1u);
  wchar_t path[HTMLEDIT_MAXPATH + 1] = {};
  for (const wchar_t* source : {L"cid:Pic1@Example.JP", L"CID:pic1@example.jp"}) {
    ASSERT_TRUE(page->ResolveInlineSource(source, path, HTMLEDIT_MAXPATH + 1)) << source;
    EXPECT_EQ(std::wstring(path), record_.inlineFiles.GetAt(0)->GetPath());
    EXPECT_NE(::GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_FALSE(page->ResolveInlineSource(L"Pic1@Example.JP", path, HTMLEDIT_MAXPATH + 1)) << "only cid: names a part";
  // A dropped part's index from the control is checked before it is used.
  record_.attachmentPaths.Add(L"\\x.bin");
  page->SendMessage(HEN_PARTDROPPED, 1000, 0);
  page->SendMessage(HEN_PARTDROPPED, static_cast<WPARAM>(-1), 0);
  page->SendMessage(HEN_PARTSCHANGED, 0, 0);
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 1);
  page->SendMessage(HEN_PARTDROPPED, 0, 0);
  page->SendMessage(HEN_PARTSCHANGED, 0, 0);
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 0);
  ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile("view-html.png")));

  // Stored as a draft and read back, the picture is found again.
  record_.notFromStore = 1;
  ASSERT_TRUE(SaveNewMessage(2, &record_));
  QvMessageRecord again;
  ASSERT_TRUE(LoadMessageForView(record_.messageId, &again, Tray(2)));
  ASSERT_EQ(again.inlineFiles.GetCount(), 1u);
  EXPECT_EQ(again.inlineFiles.GetAt(0)->GetContentId(), L"cid:pic1@example.jp");
}

// "Open in browser" writes what the control keeps: no script, no active
// element, no remote source; the picture beside the page under its name.
TEST_F(ViewPages, OpenInBrowserWritesTheSanitisedSubset) {
  auto* page = static_cast<QvHtmlViewMessagePage*>(Show(DecoratedMail(), 1));
  std::wstring written;
  ASSERT_TRUE(page->OpenInBrowser(&written));
  const std::string html = ReadHostFile(HostOf(written));
  for (const char* refused : {"script", "alert", "onclick", "evil.example", "iframe", "cid:"}) {
    EXPECT_EQ(html.find(refused), std::string::npos) << refused << " in " << html;
  }
  EXPECT_NE(html.find("src=\"pic.gif\""), std::string::npos) << html;
  EXPECT_TRUE(HostExists("Application Data/QuvoMail/_TempFiles/_Browser/pic.gif"));
  const auto handOffs = qv::seams::HandOffs();
  ASSERT_FALSE(handOffs.empty());
  EXPECT_EQ(handOffs.back().target, written);
}

// The header page shows the stored header text.
TEST_F(ViewPages, HeaderPageShowsTheHeader) {
  const unsigned long id = Store(Plain("me@example.com", "", "header"));
  QvViewHeaderPage header(id);
  ASSERT_TRUE(header.Create(QvViewHeaderPage::kTemplate, main_));
  header.SetWindowPos(nullptr, 0, 0, 480, 700, SWP_NOZORDER | SWP_SHOWWINDOW);
  CString text;
  header.Text().GetWindowText(text);
  EXPECT_NE(std::wstring(text.GetString()).find(L"Subject: header"), std::wstring::npos) << text.GetString();
  CRect r, client;
  header.Text().GetWindowRect(&r);
  header.ScreenToClient(&r);
  header.GetClientRect(&client);
  EXPECT_EQ(r, CRect(20, 20, client.right - 20, client.bottom - 20));
  header.Text().SetFocus();
  header.OnSetActive();
  int start = -1, end = -1;
  header.Text().GetSel(start, end);
  EXPECT_EQ(start, 0) << "activation clears the selection";
  EXPECT_EQ(end, 0);
  qv::seams::PumpMessages();
  ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile("view-header.png")));
}


// Removing a stored mail's attachments asks first, then shows the mail again
// without them; the attachment row goes with them.
TEST_F(ViewPages, RemovingAttachmentsShowsTheMailAgain) {
  const std::string raw = Crlf(
      "From: alice@example.jp\nTo: me@example.com\nSubject: parts\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"MIX\"\n\n--MIX\nContent-Type: text/plain\n\nsee attached\n"
      "--MIX\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Disposition: attachment; filename=\"a.pdf\"\n"
      "Content-Transfer-Encoding: base64\n\nQUJD\n--MIX--\n");
  QvViewMessagePage* page = Show(raw, 0);
  ASSERT_TRUE(Visible(page, QvBaseMessagePage::kAttachRow));
  auto* list = static_cast<QvAttachedFileListCtrl*>(page->Field(QvBaseMessagePage::kAttachRow));
  EXPECT_EQ(list->GetPathCount(), 1);
  int answer = IDNO;
  qv::seams::SetQuestionHandler([&](const std::wstring&, const std::wstring&) { return answer; });
  for (int a : {IDNO, IDYES}) {
    answer = a;
    page->SendMessage(WM_COMMAND, 40154, 0);
    qv::seams::PumpMessages();
    EXPECT_EQ(record_.attachmentPaths.GetSize(), a == IDYES ? 0 : 1);
    EXPECT_EQ(Visible(page, QvBaseMessagePage::kAttachRow), a == IDNO);
  }
  EXPECT_EQ(std::wstring(record_.body.GetString()).find(L"see attached"), 0u) << "the mail itself is shown again";
  qv::seams::SetQuestionHandler(nullptr);
}

// The window above the tool page, as the sheet stands there: it keeps the
// messages its page sends and posts it.
class RecordingSheet : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND || message == kStepMessageRequest) got.push_back({message, wParam});
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<std::pair<UINT, WPARAM>> got;
};

// What the page sends on to its sheet, and what it does to the stored
// message first: a message-sequence table.
// Send again is offered only for a message that went out.
TEST_F(ViewPages, SendAgainOnlyForSentMail) {
  for (const uint32_t kind : {QvMailListItem::kSent, QvMailListItem::kReceived, QvMailListItem::kImported}) {
    record_.Clear();
    ASSERT_TRUE(LoadMessageForView(Store(Plain("me@example.com", "", "again"), kind), &record_, Tray()));
    QvTextViewToolPage tools(&record_, 0);
    ASSERT_TRUE(tools.Create(137, main_));
    struct Probe : CCmdUI {
      BOOL enabled = -1;
      void Enable(BOOL on) override { enabled = on; }
    } probe;
    probe.m_nID = 40214;
    probe.DoUpdate(tools.GetMessagePage(), FALSE);
    EXPECT_EQ(probe.enabled, kind == QvMailListItem::kSent ? TRUE : FALSE) << kind;
    tools.DestroyWindow();
  }
}

TEST_F(ViewPages, CommandsReachTheSheetAndTheStore) {
  RecordingSheet sheet;
  ASSERT_TRUE(sheet.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr));
  record_.Clear();
  const unsigned long id = Store(Plain("me@example.com", "", "commands"));
  ASSERT_TRUE(LoadMessageForView(id, &record_, Tray()));
  QvTextViewToolPage tools(&record_, 0);
  ASSERT_TRUE(tools.Create(137, &sheet));
  auto* page = static_cast<QvViewMessagePage*>(tools.GetMessagePage());
  std::wstring asked;
  qv::seams::SetQuestionHandler([&](const std::wstring& text, const std::wstring&) {
    asked = text;
    return IDYES;
  });
  const struct {
    const char* what;
    UINT message;
    WPARAM wParam;
    std::vector<std::pair<UINT, WPARAM>> sheetGets;
  } cases[] = {
      {"reply", WM_COMMAND, 2562, {{WM_COMMAND, 2562}}},
      {"forward", WM_COMMAND, 2539, {{WM_COMMAND, 2539}}},
      {"send again, greyed for a received message", WM_COMMAND, 40214, {}},
      {"previous message", kStepMessageRequest, 1, {{kStepMessageRequest, 1}}},
      {"Back", kBackMessage, 0, {{WM_COMMAND, IDCANCEL}}},
      {"protect", WM_COMMAND, 40115, {}},
      {"delete the protected message", WM_COMMAND, 2528, {{kStepMessageRequest, 0}}},
  };
  for (const auto& c : cases) {
    sheet.got.clear();
    page->SendMessage(c.message, c.wParam, 0);
    qv::seams::PumpMessages();
    EXPECT_EQ(sheet.got, c.sheetGets) << c.what;
  }
  EXPECT_EQ(asked, LoadResString(20043).GetString()) << "a protected message asks its own question";
  uint32_t word = 0, kind = 0;
  EXPECT_FALSE(GetMessageStatus(id, Tray(), &word, &kind)) << "the message is gone";
  qv::seams::SetQuestionHandler(nullptr);
  tools.DestroyWindow();
  sheet.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
