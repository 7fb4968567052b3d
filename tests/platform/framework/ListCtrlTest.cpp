// The list control's wrapper: texts of any length come back whole, item
// data and check marks round-trip, the selected items walk in order, and an
// owner-drawn list draws its own rows through DrawItem.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using ListCtrls = FrameworkTest;

class RowsCtrl : public CListCtrl {
 public:
  void DrawItem(LPDRAWITEMSTRUCT dis) override { Called("row " + std::to_string(dis->itemID)); }
};

TEST_F(ListCtrls, TextsDataChecksAndSelectionThroughTheWrapper) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 600), nullptr, 0));
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 480, 600), &parent, 7));
  list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  ASSERT_EQ(list.InsertColumn(0, L"件名", LVCFMT_LEFT, 300), 0);
  ASSERT_EQ(list.InsertColumn(1, L"差出人", LVCFMT_RIGHT, 150), 1);
  const std::wstring longText(1000, L'長');
  struct Row {
    const wchar_t* subject;
    std::wstring from;
    DWORD_PTR data;
    BOOL checked;
    bool selected;
  };
  const Row rows[] = {{L"お知らせ", L"山田", 11, TRUE, true}, {L"会議", longText, 22, FALSE, false},
                      {L"週報", L"", 33, TRUE, true}};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(list.InsertItem(i, rows[i].subject), i);
    list.SetItemText(i, 1, rows[i].from.c_str());
    list.SetItemData(i, rows[i].data);
    list.SetCheck(i, rows[i].checked);
    if (rows[i].selected) list.SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
  }
  std::vector<int> selected;
  for (POSITION pos = list.GetFirstSelectedItemPosition(); pos;) selected.push_back(list.GetNextSelectedItem(pos));
  EXPECT_EQ(selected, (std::vector<int>{0, 2}));
  EXPECT_EQ(list.GetSelectedCount(), 2u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(std::wstring(list.GetItemText(i, 0)), rows[i].subject);
    EXPECT_EQ(std::wstring(list.GetItemText(i, 1)), rows[i].from) << i;
    EXPECT_EQ(list.GetItemData(i), rows[i].data);
    EXPECT_EQ(list.GetCheck(i), rows[i].checked) << i;
  }
  CRect r;
  ASSERT_TRUE(list.GetItemRect(1, &r, LVIR_BOUNDS));
  EXPECT_EQ(list.HitTest(CPoint(r.left + 100, r.top + 2)), 1);
  parent.DestroyWindow();
}

TEST_F(ListCtrls, AnOwnerDrawnListDrawsItsRowsItself) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"親", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 600), nullptr, 0));
  RowsCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(0, 0, 480, 600), &parent, 7));
  list.InsertColumn(0, L"", LVCFMT_LEFT, 480);
  list.InsertItem(0, L"一");
  list.InsertItem(1, L"二");
  Pump();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"row 0", "row 1"}));
  parent.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
