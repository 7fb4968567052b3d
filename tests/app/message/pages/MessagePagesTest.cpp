// The message page bases through a small page made for the test on the
// plain page template 124: the header form's layout and scrolling with its
// body, the inline images' content ids, the HTML template written beside
// its destination before it replaces it, and the decoration palette of the
// compose tool page around it. The page is kept as message-page.png and the
// open palette as message-palette.png in the build folder.
#include <cstdio>
#include <fstream>
#include <functional>

#include "app/foundation/QvFlatButton.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/message/pages/QvBaseMessagePage.h"
#include "app/message/tools/QvToolPage.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/testing/Seams.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class SmallPage : public QvBaseMessagePage {
 public:
  explicit SmallPage(QvMessageRecord* record) : QvBaseMessagePage(124, record, &body_) {
    for (int row = 0; row < kRowCount; ++row) {
      SetRowControls(static_cast<Row>(row), std::make_unique<QvFlatButton>(), std::make_unique<CWnd>());
    }
  }
  void BeforeFill(int, int) override { ++fills; }
  int fills = 0;

 private:
  CWnd body_;
};

class MessagePages : public ProgramFrameTest {
 protected:
  void SetUp() override {
    ProgramFrameTest::SetUp();
    std::wstring body;
    for (int i = 0; i < 200; ++i) body += L"本文の行 " + std::to_wstring(i) + L"\r\n";
    record_.body = body.c_str();
    record_.subject = L"打ち合わせの件";
    record_.from = L"山田<yamada@example.jp>";
    record_.toList.Add(L"suzuki@example.jp");
    record_.dateText = L"2026/12/10 09:30";
  }
  SmallPage* MakePage() {
    auto* page = new SmallPage(&record_);
    pages_.emplace_back(page);
    EXPECT_TRUE(page->Create(124, frame_));
    page->SetWindowPos(nullptr, 0, 0, 480, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
    return page;
  }
  void TearDown() override {
    for (auto& p : pages_) {
      if (p->m_hWnd) p->DestroyWindow();
    }
    pages_.clear();
    ProgramFrameTest::TearDown();
  }
  QvMessageRecord record_;
  std::vector<std::unique_ptr<SmallPage>> pages_;
};

// The header scrolls away first, then the body's own lines; Page Down and
// Page Up move by the page's height whether sent or pressed.
TEST_F(MessagePages, HeaderAndBodyScrollAsOneForm) {
  SmallPage* page = MakePage();
  ASSERT_GT(page->HeaderHeight(), 0);
  ASSERT_GT(page->LabelWidth(), 0);
  ASSERT_GT(page->LineHeight(), 0);
  EXPECT_EQ(page->fills, 1);
  CRect client;
  page->GetClientRect(&client);
  const int pageHeight = client.Height();
  const int top = page->ScrollRange() - pageHeight;
  ASSERT_GT(top, page->HeaderHeight() + pageHeight) << "200 lines are more than a page below the header";
  auto send = [page](UINT code, UINT pos) { page->SendMessage(WM_VSCROLL, MAKEWPARAM(code, pos), 0); };
  auto press = [page](UINT key) {
    MSG m{page->Body()->m_hWnd, WM_KEYDOWN, key, 0, 0, {}};
    EXPECT_TRUE(page->PreTranslateMessage(&m));
  };
  struct Case {
    const char* what;
    std::function<void()> act;
    int expected;
  } cases[] = {
      {"line down", [&] { send(SB_LINEDOWN, 0); }, page->LineHeight()},
      {"line up", [&] { send(SB_LINEUP, 0); }, 0},
      {"line up at the top", [&] { send(SB_LINEUP, 0); }, 0},
      {"page down", [&] { send(SB_PAGEDOWN, 0); }, pageHeight},
      {"Page Down key", [&] { press(VK_NEXT); }, 2 * pageHeight},
      {"Page Up key", [&] { press(VK_PRIOR); }, pageHeight},
      {"bottom", [&] { send(SB_BOTTOM, 0); }, top},
      {"page down at the bottom", [&] { send(SB_PAGEDOWN, 0); }, top},
      {"thumb past the end", [&] { send(SB_THUMBPOSITION, 30000); }, top},
      {"thumb", [&] { send(SB_THUMBTRACK, 7); }, 7},
      {"top", [&] { send(SB_TOP, 0); }, 0},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(page->ScrollPosition(), c.expected) << c.what;
    EXPECT_EQ(page->GetScrollPos(SB_VERT), c.expected) << c.what;
    // Within the header the body stays at its first line; past it the body scrolls.
    const int first = static_cast<int>(page->Body()->SendMessage(EM_GETFIRSTVISIBLELINE));
    const int shown = std::max(c.expected - page->HeaderHeight(), 0) / page->LineHeight();
    EXPECT_EQ(first, shown) << c.what;
    CRect label;
    page->Label(QvBaseMessagePage::kDateRow)->GetWindowRect(&label);
    page->ScreenToClient(&label);
    EXPECT_EQ(label.top, -std::min(c.expected, page->HeaderHeight())) << c.what;
  }
  page->UpdateWindow();
  qv::seams::PumpMessages();
  ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile("message-page.png")));
}

