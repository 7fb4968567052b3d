// The compose pages through the compose tool page that makes them from the
// record's flag: the limits applied before the record shows, the address
// checks and what a close request does to them, attachments added and
// removed by the limits, the address chooser's sources (contacts and both
// histories), Back on an empty page, the quote cut at the body's limit, and
// the decorated page's picture and size checks, the face-mark pad over the
// page. The pages are kept as compose-plain.png, compose-decorated.png and
// compose-facemarks.png in the build folder.
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/Contacts.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/message/address/QvAddressView.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/message/edit/QvDecoEditMessagePage.h"
#include "app/message/edit/QvEditMessagePage.h"
#include "app/message/pads/CInputPad.h"
#include "app/message/pads/TemplateFile.h"
#include "app/message/richedit/QvHtmlBodyCtrl.h"
#include "app/message/tools/QvToolPage.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/base/WideText.h"
#include "platform/framework/CCmdUI.h"
#include "platform/pkg/RegistryString.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

using Row = QvBaseMessagePage::Row;

class EditPages : public ProgramFrameTest {
 protected:
  void SetUp() override {
    ProgramFrameTest::SetUp();
    ASSERT_TRUE(InitializeHtmlEditCtrl(nullptr, 0));
  }
  void TearDown() override {
    if (tools_ && tools_->m_hWnd) tools_->DestroyWindow();
    tools_.reset();
    QvEditMessagePage::SetAttachmentChooser(nullptr);
    SetContactsHooks({});
    CloseRequestSeenFlag = false;
    TerminateHtmlEditCtrl();
    ProgramFrameTest::TearDown();
  }
  // The compose tool page of the record where the sheet puts it; its page.
  QvEditMessagePage* Open(int decorated) {
    if (tools_ && tools_->m_hWnd) tools_->DestroyWindow();
    tools_ = std::make_unique<QvEditToolPage>(&record_, decorated);
    EXPECT_TRUE(tools_->Create(137, frame_));
    tools_->SetWindowPos(nullptr, 0, 52, 480, 696, SWP_NOZORDER | SWP_SHOWWINDOW);
    qv::seams::PumpMessages();
    return dynamic_cast<QvEditMessagePage*>(tools_->GetMessagePage());
  }
  // Device files of `bytes` bytes, \f0 ... \f<n-1>.
  std::vector<std::wstring> Files(int n, size_t bytes, const std::string& prefix = "f") {
    std::vector<std::wstring> out;
    for (int i = 0; i < n; ++i) {
      WriteHost(prefix + std::to_string(i) + ".txt", std::string(bytes, 'x'));
      out.push_back(L"\\" + std::wstring(prefix.begin(), prefix.end()) + std::to_wstring(i) + L".txt");
    }
    return out;
  }
  static void SetText(QvEditMessagePage* page, Row row, const std::wstring& text) {
    page->Field(row)->SetWindowText(text.c_str());
  }

  QvMessageRecord record_;
  std::unique_ptr<QvEditToolPage> tools_;
};

std::wstring Addresses(int n) {
  std::wstring out;
  for (int i = 0; i < n; ++i) out += (i ? L", a" : L"a") + std::to_wstring(i) + L"@example.jp";
  return out;
}

// The tool page makes the page of the flag; before the record shows, its
// subject loses pictographs and breaks and is cut to 128, each address list
// to 64 entries, the attachments to 64 and the body to the page's limit.
TEST_F(EditPages, ToolPageMakesThePageOfTheFlagAndTheRecordFitsItsLimits) {
  struct Case {
    int decorated;
    int bodyLimit;
  } cases[] = {{0, 29900}, {1, 10240}};
  for (const Case& c : cases) {
    record_.Clear();
    record_.subject = (L"件名\r\n二行目\xE0CC" + std::wstring(200, L'あ')).c_str();
    for (int i = 0; i < 70; ++i) {
      record_.toList.Add((L"a" + std::to_wstring(i) + L"\xE000@example.jp").c_str());
      record_.attachmentPaths.Add((L"\\a" + std::to_wstring(i) + L".txt").c_str());
    }
    record_.body = std::wstring(30000, L'本').c_str();
    QvEditMessagePage* page = Open(c.decorated);
    ASSERT_NE(page, nullptr) << c.decorated;
    EXPECT_EQ(tools_->PageCreated(), 1);
    EXPECT_EQ(dynamic_cast<QvDecoEditMessagePage*>(page) != nullptr, c.decorated == 1);
    EXPECT_EQ(page->BodyLimit(), c.bodyLimit);
    EXPECT_EQ(std::wstring(record_.subject.Left(8)), L"件名二行目あああ");
    EXPECT_EQ(record_.subject.GetLength(), 128);
    ASSERT_EQ(record_.toList.GetSize(), 64);
    EXPECT_EQ(std::wstring(record_.toList[63]), L"a63@example.jp");
    EXPECT_EQ(record_.attachmentPaths.GetSize(), 64);
    EXPECT_EQ(record_.body.GetLength(), c.bodyLimit);
    EXPECT_EQ(page->AddressField(QvBaseMessagePage::kToRow)->GetAddressCount(), 64);
    EXPECT_FALSE(page->Field(QvBaseMessagePage::kDateRow)->IsWindowVisible());
    EXPECT_FALSE(page->Field(QvBaseMessagePage::kFromRow)->IsWindowEnabled());
  }
}

