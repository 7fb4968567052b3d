// The list box, combo box, tree and image list wrappers over their
// controls: texts into the framework's strings, data words and pointers,
// and the image list object a tree hands back.
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using ListWrappers = FrameworkTest;

TEST_F(ListWrappers, TextsDataAndImageListsThroughTheWrappers) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  CListBox list;
  CComboBox combo;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LBS_NOTIFY, CRect(0, 0, 200, 200), &parent, 1));
  ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 220, 200, 420), &parent, 2));
  int marker = 0;
  const std::wstring texts[] = {L"", L"顔文字 (^_^)", std::wstring(300, L'あ')};
  for (const std::wstring& text : texts) {
    const int at = list.AddString(text.c_str());
    EXPECT_EQ(combo.AddString(text.c_str()), at);
    list.SetItemDataPtr(at, &marker);
    combo.SetItemData(at, static_cast<DWORD_PTR>(at) + 7);
    CString back;
    list.GetText(at, back);
    EXPECT_EQ(std::wstring(back), text);
    combo.GetLBText(at, back);
    EXPECT_EQ(std::wstring(back), text);
    EXPECT_EQ(list.GetItemDataPtr(at), &marker);
    EXPECT_EQ(combo.GetItemData(at), static_cast<DWORD_PTR>(at) + 7);
  }
  CString none = L"x";
  list.GetText(9, none);
  EXPECT_TRUE(none.IsEmpty());

  CTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, CRect(200, 0, 480, 400), &parent, 3));
  HTREEITEM box = tree.InsertItem(L"受信ボックス", 4, 4);
  HTREEITEM folder = tree.InsertItem(texts[2].c_str(), 5, 5, box);
  tree.SetItemData(folder, 0x1234);
  EXPECT_EQ(tree.GetItemData(folder), 0x1234u);
  EXPECT_EQ(std::wstring(tree.GetItemText(folder)), texts[2]);  // longer than a first guess
  EXPECT_TRUE(tree.ItemHasChildren(box));
  EXPECT_FALSE(tree.ItemHasChildren(folder));
  EXPECT_EQ(tree.GetParentItem(folder), box);
  int image = 0, selected = 0;
  EXPECT_TRUE(tree.GetItemImage(folder, image, selected));
  EXPECT_EQ(image, 5);
  EXPECT_TRUE(tree.SelectItem(folder));
  EXPECT_EQ(tree.GetItemState(box, TVIS_EXPANDED), TVIS_EXPANDED);  // opened to show the selection

  CImageList images;
  ASSERT_TRUE(images.Create(32, 32, ILC_COLOR32 | ILC_MASK, 4, 4));
  EXPECT_EQ(tree.SetImageList(&images, TVSIL_NORMAL), nullptr);
  EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL), &images);
  // A list no object holds comes back as a stand-in that leaves it alone.
  HIMAGELIST bare = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
  CImageList* standIn = CImageList::FromHandle(bare);
  ASSERT_NE(standIn, nullptr);
  EXPECT_FALSE(standIn->DeleteImageList());
  EXPECT_EQ(ImageList_GetImageCount(bare), 0);
  EXPECT_TRUE(ImageList_Destroy(bare));
  tree.SetImageList(nullptr, TVSIL_NORMAL);
  parent.DestroyWindow();
}

// The capture wrappers: the pointer's messages go to the capturing window
// wherever the pointer is, until it is released.
TEST_F(ListWrappers, CaptureWrappersTakeAndGiveBackThePointer) {
  struct Counting : CWnd {
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_MOUSEMOVE) ++moves;
      return CWnd::WindowProc(message, wParam, lParam);
    }
    int moves = 0;
  };
  Counting parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  Counting left;
  Counting right;
  ASSERT_TRUE(left.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 240, 800), &parent, 1));
  ASSERT_TRUE(right.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(240, 0, 480, 800), &parent, 2));
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
  EXPECT_EQ(left.SetCapture(), nullptr);
  EXPECT_EQ(CWnd::GetCapture(), &left);
  qv::seams::InjectPointer(WM_MOUSEMOVE, {400, 100});  // over the right one
  qv::seams::PumpMessages();
  EXPECT_EQ(left.moves, 1);
  EXPECT_EQ(right.moves, 0);
  EXPECT_TRUE(CWnd::ReleaseCapture());
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
  qv::seams::InjectPointer(WM_MOUSEMOVE, {410, 100});
  qv::seams::PumpMessages();
  EXPECT_EQ(left.moves, 1);
  EXPECT_EQ(right.moves, 1);
  parent.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