TEST_F(MessagePages, InlineImagesKeepOneContentIdPerFile) {
  SmallPage* page = MakePage();
  wchar_t first[HTMLEDIT_MAXPATH + 1] = {};
  wchar_t again[HTMLEDIT_MAXPATH + 1] = {};
  wchar_t other[HTMLEDIT_MAXPATH + 1] = {};
  ASSERT_TRUE(page->InsertInlineImage(L"\\My Documents\\a.jpg", first, HTMLEDIT_MAXPATH + 1));
  ASSERT_TRUE(page->InsertInlineImage(L"\\My Documents\\A.JPG", again, HTMLEDIT_MAXPATH + 1));
  ASSERT_TRUE(page->InsertInlineImage(L"\\My Documents\\b.png", other, HTMLEDIT_MAXPATH + 1));
  EXPECT_EQ(std::wstring(first), std::wstring(again)) << "the same file keeps its id";
  EXPECT_NE(std::wstring(first), std::wstring(other));
  EXPECT_EQ(std::wstring(first).rfind(L"cid:", 0), 0u);
  EXPECT_EQ(record_.inlineFiles.GetCount(), 2u);

  const SYSTEMTIME t{2026, 12, 4, 10, 9, 30, 5, 7};
  struct Case {
    std::wstring sender;
    std::wstring expected;
  } ids[] = {
      // 2026 12 10 09:30:05.007, tick 0xABCD, 3 files so far.
      {L"me@example.jp", L"07ea0c0a091e050070000abcd00000003@example.jp"},
      {L"nodomain", L"07ea0c0a091e050070000abcd00000003@nodomain"},
      {L"me@" + std::wstring(40, L'd'), L"07ea0c0a091e050070000abcd00000003@" + std::wstring(29, L'd')},
  };
  for (const Case& c : ids) {
    EXPECT_EQ(QvBaseMessagePage::MakeContentId(t, 0xABCD, 3, c.sender), c.expected) << c.sender;
  }

  wchar_t path[HTMLEDIT_MAXPATH + 1] = {};
  const std::wstring cid = first;
  struct Resolve {
    std::wstring source;
    bool found;
  } sources[] = {{cid, true}, {L"CID:" + cid.substr(4), true}, {L"cid:nothing", false}, {cid.substr(4), false}};
  for (const Resolve& r : sources) {
    EXPECT_EQ(page->ResolveInlineSource(r.source.c_str(), path, HTMLEDIT_MAXPATH + 1), r.found) << r.source;
    if (r.found) {
      EXPECT_EQ(std::wstring(path), L"\\My Documents\\a.jpg");
    }
  }

  record_.inlineFiles.Add(L"\\c.GIF", L"c.GIF", L"", L"c");
  record_.inlineFiles.Add(L"\\d.jpeg", L"d.jpeg", L"", L"d");
  CStringArray removed;
  page->TrimInlineImages(2, &removed);
  ASSERT_EQ(removed.GetSize(), 2);
  EXPECT_EQ(std::wstring(removed[0]), L"\\My Documents\\b.png");
  EXPECT_EQ(std::wstring(removed[1]), L"\\d.jpeg") << "past the limit";
  EXPECT_EQ(record_.inlineFiles.GetCount(), 2u);
}