// A failed check names its fault and vetoes storing, the record unchanged;
// during a close request the checks are off, so what was typed is kept, and
// a close request that ends without closing gives them back.
TEST_F(EditPages, AddressChecksVetoUntilACloseRequestTurnsThemOff) {
  record_.toList.Add(L"before@example.jp");
  QvEditMessagePage* page = Open(0);
  ASSERT_NE(page, nullptr);
  struct Case {
    std::wstring to;
    UINT text;
    std::wstring message;
  } cases[] = {
      {L"a@example.jp, 山田<b@example.jp>", 0, L""},
      {L"", 0, L""},
      {L"山田 <a@example.jp", QvEditMessagePage::kBadBracketsText, L"メールアドレスの「<」「>」の対応が正しくありません。"},
      {L"<a@example.jp> x", QvEditMessagePage::kBadAddressText, L"メールアドレスを正しく入力してください。"},
      {Addresses(64), 0, L""},
      {Addresses(65), QvEditMessagePage::kTooManyAddressesText, L"送信先は64件までです。"},
  };
  for (const Case& c : cases) {
    record_.toList.RemoveAll();
    record_.toList.Add(L"before@example.jp");
    SetText(page, QvBaseMessagePage::kToRow, c.to);
    const QvEditMessagePage::AddressCheck check = page->CheckAddressField(QvBaseMessagePage::kToRow);
    EXPECT_EQ(check.text, c.text) << c.to.substr(0, 40);
    EXPECT_EQ(std::wstring(check.message), c.message) << c.to.substr(0, 40);
    EXPECT_EQ(tools_->StorePage(1), c.text == 0) << c.to.substr(0, 40);
    EXPECT_EQ(record_.toList.GetSize() == 1 && record_.toList[0] == L"before@example.jp", c.text != 0)
        << "a veto leaves the record as it was: " << c.to.substr(0, 40);
  }
  // The close request: checks off, the bad field reaches the record.
  SetText(page, QvBaseMessagePage::kToRow, L"山田 <a@example.jp");
  SetText(page, QvBaseMessagePage::kSubjectRow, L"一行目\r\n二行目");
  CloseRequestSeenFlag = true;
  tools_->OnSheetClosing(0, 0);
  EXPECT_TRUE(tools_->StorePage(1));
  ASSERT_EQ(record_.toList.GetSize(), 1);
  EXPECT_EQ(std::wstring(record_.toList[0]), L"山田 <a@example.jp");
  EXPECT_EQ(std::wstring(record_.subject), L"一行目 二行目") << "a break is stored as a blank";
  // It ended without closing: the checks are back.
  tools_->OnSheetClosing(1, 0);
  EXPECT_FALSE(CloseRequestSeenFlag);
  EXPECT_FALSE(tools_->StorePage(1));
}

