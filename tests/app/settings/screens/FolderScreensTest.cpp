// The folder trees, the folder order page and the mail-folder name dialog
// through their windows, over an account made through the engine (three
// user folders below each box).
#include <algorithm>

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/QvSetMessageFolderNameDlg.h"
#include "app/shell/folderorder/QvSortFolderPage.h"
#include "app/shell/foldertree/QvDropDownFolderTreeCtrl.h"
#include "tests/app/settings/screens/ScreensFixture.h"

namespace qv::test {
namespace {

// The trees' parent: keeps what they tell it.
class TreeParent : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kHideFolderTreeMessage) hides.emplace_back(wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<std::pair<WPARAM, LPARAM>> hides;
};

// A tree whose hold gesture and box hook a test sees.
class ProbeTree : public QvDropDownFolderTreeCtrl {
 public:
  bool OnBoxToggled(DWORD id) override {
    toggled.push_back(id);
    return true;
  }
  bool IsHold(CPoint) override { return hold; }
  std::vector<DWORD> toggled;
  bool hold = false;
};

class FolderScreensTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    ASSERT_TRUE(parent_.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800), nullptr, 0));
  }
  void TearDown() override {
    if (parent_.m_hWnd) parent_.DestroyWindow();
    ScreensTest::TearDown();
  }
  // Both boxes in a tree of the parent.
  void Fill(ProbeTree& tree) {
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASLINES | TVS_HASBUTTONS, CRect(0, 0, 480, 700),
                            &parent_, 1215));
    ASSERT_TRUE(tree.AddBoxFolders(kReceiveBox));
    ASSERT_TRUE(tree.AddBoxFolders(kSendBox));
  }
  static void Tap(CTreeCtrl& tree, HTREEITEM item) {
    CRect r;
    ASSERT_TRUE(tree.GetItemRect(item, &r, TRUE));
    POINT p{r.left + 4, r.top + r.Height() / 2};
    ClientToScreen(tree.m_hWnd, &p);
    qv::seams::InjectTap(p);
    qv::seams::PumpMessages();
  }
  static bool Expanded(CTreeCtrl& tree, HTREEITEM item) {
    return (tree.GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  }
  std::vector<std::wstring> Names(int kind) {
    std::vector<QvFolderItem> items;
    EXPECT_TRUE(GetOrderedFolderItems(kind, &items));
    std::vector<std::wstring> names;
    for (const QvFolderItem& item : items) names.emplace_back(item.name.GetString());
    return names;
  }

  TreeParent parent_;
};

// --- Trees ---------------------------------------------------------------------------

TEST_F(FolderScreensTest, EachBoxHoldsItsFoldersInTheUsersOrder) {
  for (int kind : {kReceiveBox, kSendBox}) {
    Ids children = kind == kReceiveBox ? work_.receiveChildren : work_.sendChildren;
    std::reverse(children.begin(), children.end());
    WriteFolderOrderFile(kind, std::vector<unsigned long>(children.begin(), children.end()));
    // Made by the control (receive box), or by a dialog's template and taken over (send box).
    QvFolderTreeCtrl tree;
    if (kind == kReceiveBox) {
      ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 480, 400), &parent_, 1217));
    } else {
      ASSERT_TRUE(::CreateWindowExW(0, L"SysTreeView32", L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 400, parent_.m_hWnd,
                                    reinterpret_cast<HMENU>(1217), nullptr, nullptr));
      ASSERT_TRUE(tree.SubclassFolderTree(1217, &parent_));
    }
    EXPECT_TRUE(tree.GetStyle() & TVS_SHOWSELALWAYS);
    EXPECT_NE(tree.GetImageList(TVSIL_NORMAL), nullptr);
    EXPECT_EQ(tree.AddBoxFolders(5), nullptr);
    HTREEITEM box = tree.AddBoxFolders(kind);
    ASSERT_TRUE(box);
    EXPECT_EQ(tree.GetRootItem(), box);
    EXPECT_EQ(tree.GetItemData(box), work_.trays[kind]);
    EXPECT_TRUE(Expanded(tree, box));
    int image = -1, selected = -1;
    tree.GetItemImage(box, image, selected);
    EXPECT_EQ(std::make_pair(image, selected), std::make_pair(4, 4));
    std::vector<DWORD_PTR> ids;
    std::vector<std::wstring> names;
    for (HTREEITEM c = tree.GetChildItem(box); c; c = tree.GetNextSiblingItem(c)) {
      ids.push_back(tree.GetItemData(c));
      names.emplace_back(tree.GetItemText(c).GetString());
      tree.GetItemImage(c, image, selected);
      EXPECT_EQ(std::make_pair(image, selected), std::make_pair(5, 5));
    }
    EXPECT_EQ(ids, std::vector<DWORD_PTR>(children.begin(), children.end())) << kind;
    EXPECT_EQ(names, Names(kind));
    tree.DestroyWindow();
  }
}

