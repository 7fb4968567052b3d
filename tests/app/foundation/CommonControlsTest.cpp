// The program's common controls in a framework window, driven by injected
// keys and taps on the UI clock. All of them are kept, drawn together, as
// foundation-controls.png in the build folder.
#include "app/foundation/QvClipboard.h"
#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvComSplitCtrl.h"
#include "app/foundation/QvFlatButton.h"
#include "app/foundation/QvFlexibleEdit.h"
#include "app/foundation/QvStaticLine.h"
#include "app/foundation/QvUnFullScreenDlg.h"
#include "platform/base/WideText.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class HostWnd : public CWnd {};

class CommonControls : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    res_ = LoadProgramResources();
    ASSERT_NE(res_, nullptr);
    ASSERT_TRUE(host_.CreateEx(0, AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW)), L"",
                               WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr));
  }
  void TearDown() override {
    host_.DestroyWindow();
    CWnd::DeleteTempMap();
    UiTest::TearDown();
  }
  static void Run() { RunThroughFilter(); }
  static void Press(BYTE vk) {
    qv::seams::InjectKey(vk, true);
    qv::seams::InjectKey(vk, false);
    Run();
  }
  template <class Edit>
  void MakeEdit(Edit& edit, const wchar_t* text, RECT r = {10, 10, 470, 60}, UINT id = 100) {
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, r, &host_, id));
    edit.SetWindowText(text);
    edit.SetFocus();
    Run();
  }
  int BackMessages() const {
    int n = 0;
    for (UINT m : log_.MessagesOf(host_)) n += m == kBackMessage;
    return n;
  }
  static CString TextOf(const CWnd& w) {
    CString s;
    w.GetWindowText(s);
    return s;
  }

  HMODULE res_ = nullptr;
  HostWnd host_;
};

TEST_F(CommonControls, EnterStepsTheSelectionModeAndTellsTheParent) {
  QvComAreaSelectEdit edit;
  MakeEdit(edit, L"選択する文字列");
  log_.Ignore({WM_PAINT, WM_ERASEBKGND, WM_CTLCOLOREDIT, WM_GETDLGCODE, WM_TIMER});
  log_.Clear();
  for (int i = 0; i < 3; ++i) Press(VK_RETURN);
  std::vector<MsgEntry> want;
  for (WPARAM step : {1, 2, 0}) {
    want.push_back({WM_KEYDOWN, seq::posted | seq::wparam, VK_RETURN});
    want.push_back({kAreaSelectMessage, seq::sent | seq::parent | seq::wparam, step});
    want.push_back({WM_CHAR, seq::posted | seq::wparam, L'\r'});
    want.push_back({WM_KEYUP, seq::posted | seq::wparam, VK_RETURN});
  }
  EXPECT_EQ(log_.Compare(edit, want), "");
  EXPECT_FALSE(edit.Selector().IsActive());
  EXPECT_EQ(edit.GetWindowTextLength(), 7) << "Enter never reached the text";
  // A sequence that differs names the program's messages.
  want.erase(want.begin() + 1);
  EXPECT_NE(log_.Compare(edit, want).find("kAreaSelectMessage sent parent wParam=0x1"), std::string::npos)
      << log_.Compare(edit, want);
}

TEST_F(CommonControls, ArrowsExtendTheSelectionOnceAnchored) {
  QvComAreaSelectEdit edit;
  MakeEdit(edit, L"abcdef");
  edit.SetSel(0, 0);
  Press(VK_RETURN);
  Press(VK_RIGHT);  // moves the caret, selecting nothing yet
  Press(VK_RETURN);
  Press(VK_RIGHT);
  Press(VK_RIGHT);
  int start = -1, end = -1;
  edit.GetSel(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 3);
  Press(VK_BACK);  // ends the mode and deletes the selection as a field does
  EXPECT_FALSE(edit.Selector().IsActive());
}

