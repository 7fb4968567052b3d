// The message bodies and the subject field in a tool window holding a page,
// driven by injected keys and taps on the UI clock. The views are drawn into
// richedit-views.png (and, without the pictograph sets, richedit-geta.png)
// in the build folder.
#include <functional>

#include "app/foundation/QvPictureCharBitmap.h"
#include "app/foundation/UiRegistry.h"
#include "app/message/richedit/QvHtmlBodyCtrl.h"
#include "app/message/richedit/QvRichClickableView.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "app/message/subject/QvSubjectEdit.h"
#include "platform/base/WideText.h"
#include "platform/registry/Registry.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class Holder : public CWnd {};

// 門 is the sample pictograph (U+E63E of the web set), ☀ the first of the other.
constexpr wchar_t kBodyWithLinks[] =
    L"今日は\uE63Eです。\r\n詳細 https://example.jp/a を見て\r\n"
    L"連絡 taro.y@example.co.jp まで\r\n電話 03-1234-5678\uE000";

class RichEdit : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    res_ = LoadProgramResources();
    ASSERT_TRUE(tool_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr));
    ASSERT_TRUE(page_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_CHILD | WS_VISIBLE, 0, 0, 480, 800, tool_, nullptr));
    before_ = Make(WS_CHILD | WS_VISIBLE, page_, {0, 0, 480, 30});
  }
  void TearDown() override {
    tool_.DestroyWindow();
    CWnd::DeleteTempMap();
    SetPictureCharLibraryNames(nullptr, nullptr);
    UiTest::TearDown();
  }
  static void Run() { RunThroughFilter(); }
  static void Press(BYTE vk) {
    qv::seams::InjectKey(vk, true);
    qv::seams::InjectKey(vk, false);
    Run();
  }
  template <class Body>
  void MakeBody(Body& body, const wchar_t* text, bool readOnly, RECT r = {0, 40, 480, 400}) {
    ASSERT_TRUE(body.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE | (readOnly ? ES_READONLY : 0), r, &page_, 200));
    body.SetWindowText(text);
    body.SetPrevWindow(before_);
    body.SetFocus();
    Run();
  }
  int Count(HWND to, UINT message) const {
    int n = 0;
    for (UINT m : log_.MessagesOf(to)) n += m == message;
    return n;
  }
  static DWORD PictureCharValue() {
    HKEY key = nullptr;
    DWORD value = 99, size = sizeof value;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\Keyglide", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegQueryValueExW(key, L"PictureChar", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
      RegCloseKey(key);
    }
    return value;
  }

  HMODULE res_ = nullptr;
  Holder tool_;
  Holder page_;
  HWND before_ = nullptr;
};

TEST_F(RichEdit, BodyKeysAndTheHeldBackKey) {
  struct Case {
    const char* what;
    const wchar_t* text;
    std::function<void()> act;
    const wchar_t* wantText;
    const wchar_t* undone;  // after WM_UNDO
    int backs, leaves;
    bool focusBefore;
  };
  const auto hold = [] {
    qv::seams::InjectKey(VK_BACK, true);
    Run();
    for (int i = 0; i < 5; ++i) {
      qv::seams::AdvanceUiClock(250);
      qv::seams::InjectKey(VK_BACK, true);
      Run();
    }
    qv::seams::InjectKey(VK_BACK, false);
    Run();
  };
  const Case cases[] = {
      // The first press deleted one character; the hold took the rest, undoably.
      {"a held Back clears the body", L"本文です", hold, L"", L"本文で", 0, 0, false},
      {"a short press deletes one", L"本文です", [] { Press(VK_BACK); }, L"本文で", L"本文です", 0, 0, false},
      {"released on an empty body: Back", L"", [] { Press(VK_BACK); }, L"", L"", 1, 0, false},
      {"held on an empty body: the hold ends it", L"", hold, L"", L"", 0, 0, false},
      {"up at the first line", L"一行目\r\n二行目", [] { Press(VK_UP); }, L"一行目\r\n二行目", L"一行目\r\n二行目", 0, 0, true},
      {"down on the last line", L"一行目", [] { Press(VK_DOWN); }, L"一行目", L"一行目", 0, 1, false},
  };
  for (const Case& c : cases) {
    QvMailRichEditCtrl body;
    MakeBody(body, c.text, false);
    body.SetSel(0, 0);
    if (wcslen(c.text)) body.CaretToEnd();
    if (c.focusBefore) body.SetSel(0, 0);
    log_.Clear();
    c.act();
    CString text;
    body.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), std::wstring(c.wantText)) << c.what;
    EXPECT_EQ(Count(page_, kBackMessage), c.backs) << c.what;
    EXPECT_EQ(Count(tool_, kLeaveBodyDownMessage), c.leaves) << c.what;
    EXPECT_EQ(::GetFocus() == before_, c.focusBefore) << c.what;
    // A cleared body comes back: a held key never loses a mail being written.
    body.SendMessage(WM_UNDO);
    body.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), std::wstring(c.undone)) << c.what << ": undo";
    body.DestroyWindow();
  }
}