// Attachments: the chooser is offered only the room left; unreadable files
// and totals over the account's 3 MB add nothing; a selected one is removed.
TEST_F(EditPages, AttachmentsAreAddedAndRemovedByTheLimits) {
  for (const std::wstring& f : Files(62, 16)) record_.attachmentPaths.Add(f.c_str());
  QvEditMessagePage* page = Open(0);
  ASSERT_NE(page, nullptr);
  QvAttachedFileListCtrl* list = page->AttachmentList();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetPathCount(), 62);
  static std::vector<std::wstring> offered;
  static int limitSeen;
  QvEditMessagePage::SetAttachmentChooser([](HWND, std::vector<std::wstring>* files, int limit) {
    limitSeen = limit;
    *files = offered;
    return true;
  });
  const std::vector<std::wstring> more = Files(5, 16, "g");
  const std::vector<std::wstring> big = Files(2, 1600 * 1024, "big");
  struct Case {
    const char* what;
    int listedBefore;  // the list is cut to this many first
    std::vector<std::wstring> chosen;
    int limit;
    int listedAfter;
  } cases[] = {
      {"62 listed: at most 2 more", 62, more, 2, 64},
      {"64 listed: no chooser", 64, more, -1, 64},
      {"an unreadable file adds nothing", 2, {more[0], L"\\missing.txt"}, 62, 2},
      {"a file already listed is skipped", 2, {record_.attachmentPaths[0].GetString(), more[1]}, 62, 3},
      {"over 3 MB adds nothing", 3, big, 61, 3},
      {"within 3 MB", 3, {big[0]}, 61, 4},
  };
  for (Case& c : cases) {
    while (list->GetPathCount() > c.listedBefore) list->RemoveItem(list->GetPathCount() - 1);
    offered = c.chosen;
    limitSeen = -1;
    page->SendMessage(WM_COMMAND, QvEditMessagePage::kAddAttachment);
    EXPECT_EQ(limitSeen, c.limit) << c.what;
    EXPECT_EQ(list->GetPathCount(), c.listedAfter) << c.what;
  }
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 4);
  list->SetFocus();
  list->SelectItem(3);
  page->SendMessage(WM_COMMAND, QvEditMessagePage::kRemoveAttachment);
  EXPECT_EQ(list->GetPathCount(), 3);
  EXPECT_EQ(record_.attachmentPaths.GetSize(), 3);
  EXPECT_FALSE(list->Contains(big[0].c_str()));
}

// The address commands: the contacts and both histories append to the
// focused address field; a full field asks nothing.
TEST_F(EditPages, AddressChooserOffersTheHistories) {
  QvEditMessagePage* page = Open(0);
  ASSERT_NE(page, nullptr);
  static std::vector<int> modes;
  modes.clear();
  ContactsHooks hooks;
  hooks.chooseHistory = [](HWND, int mode, std::wstring* name, std::wstring* address) {
    modes.push_back(mode);
    *name = mode == 0 ? L"受信者" : L"送信者";
    *address = mode == 0 ? L"recv@example.jp" : L"sent@example.jp";
    return 1;
  };
  SetContactsHooks(hooks);
  struct Case {
    Row row;
    UINT command;
    std::wstring before;
    std::vector<int> modes;
    std::wstring after;
  } cases[] = {
      {QvBaseMessagePage::kToRow, QvEditMessagePage::kChooseReceived, L"", {0}, L"\"受信者\"<recv@example.jp>"},
      {QvBaseMessagePage::kCcRow, QvEditMessagePage::kChooseSent, L"x@example.jp", {1},
       L"x@example.jp, \"送信者\"<sent@example.jp>"},
      {QvBaseMessagePage::kBccRow, QvEditMessagePage::kChooseSent, Addresses(64), {}, Addresses(64)},
  };
  for (const Case& c : cases) {
    modes.clear();
    SetText(page, c.row, c.before);
    page->Field(c.row)->SetFocus();
    page->SendMessage(WM_COMMAND, c.command);
    EXPECT_EQ(modes, c.modes) << c.command;
    CString text;
    page->Field(c.row)->GetWindowText(text);
    EXPECT_EQ(std::wstring(text).substr(0, 200), c.after.substr(0, 200)) << c.command;
  }
}