TEST_F(CommonControls, BackInAnEmptyFieldAsksThePageToCloseOncePerPress) {
  struct Case {
    const wchar_t* text;
    int presses;
    int repeats;  // further downs of one held press
    int closes;
  };
  for (const Case& c : {Case{L"", 2, 0, 2}, Case{L"x", 1, 0, 0}, Case{L"", 1, 3, 1}}) {
    QvCLREdit edit;
    MakeEdit(edit, c.text);
    log_.Clear();
    for (int p = 0; p < c.presses; ++p) {
      for (int r = 0; r <= c.repeats; ++r) qv::seams::InjectKey(VK_BACK, true);
      qv::seams::InjectKey(VK_BACK, false);
      Run();
    }
    EXPECT_EQ(BackMessages(), c.closes) << "text '" << WideToUtf8(c.text) << "', repeats " << c.repeats;
    edit.DestroyWindow();
  }
}

TEST_F(CommonControls, OnlyAHeldBackKeyClearsTheField) {
  QvFlexibleEdit edit;
  MakeEdit(edit, L"abcdefghij");
  // The device's Back key held down: one character goes, then the rest at one second.
  qv::seams::InjectKey(VK_BACK, true);
  Run();
  for (int i = 0; i < 4; ++i) {
    qv::seams::AdvanceUiClock(250);
    qv::seams::InjectKey(VK_BACK, true);  // auto-repeat of the held key
    Run();
  }
  EXPECT_EQ(edit.GetWindowTextLength(), 0);
  qv::seams::InjectKey(VK_BACK, false);
  Run();
  EXPECT_EQ(BackMessages(), 0) << "the field was not empty when the key went down";

  // The desktop's Backspace repeats: whole presses, a character each, never a hold.
  edit.SetWindowText(L"abcdefghij");
  edit.MoveCaretToEnd();
  for (int i = 0; i < 6; ++i) {
    Press(VK_BACK);
    qv::seams::AdvanceUiClock(300);
    Run();
  }
  EXPECT_EQ(TextOf(edit), CString(L"abcd"));

  // Released in an empty field: the page is asked to close.
  edit.SetWindowText(L"");
  Press(VK_BACK);
  EXPECT_EQ(BackMessages(), 1);
}

TEST_F(CommonControls, PasteDropsPictographsAndLineBreaks) {
  QvFlexibleEdit edit;
  MakeEdit(edit, L"");
  {
    QvClipboard clip(edit);
    EmptyClipboard();
    const wchar_t text[] = L"A\uE000\r\nB";
    SetClipboardData(CF_UNICODETEXT, const_cast<wchar_t*>(text));
  }
  edit.SendMessage(WM_COMMAND, kPasteCommand, 0);
  EXPECT_EQ(TextOf(edit), CString(L"AB"));
  edit.MoveCaretToEnd();
  int start = 0, end = 0;
  edit.GetSel(start, end);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 2);
}

TEST_F(CommonControls, SplitterBarStaysWithinThePanesMinimums) {
  struct Case {
    RECT area;
    int firstMin, secondMin, position, wantTop;
  };
  const Case cases[] = {
      {{0, 100, 480, 500}, 50, 50, -1, 100 + 200 - 3},  // never placed: the middle
      {{0, 100, 480, 500}, 80, 50, 10, 100 + 80 - 3},    // raised to the first minimum
      {{0, 100, 480, 500}, 50, 120, 390, 100 + 280 - 3}, // lowered to leave the second its room
      {{0, 500, 480, 100}, 0, 0, 40, 100 + 40 - 3},      // an upside-down area is normalised
  };
  for (const Case& c : cases) {
    QvComSplitCtrl split;
    ASSERT_TRUE(split.Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, RECT{0, 0, 1, 1}, &host_));
    split.SetPanes(Make(WS_CHILD | WS_VISIBLE, host_, {0, 0, 1, 1}), Make(WS_CHILD | WS_VISIBLE, host_, {0, 0, 1, 1}));
    split.Layout(c.area, 1, c.firstMin, c.secondMin, c.position, true);
    RECT bar{};
    split.GetWindowRect(&bar);
    EXPECT_EQ(bar.top, c.wantTop) << "position " << c.position;
    EXPECT_EQ(bar.bottom - bar.top, QvComSplitCtrl::kThickness);
    split.DestroyWindow();
  }
}