// A template already there survives a result over the size limit; a
// template within it replaces the old one; no half-written file is left.
TEST_F(MessagePages, HtmlTemplateReplacesOnlyWhenComplete) {
  WriteHost("old.whm", "old template");
  WriteHost("big.mid", std::string(160000, 'M'));
  WriteHost("small.mid", std::string(100, 'm'));
  record_.htmlText = L"<html><body>テンプレート</body></html>";
  struct Case {
    const char* what;
    const wchar_t* attachment;
    QvBaseMessagePage::TemplateSave result;
    bool oldKept;
  } cases[] = {
      {"over the limit", L"\\big.mid", QvBaseMessagePage::TemplateSave::kTooLarge, true},
      {"within the limit", L"\\small.mid", QvBaseMessagePage::TemplateSave::kSaved, false},
  };
  for (const Case& c : cases) {
    record_.attachmentPaths.RemoveAll();
    record_.attachmentPaths.Add(c.attachment);
    EXPECT_EQ(QvBaseMessagePage::WriteHtmlTemplate(record_, L"\\old.whm"), c.result) << c.what;
    const std::string now = ReadHost("old.whm");
    EXPECT_EQ(now == "old template", c.oldKept) << c.what;
    EXPECT_FALSE(now.empty()) << c.what;
    EXPECT_FALSE(HostExists("old.whm_tmp")) << c.what;
  }
  EXPECT_NE(ReadHost("old.whm").find("text/html"), std::string::npos);

  // Over 10240 bytes of HTML: refused before anything is asked or written.
  SmallPage* page = MakePage();
  QvBaseMessagePage::SetTemplatePathChooser([](CWnd*) -> std::wstring {
    ADD_FAILURE() << "no destination is asked for";
    return L"";
  });
  record_.htmlText = std::wstring(10241, L'a').c_str();
  EXPECT_EQ(page->SaveAsHtmlTemplate(), QvBaseMessagePage::TemplateSave::kTooLarge);
  QvBaseMessagePage::SetTemplatePathChooser(nullptr);
}