TEST_F(FolderScreensTest, SelectingAFolderFindsItAnywhereOrLeavesTheRoot) {
  ProbeTree tree;
  Fill(tree);
  const DWORD deep = static_cast<DWORD>(work_.sendChildren[2]);
  const DWORD first = static_cast<DWORD>(work_.receiveChildren[0]);
  struct Case {
    DWORD id;
    bool found;
    DWORD selected;    // the selection afterwards
    DWORD remembered;  // the drop-down's memory afterwards
  } cases[] = {
      {deep, true, deep, deep},
      {work_.trays[kSendBox], true, work_.trays[kSendBox], work_.trays[kSendBox]},
      {9999, false, work_.trays[kReceiveBox], work_.trays[kSendBox]},  // the root is left selected
      {first, true, first, first},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tree.SelectFolder(c.id), c.found) << c.id;
    DWORD selected = 0;
    EXPECT_TRUE(tree.GetSelectedFolder(&selected));
    EXPECT_EQ(selected, c.selected) << c.id;
    EXPECT_EQ(tree.RememberedFolder(), c.remembered) << c.id;
  }
  QvFolderItem folder;
  ASSERT_TRUE(GetFolderItem(work_.receiveChildren[0], &folder));
  EXPECT_EQ(tree.GetSelectedFolderName(), folder.name);
  // Moved off the remembered folder, the drop-down goes back to it.
  tree.SelectItem(tree.GetRootItem());
  tree.RestoreSelection();
  DWORD selected = 0;
  ASSERT_TRUE(tree.GetSelectedFolder(&selected));
  EXPECT_EQ(selected, work_.receiveChildren[0]);
}

TEST_F(FolderScreensTest, TapsOpenAndCloseABoxAndAHoldOnlySelects) {
  ProbeTree tree;
  Fill(tree);
  HTREEITEM receive = tree.GetRootItem();
  HTREEITEM send = tree.GetNextSiblingItem(receive);
  HTREEITEM folder = tree.GetChildItem(receive);
  const DWORD box = work_.trays[kReceiveBox];
  struct Step {
    HTREEITEM item;
    bool hold;
    bool expanded;  // the tapped item's box afterwards
    size_t toggles;
  } steps[] = {
      {receive, false, true, 0},  // open, not yet selected: it is selected, stays open
      {receive, false, false, 1},  // open and selected: closed
      {receive, false, true, 2},  // closed: opened
      {folder, false, true, 2},   // a folder: selected only
      {send, true, true, 2},      // held: selected, left open
  };
  for (const Step& s : steps) {
    tree.hold = s.hold;
    Tap(tree, s.item);
    EXPECT_EQ(tree.GetSelectedItem(), s.item);
    EXPECT_EQ(Expanded(tree, s.item == folder ? receive : s.item), s.expanded);
    EXPECT_EQ(tree.toggled.size(), s.toggles);
  }
  EXPECT_EQ(tree.toggled, (std::vector<DWORD>{box, box}));
  EXPECT_EQ(parent_.hides.size(), 4u) << "each tap chose its item; the hold did not";
}