TEST_F(CommonControls, SplitterDragMovesThePanesAndTellsTheParent) {
  QvComSplitCtrl split;
  ASSERT_TRUE(split.Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, RECT{0, 0, 1, 1}, &host_));
  HWND top = Make(WS_CHILD | WS_VISIBLE, host_, {0, 0, 1, 1});
  HWND bottom = Make(WS_CHILD | WS_VISIBLE, host_, {0, 0, 1, 1});
  split.SetPanes(top, bottom);
  split.Layout({0, 0, 480, 400}, 1, 20, 20, 200, true);
  Run();
  log_.Clear();
  qv::seams::InjectPointer(WM_LBUTTONDOWN, {240, 200});
  qv::seams::InjectPointer(WM_MOUSEMOVE, {240, 260});
  qv::seams::InjectPointer(WM_LBUTTONUP, {240, 260});
  Run();
  EXPECT_EQ(split.GetPosition(), 260);
  RECT r{};
  GetWindowRect(top, &r);
  EXPECT_EQ(r.bottom, 257);
  int moved = 0;
  for (UINT m : log_.MessagesOf(host_)) moved += m == kSplitMovedMessage;
  EXPECT_EQ(moved, 1);
}

TEST_F(CommonControls, FlatButtonDrawsTheBitmapOfItsFontSizeKindAndFocus) {
  struct Case {
    int fontHeight, id;
    bool focused;
    UINT bitmap;
  };
  for (const Case& c : {Case{20, 1010, false, 213}, Case{20, 1010, true, 212}, Case{-24, 1118, true, 272},
                        Case{32, 1146, false, 257}, Case{13, 1157, true, 210}, Case{27, 1022, false, 243}}) {
    EXPECT_EQ(QvFlatButton::LookFor(c.fontHeight, c.id, c.focused).bitmap, c.bitmap) << c.fontHeight << "/" << c.id;
  }
  // Drawn: the button's top-left is the normal bitmap of row 0, pair 1.
  QvFlatButton button;
  ASSERT_TRUE(button.Create(L"宛先", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{10, 100, 130, 140}, &host_, 1010));
  LOGFONTW lf;
  InitLogFont(&lf, 20, false);
  HFONT font = CreateFontIndirectW(&lf);
  button.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  button.UpdateWindow();
  HBITMAP want = LoadBitmapW(res_, MAKEINTRESOURCEW(213));
  ASSERT_NE(want, nullptr);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, want);
  HDC dc = GetDC(button);
  for (POINT p : {POINT{0, 0}, POINT{20, 6}, POINT{41, 12}, POINT{60, 20}}) {
    const COLORREF expected = p.x < 42 && p.y < 13 ? GetPixel(mem, p.x, p.y) : RGB(255, 255, 255);
    EXPECT_EQ(GetPixel(dc, p.x, p.y), expected) << p.x << "," << p.y;
  }
  ReleaseDC(button, dc);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(want);
  button.DestroyWindow();
  DeleteObject(font);
}

// A field that, held down, lets the UI clock run past the hold and notes
// the edit menu's items before closing it.
class HeldEdit : public QvComEdit {
 public:
  std::vector<std::pair<UINT, UINT>> items;  // command, state
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_LBUTTONDOWN) PostMessage(kStep);
    if (message == kStep) {
      qv::seams::AdvanceUiClock(600);
      PostMessage(WM_NULL);
      return 0;
    }
    if (message == WM_INITMENUPOPUP) {
      HMENU popup = reinterpret_cast<HMENU>(wParam);
      for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        const UINT id = GetMenuItemID(popup, i);
        items.push_back({id, GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED});
      }
    }
    if (message == WM_ENTERIDLE) EndMenu();
    return QvComEdit::WindowProc(message, wParam, lParam);
  }

 private:
  static constexpr UINT kStep = WM_APP + 9;
};