// The compose tool page hosts the page, follows the enable word and moves
// the focus round the palette's rows with the arrows.
TEST_F(MessagePages, PaletteFollowsTheEnableWordAndTheArrows) {
  // The decorated compose page's template holds the HTML control.
  ASSERT_TRUE(InitializeHtmlEditCtrl(nullptr, 0));
  auto* hosted = new SmallPage(&record_);
  QvEditToolPage tools(&record_, 1, std::unique_ptr<QvMessagePage>(hosted));
  ASSERT_TRUE(tools.Create(137, frame_));
  EXPECT_EQ(tools.PageCreated(), 1);
  EXPECT_EQ(tools.GetMessagePage(), hosted);
  EXPECT_EQ(tools.LastEnableWord(), QvEditToolPage::kStartEnableWord);
  // Where the sheet puts its pages: below the title strip.
  tools.SetWindowPos(nullptr, 0, 52, 480, 696, SWP_NOZORDER | SWP_SHOWWINDOW);
  tools.OpenPalette();
  qv::seams::PumpMessages();
  ASSERT_TRUE(tools.Button(0, 0).IsWindowVisible());
  // Portrait, open: row 1 at bottom - top - 156, 78 apart from left + 10.
  CRect at;
  tools.Button(0, 1).GetWindowRect(&at);
  tools.ScreenToClient(&at);
  const POINT origin = tools.PageOrigin();
  ASSERT_EQ(origin.y, 0);
  EXPECT_EQ(at, CRect(88, 696 - 156, 158, 696 - 106));
  auto enabled = [&](int control) { return tools.GetDlgItem(control)->IsWindowEnabled() != FALSE; };
  // 0xF3BF again changes nothing; 0x37F3BF adds 1193 (bit 17) and 1194 (bit 16).
  struct Word {
    DWORD word;
    bool b1193, b1194, b1190;
  } words[] = {{0xF3BF, true, true, true}, {0x37F3BF, true, true, true}, {0xF3BE, false, false, false}};
  for (const Word& w : words) {
    tools.ApplyEnableWord(w.word);
    EXPECT_EQ(tools.LastEnableWord(), w.word);
    EXPECT_EQ(enabled(1193), w.b1193) << std::hex << w.word;
    EXPECT_EQ(enabled(1194), w.b1194) << std::hex << w.word;
    EXPECT_EQ(enabled(1190), w.b1190) << std::hex << w.word;
  }
  tools.ApplyEnableWord(0x37F3BF);
  struct Step {
    UINT key;
    int row, column;
    int toRow, toColumn;  // -1: no move
  } steps[] = {
      {VK_RIGHT, 0, 0, 0, 1}, {VK_LEFT, 0, 0, 0, 5}, {VK_RIGHT, 0, 5, 0, 0},
      {VK_DOWN, 0, 2, 1, 2},  {VK_UP, 1, 2, 0, 2},   {VK_UP, 0, 2, -1, -1}, {VK_DOWN, 1, 3, -1, -1},
  };
  for (const Step& s : steps) {
    CBitmapButton* target = tools.ArrowTarget(s.key, s.row, s.column);
    if (s.toRow < 0) {
      EXPECT_EQ(target, nullptr) << s.key << " from " << s.row << "," << s.column;
    } else {
      EXPECT_EQ(target, &tools.Button(s.toRow, s.toColumn)) << s.key << " from " << s.row << "," << s.column;
    }
  }
  // With one button left enabled in a row, right keeps the focus on it.
  for (int c = 1; c < 6; ++c) tools.Button(0, c).EnableWindow(FALSE);
  EXPECT_EQ(tools.ArrowTarget(VK_RIGHT, 0, 0), &tools.Button(0, 0));
  for (int c = 1; c < 6; ++c) tools.Button(0, c).EnableWindow(TRUE);
  tools.UpdateWindow();
  qv::seams::PumpMessages();
  ASSERT_TRUE(qv::seams::SaveScreenPng(BuildFile("message-palette.png")));
  tools.DestroyWindow();
  TerminateHtmlEditCtrl();
}

TEST_F(MessagePages, PopupsOpenAboveOrBesideTheirButtonWithinTheClient) {
  const RECT client{0, 0, 480, 700};
  struct Case {
    RECT button;
    int w, h;
    bool portrait;
    POINT expected;
  } cases[] = {
      {{200, 600, 270, 650}, 119, 121, true, {176, 475}},
      {{0, 600, 70, 650}, 143, 82, true, {0, 514}},      // raised to the client's left
      {{410, 600, 480, 650}, 191, 82, true, {289, 514}},  // kept within its right
      {{600, 10, 670, 60}, 143, 82, false, {453, 0}},     // kept below the top
      {{600, 300, 670, 350}, 186, 121, false, {410, 265}},
  };
  for (const Case& c : cases) {
    const POINT p = QvTextToolPage::PopupPosition(c.button, c.w, c.h, client, c.portrait);
    EXPECT_EQ(p.x, c.expected.x) << c.button.left << "," << c.button.top;
    EXPECT_EQ(p.y, c.expected.y) << c.button.left << "," << c.button.top;
  }
}

}  // namespace
}  // namespace qv::test