// Back closes only an entirely empty page (not a picture mail with a drawing).
TEST_F(EditPages, BackClosesOnlyAnEmptyPage) {
  struct Case {
    const char* what;
    std::function<void(QvEditMessagePage*)> fill;
    LRESULT closes;
  } cases[] = {
      {"empty", [](QvEditMessagePage*) {}, 1},
      {"To", [](QvEditMessagePage* p) { SetText(p, QvBaseMessagePage::kToRow, L"a@example.jp"); }, 0},
      {"Bcc", [](QvEditMessagePage* p) { SetText(p, QvBaseMessagePage::kBccRow, L"a@example.jp"); }, 0},
      {"subject", [](QvEditMessagePage* p) { SetText(p, QvBaseMessagePage::kSubjectRow, L"件名"); }, 0},
      {"body", [](QvEditMessagePage* p) { p->Body()->SetWindowText(L"本文"); }, 0},
      {"attachment", [this](QvEditMessagePage* p) { p->AttachmentList()->AddFile(Files(1, 4)[0].c_str(), 0, true); },
       0},
      {"drawing", [this](QvEditMessagePage*) { record_.isPictureMail = 1, record_.hasDrawing = 1; }, 0},
  };
  for (const Case& c : cases) {
    record_.Clear();
    for (int decorated : {0, 1}) {
      QvEditMessagePage* page = Open(decorated);
      ASSERT_NE(page, nullptr);
      c.fill(page);
      EXPECT_EQ(page->SendMessage(kBackMessage), c.closes) << c.what << " decorated " << decorated;
    }
  }
}

// The selection mode of the body: on, anchored, off; the editing commands
// wait while it runs.
TEST_F(EditPages, SelectionModeStepsAndHoldsTheEditingCommands) {
  QvEditMessagePage* page = Open(0);
  ASSERT_NE(page, nullptr);
  page->Body()->SetWindowText(L"本文");
  page->Body()->SetFocus();
  struct Step {
    bool selecting;
    BOOL addEnabled;
  } steps[] = {{true, FALSE}, {true, FALSE}, {false, TRUE}};
  for (const Step& s : steps) {
    page->SendMessage(WM_COMMAND, QvEditMessagePage::kSelectArea);
    // The soft keys change with the mode; the body keeps the focus.
    EXPECT_EQ(::GetFocus(), page->Body()->m_hWnd);
    EXPECT_EQ(page->IsSelecting(), s.selecting);
    struct Probe : CCmdUI {
      BOOL enabled = -1;
      void Enable(BOOL on) override { enabled = on; }
    } probe;
    probe.m_nID = QvEditMessagePage::kAddAttachment;
    probe.DoUpdate(page, FALSE);
    EXPECT_EQ(probe.enabled, s.addEnabled) << s.selecting;
  }
}

// The quote goes after the body; beyond the limit it is cut.
TEST_F(EditPages, QuoteIsCutAtTheBodyLimit) {
  struct Case {
    int body, quote, expected;
  } cases[] = {{10, 20, 34}, {29000, 2000, 29900}};
  for (const Case& c : cases) {
    record_.Clear();
    record_.isReply = 1;
    record_.body = std::wstring(c.body, L'b').c_str();
    record_.quotedBody = std::wstring(c.quote, L'q').c_str();
    QvEditMessagePage* page = Open(0);
    ASSERT_NE(page, nullptr);
    page->SendMessage(WM_COMMAND, QvEditMessagePage::kInsertQuote);
    EXPECT_EQ(page->BodyText().GetLength(), c.expected) << c.body;
    EXPECT_EQ(page->BodyText().Mid(c.body, 4), CString(L"\r\n\r\n")) << c.body;
  }
}

