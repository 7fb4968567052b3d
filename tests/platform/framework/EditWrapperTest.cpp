// The edit wrappers over the real controls: selection, lines and the rich
// edit's own calls reach the control and come back as the control keeps them.
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