TEST_F(RichEdit, BodyTextUsesLineFeedsAndTheSelectionCrLf) {
  QvMailRichEditCtrl body;
  MakeBody(body, L"一行目\r\n二行目\r\n三", false);
  EXPECT_EQ(std::wstring(body.GetBodyText().GetString()), L"一行目\n二行目\n三");
  EXPECT_EQ(body.GetBodyLength(), 9);
  body.SetSel(2, 5);
  CString selected;
  body.GetSelectedText(selected);
  EXPECT_EQ(std::wstring(selected.GetString()), L"目\r\n二");
  Press('A');  // typing replaces the selection: the kept text is stale
  EXPECT_EQ(std::wstring(body.GetBodyText().GetString()), L"一行a行目\n三");
  body.SetFocus();
  EXPECT_EQ(PictureCharValue(), 1u) << "a writable body lets pictographs be typed";
  ::SetFocus(before_);
  Run();
  EXPECT_EQ(PictureCharValue(), 0u);
}

TEST_F(RichEdit, ReadOnlyViewPagesStepsLinksAndOffersTappedOnes) {
  QvRichClickableView view;
  MakeBody(view, kBodyWithLinks, true);
  ASSERT_EQ(view.Links().GetCount(), 3);
  view.SetSel(0, 0);
  struct Step {
    BYTE key;
    int wantLink;
    int adjacent;  // kStepMessageRequest's wParam, -1 none
  };
  EXPECT_EQ(view.SelectedLink(), 0) << "the focus selects the link nearest the caret";
  const Step steps[] = {{VK_DOWN, 1, -1}, {VK_DOWN, 2, -1}, {VK_UP, 1, -1}, {VK_LEFT, 1, 1}, {VK_RIGHT, 1, 0}};
  for (const Step& s : steps) {
    log_.Clear();
    Press(s.key);
    EXPECT_EQ(view.SelectedLink(), s.wantLink) << "key " << int(s.key);
    const auto got = log_.MessagesOf(page_);
    const bool paged = std::find(got.begin(), got.end(), kStepMessageRequest) != got.end();
    EXPECT_EQ(paged, s.adjacent >= 0) << "key " << int(s.key);
  }
  CString argument;
  EXPECT_EQ(view.GetSelectedLinkAction(argument), QvLinkAction::kCompose);
  EXPECT_EQ(std::wstring(argument.GetString()), L"taro.y@example.co.jp");

  // A tap on the mail link offers its menu; one on plain text does not.
  RECT link{};
  view.GetSelectedLinkRect(link);
  for (POINT tap : {POINT{link.left + 4, link.top + 4}, POINT{5, 5}}) {
    log_.Clear();
    qv::seams::InjectTap(tap);
    Run();
    const bool onLink = tap.x == link.left + 4;
    EXPECT_EQ(Count(page_, WM_CONTEXTMENU), onLink ? 1 : 0) << tap.x << "," << tap.y;
    CString text;
    POINT client = tap;
    view.ScreenToClient(&client);
    EXPECT_EQ(view.GetLinkAt(client, text), onLink ? QvLinkRange::kMail : 0);
  }
  qv::seams::SaveScreenPng(BuildFile("richedit-views.png"));
}

TEST_F(RichEdit, ViewWithoutLinksLeavesToItsNeighbours) {
  QvRichClickableView view;
  MakeBody(view, L"リンクのない本文", true);
  view.SetSel(0, 0);
  Press(VK_UP);
  EXPECT_EQ(::GetFocus(), before_);
  view.SetFocus();
  log_.Clear();
  Press(VK_DOWN);
  EXPECT_EQ(Count(tool_, kLeaveBodyDownMessage), 1);
}

TEST_F(RichEdit, PictographsAreDrawnAsPicturesOrAsGeta) {
  // The same subject and body with and without the sets: the cells differ.
  std::vector<COLORREF> cells[2];
  for (int missing = 0; missing < 2; ++missing) {
    if (missing) SetPictureCharLibraryNames(L"NoSuchPictures.dll", L"NoSuchWebPictures.dll");
    QvSubjectEdit subject;
    ASSERT_TRUE(subject.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, RECT{0, 420, 480, 460}, &page_, 300));
    subject.SetWindowText(L"件名\uE000あ");
    QvRichClickableView view;
    MakeBody(view, L"本文\uE63Eあ", missing == 1, RECT{0, 470, 480, 560});
    for (int i = 0; i < 3; ++i) {
      tool_.Invalidate(FALSE);
      tool_.UpdateWindow();
      Run();
    }
    for (HWND w : {subject.m_hWnd, view.m_hWnd}) {
      HDC dc = ::GetDC(w);
      const CPoint at = w == subject.m_hWnd ? subject.PosFromChar(2) : CPoint(0, 0);
      POINT cell{at.x, at.y};
      if (w == view.m_hWnd) view.SendMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&cell), 2);
      for (int y = 2; y < 20; y += 3)
        for (int x = 2; x < 20; x += 3) cells[missing].push_back(GetPixel(dc, cell.x + x, cell.y + y));
      ::ReleaseDC(w, dc);
    }
    qv::seams::SaveScreenPng(BuildFile(missing ? "richedit-geta.png" : "richedit-pictures.png"));
    subject.DestroyWindow();
    view.DestroyWindow();
  }
  EXPECT_NE(cells[0], cells[1]);
  const auto colourful = [](const std::vector<COLORREF>& v) {
    return std::count_if(v.begin(), v.end(), [](COLORREF c) { return GetRValue(c) != GetBValue(c); });
  };
  EXPECT_GT(colourful(cells[0]), 0) << "the glyphs are coloured pictures";
  EXPECT_EQ(colourful(cells[1]), 0) << "the geta mark is text";
}