// Pictures put into the decorated body: the first one beyond the per-image
// rule asks; No refuses it and those after it beyond the rule, Yes lets them
// in up to the account's total.
TEST_F(EditPages, DecoratedPageChecksEachPictureAndTheMailSize) {
  struct Step {
    DWORD size;
    int answer;  // the question's answer, 0: no question expected
    bool taken;
    int state;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"within the rule", {{50000, 0, true, 0}, {50000, 0, true, 0}}},
      {"refused", {{150000, IDNO, false, 1}, {150000, 0, false, 1}, {1000, 0, true, 1}}},
      {"allowed", {{150000, IDYES, true, 2}, {2000000, 0, true, 2}, {4000000, 0, false, 2}}},
  };
  for (const Case& c : cases) {
    record_.Clear();
    auto* page = dynamic_cast<QvDecoEditMessagePage*>(Open(1));
    ASSERT_NE(page, nullptr);
    for (const Step& s : c.steps) {
      const int asked = qv::seams::QuestionCount();
      qv::seams::SetQuestionAnswer(s.answer ? s.answer : IDNO);
      EXPECT_EQ(page->CheckImageInsert(s.size), s.taken) << c.what << " " << s.size;
      EXPECT_EQ(qv::seams::QuestionCount() - asked, s.answer ? 1 : 0) << c.what << " " << s.size;
      EXPECT_EQ(page->ImageCheckState(), s.state) << c.what << " " << s.size;
    }
  }
  // The HTML over 10240 bytes vetoes the store, except while a close request
  // runs; a close request that ended without closing checks again.
  record_.Clear();
  record_.htmlText = (L"<p>" + std::wstring(11000, L'a') + L"</p>").c_str();
  Open(1);
  EXPECT_FALSE(tools_->StorePage(1));
  CloseRequestSeenFlag = true;
  tools_->OnSheetClosing(0, 0);
  EXPECT_TRUE(tools_->StorePage(1));
  tools_->OnSheetClosing(1, 0);
  EXPECT_FALSE(tools_->StorePage(1));
  // The decoration bar toggles the palette only while the body has the
  // focus; a header field taking the focus closes it.
  QvEditMessagePage* page = static_cast<QvEditMessagePage*>(tools_->GetMessagePage());
  auto clickBar = [this] { tools_->SendMessage(WM_COMMAND, MAKEWPARAM(QvTextToolPage::kStateBarId, STN_CLICKED)); };
  struct BarStep {
    const char* what;
    std::function<void()> act;
    bool open;
  } barSteps[] = {
      {"bar, subject focused", [&] { page->Field(QvBaseMessagePage::kSubjectRow)->SetFocus(), clickBar(); }, false},
      {"bar, body focused", [&] { page->Body()->SetFocus(), clickBar(); }, true},
      {"bar again", [&] { clickBar(); }, false},
      {"bar after the body", [&] { page->Body()->SetFocus(), clickBar(); }, true},
      {"To takes the focus", [&] { page->Field(QvBaseMessagePage::kToRow)->SetFocus(); }, false},
  };
  for (const BarStep& s : barSteps) {
    s.act();
    EXPECT_EQ(tools_->IsPaletteOpen(), s.open) << s.what;
  }
}

// A decorated draft shows its inline picture and keeps it when stored; a
// picture the text no longer names is dropped.
TEST_F(EditPages, DecoratedDraftShowsAndKeepsItsPictures) {
  Pixels red{60, 40, std::vector<DWORD>(60 * 40, kRed)};
  const Bytes gif = MakeGif(red);
  WriteHost("pic.gif", std::string(gif.begin(), gif.end()));
  WriteHost("gone.gif", std::string(gif.begin(), gif.end()));
  record_.htmlText = L"<html><body><p>本文</p><img src=\"cid:abc@example.jp\"></body></html>";
  record_.inlineFiles.Add(L"\\pic.gif", L"pic.gif", L"image/gif", L"abc@example.jp");
  record_.inlineFiles.Add(L"\\gone.gif", L"gone.gif", L"image/gif", L"gone@example.jp");
  auto* page = dynamic_cast<QvDecoEditMessagePage*>(Open(1));
  ASSERT_NE(page, nullptr);
  for (int i = 0; i < 3; ++i) {
    tools_->Invalidate(FALSE);
    tools_->UpdateWindow();
    qv::seams::PumpMessages();
  }
  HDC dc = ::GetDC(page->Body()->m_hWnd);
  int redPixels = 0;
  for (int y = 0; y < 200; y += 2) {
    for (int x = 0; x < 200; x += 2) redPixels += ::GetPixel(dc, x, y) == RGB(255, 0, 0);
  }
  ::ReleaseDC(page->Body()->m_hWnd, dc);
  EXPECT_GT(redPixels, 30 * 20 / 2) << "the picture is drawn";
  ASSERT_TRUE(tools_->StorePage(1));
  ASSERT_EQ(record_.inlineFiles.GetCount(), 1u);
  EXPECT_EQ(record_.inlineFiles.GetAt(0)->GetPath(), L"\\pic.gif");
  EXPECT_NE(std::wstring(record_.htmlText).find(L"cid:abc@example.jp"), std::wstring::npos);
}

