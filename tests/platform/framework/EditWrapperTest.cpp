// The edit wrappers over the real controls: selection, lines and the rich
// edit's own calls reach the control and come back as the control keeps them.
#include <functional>

#include "platform/kernel/Library.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using EditWrappers = FrameworkTest;

TEST_F(EditWrappers, EditAndRichEditThroughTheirWrappers) {
  CWnd* parent = CWnd::FromHandle(Make(WS_POPUP | WS_VISIBLE));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, CRect(0, 0, 400, 200), parent, 10));
  edit.SetWindowText(L"一行目\r\n二行目");
  edit.SetSel(5, 7);
  int start = 0, end = 0;
  edit.GetSel(start, end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(5, 7));
  EXPECT_EQ(edit.GetLineCount(), 2);
  EXPECT_EQ(edit.LineIndex(1), 5);
  EXPECT_EQ(edit.LineFromChar(6), 1);
  WCHAR line[8] = {};
  EXPECT_EQ(edit.GetLine(1, line, 8), 3);
  EXPECT_EQ(std::wstring(line, 3), L"二行目");
  edit.ReplaceSel(L"段落", TRUE);
  EXPECT_TRUE(edit.CanUndo());
  EXPECT_TRUE(edit.Undo());
  CString text;
  edit.GetWindowText(text);
  EXPECT_EQ(std::wstring(text.GetString()), L"一行目\r\n二行目");
  EXPECT_TRUE(edit.SetReadOnly());
  EXPECT_TRUE(edit.GetStyle() & ES_READONLY);
  edit.SendMessage(WM_CHAR, L'x', 1);
  edit.ReplaceSel(L"：");  // the program may still change it; the undo left "二行" selected
  edit.GetWindowText(text);
  EXPECT_EQ(std::wstring(text.GetString()), L"一行目\r\n：目");

  ASSERT_NE(LoadLibraryW(RICHEDIT_LIBRARY), nullptr);
  CRichEditCtrl rich;
  ASSERT_TRUE(rich.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, CRect(0, 200, 400, 400), parent, 11));
  EXPECT_TRUE(rich.SetTextMode(TM_PLAINTEXT));
  EXPECT_EQ(rich.GetTextMode() & (TM_PLAINTEXT | TM_RICHTEXT), static_cast<UINT>(TM_PLAINTEXT));
  rich.SetWindowText(L"件名\r\n本文です");
  rich.SetSel(3, 5);
  EXPECT_EQ(std::wstring(rich.GetSelText().GetString()), L"本文");
  EXPECT_EQ(rich.LineFromChar(4), 1);
  EXPECT_EQ(rich.GetTextLength(), 8);
  rich.LimitText(100000);
  EXPECT_EQ(rich.GetLimitText(), 100000);
  EXPECT_EQ(rich.SetEventMask(ENM_CHANGE), 0u);
  EXPECT_EQ(rich.GetEventMask(), static_cast<DWORD>(ENM_CHANGE));
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(const_cast<wchar_t*>(L"貼付\r\n")));
  CloseClipboard();
  rich.PasteSpecial(CF_UNICODETEXT);
  rich.GetWindowText(text);
  EXPECT_EQ(std::wstring(text.GetString()), L"件名\r\n貼付\r\nです");
  const CPoint at = rich.GetCharPos(3);
  EXPECT_EQ(rich.CharFromPos(at), 3);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// The caret wrappers: one caret per thread, its size, place and hide count.
TEST_F(EditWrappers, CaretWrappersReachTheThreadsCaret) {
  CWnd* window = CWnd::FromHandle(Make(WS_POPUP | WS_VISIBLE));
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateBitmap(3, 17, 1, 32, nullptr));
  struct Case {
    const char* what;
    std::function<void()> make;
    POINT at;
    int hides;
    bool shown;
  };
  const Case cases[] = {
      {"solid, shown", [&] { window->CreateSolidCaret(2, 20); }, {5, 7}, 0, true},
      {"gray, hidden once", [&] { window->CreateGrayCaret(2, 20); }, {0, 40}, 1, false},
      {"bitmap, hidden twice", [&] { window->CreateCaret(&bitmap); }, {9, 1}, 2, false},
  };
  for (const Case& c : cases) {
    c.make();
    EXPECT_FALSE(qv::ui::CaretShown(*window)) << c.what << ": a new caret starts hidden";
    window->ShowCaret();
    CWnd::SetCaretPos(c.at);
    for (int i = 0; i < c.hides; ++i) window->HideCaret();
    const CPoint p = CWnd::GetCaretPos();
    EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(c.at.x, c.at.y)) << c.what;
    EXPECT_EQ(qv::ui::CaretShown(*window), c.shown) << c.what;
    for (int i = 0; i < c.hides; ++i) window->ShowCaret();
    EXPECT_TRUE(qv::ui::CaretShown(*window)) << c.what << ": each hide undone by one show";
    DestroyCaret();
  }
}

}  // namespace
}  // namespace qv::test