TEST_F(RichEdit, ReadOnlySubjectPagesAndLeaves) {
  struct Case {
    BYTE key;
    UINT wantToPage;
    int focus;  // 0 stays, -1 the window before, 1 the window after
  };
  HWND after = Make(WS_CHILD | WS_VISIBLE, page_, {0, 700, 480, 720});
  const Case cases[] = {{VK_LEFT, kStepMessageRequest, 0},
                        {VK_RIGHT, kStepMessageRequest, 0},
                        {VK_UP, kMoveFocusMessage, -1},
                        {VK_DOWN, kMoveFocusMessage, 1}};
  for (const Case& c : cases) {
    QvSubjectEdit subject;
    ASSERT_TRUE(subject.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, RECT{0, 40, 480, 80}, &page_, 300));
    subject.SetWindowText(L"件名\uE000");
    subject.SetPrevWindow(before_);
    subject.SetNextWindow(after);
    subject.SetFocus();
    Run();
    log_.Clear();
    Press(c.key);
    const auto got = log_.MessagesOf(page_);
    EXPECT_EQ(std::count(got.begin(), got.end(), c.wantToPage), 1) << "key " << int(c.key);
    HWND focus = ::GetFocus();
    EXPECT_EQ(focus, c.focus == 0 ? subject.m_hWnd : c.focus < 0 ? before_ : after) << "key " << int(c.key);
    subject.DestroyWindow();
  }
}

TEST_F(RichEdit, OnlyAWritableSubjectTakesPictographs) {
  for (bool readOnly : {false, true}) {
    QvSubjectEdit subject;
    ASSERT_TRUE(subject.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE | (readOnly ? ES_READONLY : 0),
                               RECT{0, 40, 480, 80}, &page_, 300));
    ::SetFocus(before_);
    SetPictureCharCursor(0);
    subject.SetFocus();
    Run();
    EXPECT_EQ(PictureCharValue(), readOnly ? 0u : 1u) << "read-only " << readOnly;
    SetPictureCharCursor(1);
    ::SetFocus(before_);
    Run();
    EXPECT_EQ(PictureCharValue(), readOnly ? 1u : 0u) << "read-only " << readOnly;
    subject.DestroyWindow();
  }
}

TEST_F(RichEdit, DecoratedLinksOpenOnlyAsTheirKindAllows) {
  struct Case {
    const wchar_t* href;
    HtmlLinkKind kind;
  };
  const Case cases[] = {
      {L"https://example.jp/x", kHtmlLinkWeb},  {L"HTTP://example.jp/", kHtmlLinkWeb},
      {L"mailto:hanako@example.jp", kHtmlLinkMail}, {L"tel:0312345678", kHtmlLinkTel},
      {L"image:photo1.jpg", kHtmlLinkImage},    {L"file:///etc/passwd", kHtmlLinkNone},
      {L"javascript:alert(1)", kHtmlLinkNone},  {L"\\Windows\\cmd.exe", kHtmlLinkNone},
      {L"ftp://example.jp/", kHtmlLinkNone},    {L"", kHtmlLinkNone},
  };
  std::wstring html = L"<p>";
  std::vector<const Case*> inDocument;
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyHtmlLink(c.href), c.kind) << WideToUtf8(c.href);
    // The control's parser drops script links itself; the others reach the body.
    if (!*c.href || std::wstring(c.href).starts_with(L"javascript:")) continue;
    html += L"<a href=\"" + std::wstring(c.href) + L"\">link</a> ";
    inDocument.push_back(&c);
  }
  html += L"</p>";
  // The same through the control: each focused link's kind.
  ASSERT_TRUE(InitializeHtmlEditCtrl(nullptr, 0));
  QvHtmlBodyCtrl body;
  ASSERT_TRUE(body.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, RECT{0, 40, 480, 400}, &page_, 200));
  body.SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str()));
  for (int i = 0; i < static_cast<int>(inDocument.size()); ++i) {
    ASSERT_TRUE(body.SelectLink(i)) << i;
    CString text;
    EXPECT_EQ(body.GetCurrentLink(text), inDocument[i]->kind) << WideToUtf8(inDocument[i]->href);
    EXPECT_EQ(std::wstring(text.GetString()), std::wstring(inDocument[i]->href));
  }
  EXPECT_FALSE(body.SelectLink(static_cast<int>(inDocument.size())));
}

}  // namespace
}  // namespace qv::test