// Pictures put in through the editor: each counts once; a refused one
// leaves the record's pictures as they were.
TEST_F(EditPages, PicturesInsertedThroughTheEditorCountOnce) {
  Pixels red{40, 40, std::vector<DWORD>(40 * 40, kRed)};
  const Bytes gif = MakeGif(red);
  struct Case {
    const char* file;
    size_t bytes;
    int answer;  // to the size question, 0: none asked
    size_t inlineAfter;
  } cases[] = {{"a.gif", 60000, 0, 1}, {"b.gif", 200000, IDNO, 1}, {"c.gif", 30000, 0, 2}};
  auto* page = dynamic_cast<QvDecoEditMessagePage*>(Open(1));
  ASSERT_NE(page, nullptr);
  for (const Case& c : cases) {
    std::string bytes(gif.begin(), gif.end());
    bytes.resize(c.bytes, 0);
    WriteHost(c.file, bytes);
    const std::wstring path = L"\\" + std::wstring(c.file, c.file + std::strlen(c.file));
    const int asked = qv::seams::QuestionCount();
    qv::seams::SetQuestionAnswer(c.answer ? c.answer : IDNO);
    page->HtmlBody()->SendMessage(HEM_INSERTIMAGE, 0, reinterpret_cast<LPARAM>(path.c_str()));
    EXPECT_EQ(qv::seams::QuestionCount() - asked, c.answer ? 1 : 0) << c.file;
    EXPECT_EQ(record_.inlineFiles.GetCount(), c.inlineAfter) << c.file;
  }
  ASSERT_TRUE(tools_->StorePage(1));
  ASSERT_EQ(record_.inlineFiles.GetCount(), 2u) << "both pictures the text shows";
  for (size_t i = 0; i < 2; ++i) {
    const std::wstring id = record_.inlineFiles.GetAt(i)->GetContentId();
    EXPECT_NE(std::wstring(record_.htmlText).find(id.rfind(L"cid:", 0) == 0 ? id : L"cid:" + id), std::wstring::npos)
        << "the stored text names the picture by its content id";
  }
  EXPECT_EQ(std::wstring(record_.htmlText).find(L"\\"), std::wstring::npos) << "no device path in the mail";
}

// The input method command needs the device's preloaded Japanese keyboard.
TEST_F(EditPages, InputMethodFollowsThePreloadedKeyboard) {
  struct Case {
    const wchar_t* preload;  // null: not set
    bool japanese;
  } cases[] = {{nullptr, false}, {L"e0090411", true}, {L"E0090411", true}, {L"00000409", false}};
  for (const Case& c : cases) {
    if (c.preload) RegistrySetString(HKEY_CURRENT_USER, L"keyboard layout\\Preload", L"", c.preload);
    QvEditMessagePage* page = Open(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->HasJapaneseKeyboard(), c.japanese) << (c.preload ? qv::WideToUtf8(c.preload) : "none");
  }
}

// A pad's pictograph or line goes in at the selection; a keypad in its own
// mode is switched for the pad and back when the pad changed nothing.
TEST_F(EditPages, PadsInsertAndTheKeypadIsSwitchedBack) {
  auto mode = [] {
    HKEY key = nullptr;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\Keyglide", 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    const LONG read = RegQueryValueExW(key, L"mode", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? static_cast<int>(value) : -1;
  };
  struct Case {
    DWORD status;  // the phone's "Status22"
    int modeAfter;
  } cases[] = {{0, -1}, {0x100000, 0x100001}};
  for (const Case& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\PhoneStatus", 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Status22", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.status), sizeof c.status);
    RegCloseKey(key);
    QvEditMessagePage* page = Open(0);
    ASSERT_NE(page, nullptr);
    page->Body()->SetFocus();
    page->SendMessage(WM_COMMAND, QvEditMessagePage::kInputPad);  // no one picks: the pad is cancelled
    EXPECT_EQ(mode(), c.modeAfter) << c.status;
  }
  QvEditMessagePage* page = Open(0);
  page->SendMessage(kPadInsertMessage, 1, 0xE63E);
  page->SendMessage(kPadInsertMessage, 2, reinterpret_cast<LPARAM>(L"(^_^)"));
  EXPECT_EQ(std::wstring(page->BodyText()), L"\xE63E(^_^)");
}

// A chosen template replaces the attachments, the body and its pictures.
TEST_F(EditPages, TemplateReplacesBodyAndAttachments) {
  record_.body = L"前の本文";
  record_.attachmentPaths.Add(Files(1, 8, "old")[0].c_str());
  auto* page = dynamic_cast<QvDecoEditMessagePage*>(Open(1));
  ASSERT_NE(page, nullptr);
  QvMessageRecord chosen;
  chosen.htmlText = L"<html><body><p>テンプレートの本文</p></body></html>";
  chosen.attachmentPaths.Add(Files(1, 8, "new")[0].c_str());
  page->ApplyTemplate(chosen);
  ASSERT_EQ(page->AttachmentList()->GetPathCount(), 1);
  EXPECT_EQ(std::wstring(page->AttachmentList()->GetPath(0)), L"\\new0.txt");
  EXPECT_NE(std::wstring(page->HtmlText()).find(L"テンプレートの本文"), std::wstring::npos);
  EXPECT_EQ(std::wstring(page->HtmlText()).find(L"前の本文"), std::wstring::npos);
}