TEST_F(FolderScreensTest, TheDropDownReportsAChoiceAndKeepsKeysThatWouldDoNothing) {
  ProbeTree tree;
  Fill(tree);
  HTREEITEM receive = tree.GetRootItem();
  HTREEITEM send = tree.GetNextSiblingItem(receive);
  HTREEITEM first = tree.GetChildItem(receive);
  HTREEITEM last = tree.GetChildItem(send);
  while (tree.GetNextSiblingItem(last)) last = tree.GetNextSiblingItem(last);
  struct Case {
    HTREEITEM at;
    UINT key;
    bool taken;
  } cases[] = {
      {receive, VK_UP, true},     {receive, VK_LEFT, false}, {receive, VK_RIGHT, false},
      {receive, VK_DOWN, false},  {first, VK_LEFT, true},    {first, VK_RIGHT, true},
      {first, VK_UP, false},      {last, VK_DOWN, true},     {last, VK_UP, false},
      {last, 'A', false},
  };
  for (const Case& c : cases) {
    tree.SelectItem(c.at);
    MSG msg{tree.m_hWnd, WM_KEYDOWN, c.key, 0, 0, {}};
    EXPECT_EQ(tree.PreTranslateMessage(&msg) != FALSE, c.taken) << tree.GetItemText(c.at).GetString() << c.key;
  }
  // A closed box: Left does nothing, and as the last row Down neither.
  tree.Expand(send, TVE_COLLAPSE);
  tree.SelectItem(send);
  for (UINT key : {VK_LEFT, VK_DOWN}) {
    MSG msg{tree.m_hWnd, WM_KEYDOWN, key, 0, 0, {}};
    EXPECT_TRUE(tree.PreTranslateMessage(&msg)) << key;
    EXPECT_EQ(tree.GetSelectedItem(), send);
  }
  // A tap on a folder and Enter report the choice with the tree's id.
  Tap(tree, first);
  tree.SetFocus();
  qv::seams::InjectKey(VK_RETURN, true);
  qv::seams::InjectKey(VK_RETURN, false);
  qv::seams::PumpMessages();
  using Hide = std::pair<WPARAM, LPARAM>;
  EXPECT_EQ(parent_.hides, (std::vector<Hide>{{1215, 1}, {1215, 1}}));
  // Placed under a control: one pixel over it, as wide, 196 high.
  CWnd combo;
  ASSERT_TRUE(combo.Create(L"STATIC", L"", WS_CHILD | WS_VISIBLE, CRect(12, 50, 312, 90), &parent_, 1214));
  tree.PlaceBelow(&combo);
  CRect placed;
  tree.GetWindowRect(&placed);
  ::MapWindowPoints(nullptr, parent_.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed, CRect(12, 89, 312, 89 + QvDropDownFolderTreeCtrl::kDropHeight));
  tree.SelectFolder(work_.receiveChildren[1]);
  parent_.UpdateWindow();
  tree.UpdateWindow();
  EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("folder-tree.png")));
}

// --- The folder order page -------------------------------------------------------------