TEST_F(CommonControls, TapAndHoldOpensTheEditMenuFittingTheField) {
  struct Case {
    DWORD style;
    bool selection;
    std::vector<std::pair<UINT, UINT>> items;
  };
  const Case cases[] = {
      {0, true, {{kCutCommand, 0}, {kCopyCommand, 0}, {kPasteCommand, MF_GRAYED}}},
      {0, false, {{kCutCommand, MF_GRAYED}, {kCopyCommand, MF_GRAYED}, {kPasteCommand, MF_GRAYED}}},
      {ES_READONLY, true, {{kCopyCommand, 0}}},
      {ES_PASSWORD, true, {}},  // no menu at all
  };
  for (const Case& c : cases) {
    HeldEdit edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | c.style, RECT{10, 10, 470, 60}, &host_, 100));
    edit.SetWindowText(L"本文");
    edit.SetSel(0, c.selection ? 2 : 0);
    qv::seams::InjectPointer(WM_LBUTTONDOWN, {40, 30});
    Run();
    qv::seams::InjectPointer(WM_LBUTTONUP, {40, 30});
    Run();
    EXPECT_EQ(edit.items, c.items) << "style " << c.style;
    edit.DestroyWindow();
  }
}

TEST_F(CommonControls, SmallDialogStaysCentredAtItsSize) {
  DialogTemplate t;
  t.style = WS_POPUP | DS_SETFONT;
  t.box = {0, 0, 60, 40};
  const auto units = t.Build();
  QvUnFullScreenDlg dialog(0, &host_);
  dialog.SetSize(300, 200);
  dialog.SetCaption(true);
  ASSERT_TRUE(dialog.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(units.data()), &host_));
  auto centred = [&] {
    RECT r{};
    dialog.GetWindowRect(&r);
    EXPECT_EQ(r.left, 90);
    EXPECT_EQ(r.top, 300);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
  };
  centred();
  EXPECT_TRUE(dialog.GetStyle() & WS_CAPTION);
  EXPECT_EQ(dialog.GetExStyle() & 0xC0000000u, 0xC0000000u);
  dialog.SetWindowPos(nullptr, 0, 0, 400, 500, SWP_NOZORDER);
  centred();
  dialog.DestroyWindow();
}

TEST_F(CommonControls, AllDrawnTogether) {
  QvComAreaSelectEdit select;
  MakeEdit(select, L"選択モードの欄", {10, 10, 470, 50}, 101);
  Press(VK_RETURN);
  Press(VK_RETURN);
  Press(VK_RIGHT);
  Press(VK_RIGHT);
  QvFlexibleEdit flexible;
  MakeEdit(flexible, L"宛先: taro@example.jp\r\nhanako@example.jp\r\njiro@example.jp", {10, 60, 470, 120}, 102);
  flexible.TruncateAtLine(2);
  QvStaticLine line;
  ASSERT_TRUE(line.Create(L"差出人", WS_CHILD | WS_VISIBLE, RECT{10, 130, 470, 170}, &host_));
  line.SetDrawTextFormat(0x8804);
  QvFlatButton buttons[3];
  const UINT ids[3] = {1010, 1011, 1118};
  LOGFONTW lf;
  InitLogFont(&lf, 24, false);
  HFONT font = CreateFontIndirectW(&lf);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(buttons[i].Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                  RECT{10 + 90 * i, 180, 90 + 90 * i, 210}, &host_, ids[i]));
    buttons[i].SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  buttons[1].SetFocus();
  QvComSplitCtrl split;
  ASSERT_TRUE(split.Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, RECT{0, 0, 1, 1}, &host_));
  split.SetPanes(Make(WS_CHILD | WS_VISIBLE | WS_BORDER, host_, {0, 0, 1, 1}),
                 Make(WS_CHILD | WS_VISIBLE | WS_BORDER, host_, {0, 0, 1, 1}));
  split.Layout({10, 230, 470, 780}, 1, 100, 100, -1, true);
  host_.UpdateWindow();
  Run();
  EXPECT_TRUE(flexible.IsTruncated());
  EXPECT_EQ(flexible.GetLineCount(), 2);
  EXPECT_TRUE(qv::seams::SaveScreenPng(BuildFile("foundation-controls.png")));
  DeleteObject(font);
}

}  // namespace
}  // namespace qv::test