// Closing the preview gives the body its focus back, so that the decoration
// commands that need it stay on.
TEST_F(EditPages, PreviewGivesTheFocusBackToTheBody) {
  auto* page = dynamic_cast<QvDecoEditMessagePage*>(Open(1));
  ASSERT_NE(page, nullptr);
  page->HtmlBody()->SetFocus();
  HWND preview = nullptr;
  Script().push_back([&] {
    preview = ::GetActiveWindow();
    ::PostMessageW(preview, WM_COMMAND, IDCANCEL, 0);
  });
  page->SendMessage(WM_COMMAND, 40156);  // preview
  EXPECT_NE(preview, nullptr) << "the preview was shown";
  EXPECT_TRUE(Script().empty());
  EXPECT_EQ(::GetFocus(), page->HtmlBody()->m_hWnd);
}

// The face marks the build puts beside the program, read from beside the
// running program (the test's, outside the device root, as a program run from
// its build folder is): the pad lists every mark, and a tap on the selected
// one puts it into the body.
TEST_F(EditPages, FaceMarksFromBesideTheProgramGoIntoTheBody) {
  const std::string beside = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/FaceMark.pad";
  std::filesystem::copy_file(BuildFile("app/FaceMark.pad"), beside, std::filesystem::copy_options::overwrite_existing);
  struct Removed {
    std::string path;
    ~Removed() { std::filesystem::remove(path); }
  } removed{beside};
  std::vector<std::wstring> marks;
  ReadTemplateText(ReadHostFile(beside), &marks);
  ASSERT_GT(marks.size(), 13u);
  QvEditMessagePage* page = Open(0);
  ASSERT_NE(page, nullptr);
  page->Body()->SetFocus();
  constexpr int kPicked = 13;
  std::vector<std::wstring> listed;
  HWND list = nullptr;
  Script().push_back([&] {
    list = GetDlgItem(GetActiveWindow(), 1204);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR text[kTemplateLineMax + 1] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      listed.emplace_back(text);
    }
    for (int i = 0; i < kPicked; ++i) {
      qv::seams::InjectKey(VK_DOWN, true);
      qv::seams::InjectKey(VK_DOWN, false);
    }
  });
  Script().push_back([&] {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, kPicked, reinterpret_cast<LPARAM>(&item));
    POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(list, &at);
    qv::seams::InjectTap(at);  // on the line already selected: it goes to the body
  });
  Script().push_back([&] {
    tools_->UpdateWindow();
    qv::seams::PumpMessages();
    EXPECT_TRUE(qv::seams::SaveScreenPng(BuildFile("compose-facemarks.png")));
    PostMessageW(GetActiveWindow(), WM_COMMAND, 40144, 0);  // "閉じる"
  });
  CInputPad pad;
  EXPECT_FALSE(pad.CreateInputPad(kPadTemplate, page));  // closed, not picked with OK
  EXPECT_TRUE(Script().empty());
  Script().clear();
  EXPECT_EQ(listed, marks);
  EXPECT_EQ(std::wstring(page->BodyText()), marks[kPicked]);
}

TEST_F(EditPages, PagesAsDrawn) {
  record_.toList.Add(L"山田<yamada@example.jp>");
  record_.ccList.Add(L"suzuki@example.jp");
  record_.subject = L"打ち合わせの件";
  record_.body = L"本文の一行目\r\n二行目です。";
  for (const std::wstring& f : Files(2, 16)) record_.attachmentPaths.Add(f.c_str());
  for (int decorated : {0, 1}) {
    QvEditMessagePage* page = Open(decorated);
    ASSERT_NE(page, nullptr);
    // Both bodies take what is typed.
    page->Body()->SetFocus();
    page->Body()->SendMessage(WM_CHAR, L'あ', 1);
    EXPECT_EQ(std::wstring(page->BodyText()).substr(0, 3), L"あ本文") << decorated;
    tools_->UpdateWindow();
    qv::seams::PumpMessages();
    ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile(decorated ? "compose-decorated.png" : "compose-plain.png")));
  }
}

}  // namespace
}  // namespace qv::test