TEST_F(FolderScreensTest, TheOrderPageMovesFoldersBelowTheBoxAndStoresThem) {
  const Ids& f = work_.receiveChildren;
  QvSortFolderPage page(kReceiveBox);
  QvSinglePropertySheet sheet(QvSortFolderPage::kCaption, owner_);
  sheet.AddPage(&page);
  auto ids = [&] {
    std::vector<DWORD_PTR> out;
    for (int i = 0; i < page.List().GetItemCount(); ++i) out.push_back(page.List().GetItemData(i));
    return out;
  };
  auto on = [&](int id) { return ::IsWindowEnabled(::GetDlgItem(page.m_hWnd, id)) != FALSE; };
  auto isDefault = [&](int id) {
    return (::GetWindowLongW(::GetDlgItem(page.m_hWnd, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  };
  auto press = [&](int id) {
    ::SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(page.m_hWnd, id)));
  };
  std::vector<std::pair<bool, bool>> enabling;
  std::vector<DWORD_PTR> first, afterUp, afterUpUp, afterNothing;
  bool noDefault = false, upDefault = false, downDefault = false, upFocused = false, downFocused = false;
  int selectedAfterUp = -1;
  // Turned to landscape and back: the list and the buttons stay on the page.
  std::vector<bool> fits;
  auto fitted = [&] {
    CRect client, list, down;
    page.GetClientRect(&client);
    page.List().GetWindowRect(&list);
    ::GetWindowRect(::GetDlgItem(page.m_hWnd, QvSortFolderPage::kDownId), &down);
    ::MapWindowPoints(nullptr, page.m_hWnd, reinterpret_cast<POINT*>(&list), 2);
    ::MapWindowPoints(nullptr, page.m_hWnd, reinterpret_cast<POINT*>(&down), 2);
    return list.right <= client.right && down.right <= client.right && down.bottom <= client.bottom &&
           list.bottom <= down.top && client.Width() > 400;
  };
  Script() = {[&] {
                fits.push_back(fitted());
                qv::seams::SetLandscape(true);
              },
              [&] {
                fits.push_back(fitted());
                ::UpdateWindow(sheet.m_hWnd);
                EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("folder-order-landscape.png")));
                qv::seams::SetLandscape(false);
              },
              [&] {
                fits.push_back(fitted());
                first = ids();
                EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath("folder-order.png")));
                noDefault = !isDefault(QvSortFolderPage::kUpId) && !isDefault(QvSortFolderPage::kDownId);
                for (int i = 0; i < 4; ++i) {
                  page.List().SelectRow(i);
                  enabling.emplace_back(on(QvSortFolderPage::kUpId), on(QvSortFolderPage::kDownId));
                }
                press(QvSortFolderPage::kUpId);  // the last folder up
                afterUp = ids();
                selectedAfterUp = page.List().GetSelectedIndex();
                upDefault = isDefault(QvSortFolderPage::kUpId);
                upFocused = ::GetFocus() == ::GetDlgItem(page.m_hWnd, QvSortFolderPage::kUpId);
                press(QvSortFolderPage::kUpId);  // to the top of the folders: Up goes off
                afterUpUp = ids();
                downDefault = isDefault(QvSortFolderPage::kDownId) && !isDefault(QvSortFolderPage::kUpId);
                downFocused = ::GetFocus() == ::GetDlgItem(page.m_hWnd, QvSortFolderPage::kDownId);
                press(QvSortFolderPage::kUpId);  // the first folder never passes the box
                page.List().SelectRow(0);
                press(QvSortFolderPage::kDownId);  // nor does the box move
                afterNothing = ids();
                ::PostMessageW(page.m_hWnd, WM_COMMAND, IDOK, 0);  // the soft key
              }};
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(fits, (std::vector<bool>{true, true, true}));
  const DWORD root = work_.trays[kReceiveBox];
  EXPECT_EQ(first, (std::vector<DWORD_PTR>{root, f[0], f[1], f[2]}));
  EXPECT_TRUE(noDefault);
  using E = std::pair<bool, bool>;
  EXPECT_EQ(enabling, (std::vector<E>{{false, false}, {false, true}, {true, true}, {true, false}}));
  EXPECT_EQ(afterUp, (std::vector<DWORD_PTR>{root, f[0], f[2], f[1]}));
  EXPECT_EQ(selectedAfterUp, 2);
  EXPECT_TRUE(upDefault && upFocused);
  EXPECT_EQ(afterUpUp, (std::vector<DWORD_PTR>{root, f[2], f[0], f[1]}));
  EXPECT_TRUE(downDefault && downFocused);
  EXPECT_EQ(afterNothing, afterUpUp);
  std::vector<unsigned long> stored;
  ReadFolderOrderFile(kReceiveBox, &stored);
  EXPECT_EQ(stored, (std::vector<unsigned long>{f[2], f[0], f[1]}));
}

TEST_F(FolderScreensTest, TheOrderIsStoredOnlyOnOk) {
  // How the sheet ends: the soft keys' OK and cancel, and Back.
  const struct {
    UINT message;
    WPARAM wParam;
    bool stored;
  } ends[] = {{WM_COMMAND, IDOK, true}, {WM_COMMAND, IDCANCEL, false}, {kBackMessage, 0, false}};
  for (int kind : {kReceiveBox, kSendBox}) {
    const Ids& f = kind == kReceiveBox ? work_.receiveChildren : work_.sendChildren;
    for (const auto& end : ends) {
      WriteFolderOrderFile(kind, {});
      Script() = {[&] {
        HWND sheet = ::GetActiveWindow();
        HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(::GetDlgItem(page, QvSortFolderPage::kListId), LVM_SETITEMSTATE, 3,
                       reinterpret_cast<LPARAM>(&item));
        ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(QvSortFolderPage::kUpId, BN_CLICKED), 0);
        ::PostMessageW(page, end.message, end.wParam, 0);
      }};
      EXPECT_EQ(RunFolderOrderPage(owner_, kind), end.stored) << kind << " " << end.message;
      std::vector<unsigned long> stored;
      ReadFolderOrderFile(kind, &stored);
      const std::vector<unsigned long> moved{f[0], f[2], f[1]};
      EXPECT_EQ(stored, end.stored ? moved : std::vector<unsigned long>());
    }
  }
}

// --- Mail-folder names -------------------------------------------------------------

TEST_F(FolderScreensTest, ASiblingsNameIsRefusedWhateverTheCaseOfItsLetters) {
  DWORD made = 0;
  ASSERT_TRUE(CreateSubFolder(work_.trays[kReceiveBox], L"Work", &made));
  const std::wstring other = Names(kReceiveBox)[0];
  struct Case {
    std::wstring current;  // empty: a new folder
    std::wstring typed;
    bool accepted;
  } cases[] = {
      {L"", L"work", false},   {L"", L"WORK", false}, {L"", L"Works", true},
      {L"Work", L"work", true},  // its own name in other letters
      {other, L"wORK", false},   {L"Work", L"Work", true},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvSetMessageFolderNameDlg dialog(owner_);
    dialog.SetParentFolder(work_.trays[kReceiveBox]);
    dialog.SetName(c.current);
    Script() = {[&] {
      if (&c == &cases[0]) {
        for (bool landscape : {false, true}) {
          qv::seams::SetLandscape(landscape);
          qv::seams::PumpMessages();
          // The field inside the dialog, the dialog on the screen.
          CRect client, field, window;
          dialog.GetClientRect(&client);
          ::GetWindowRect(::GetDlgItem(dialog.m_hWnd, QvSetFolderNameDlg::kNameField), &field);
          ::MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&field), 2);
          dialog.GetWindowRect(&window);
          EXPECT_TRUE(field.left >= 0 && field.right <= client.right && field.bottom <= client.bottom) << landscape;
          EXPECT_TRUE(window.left >= 0 && window.top >= 0 && window.right <= GetSystemMetrics(SM_CXSCREEN) &&
                      window.bottom <= GetSystemMetrics(SM_CYSCREEN))
              << landscape;
          ::UpdateWindow(dialog.m_hWnd);
          EXPECT_TRUE(qv::seams::SaveScreenPng(PngPath(landscape ? "folder-name-landscape.png" : "folder-name.png")));
        }
        qv::seams::SetLandscape(false);
      }
      ::SetDlgItemTextW(dialog.m_hWnd, QvSetFolderNameDlg::kNameField, c.typed.c_str());
      ::PostMessageW(dialog.m_hWnd, WM_COMMAND, IDOK, 0);
    }};
    EXPECT_EQ(dialog.DoModal(), c.accepted ? IDOK : IDCANCEL) << c.typed;
    EXPECT_TRUE(c.accepted ? boxes_.empty() : OneBoxSaid(20048)) << c.typed;
  }
}

}  // namespace
}  // namespace qv::test
