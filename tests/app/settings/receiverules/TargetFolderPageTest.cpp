// The target folder page in its single-page sheet over an open account:
// which side the preselected folder checks, what OK gives back for each
// choice, the refusal of a name the box holds in any case, the enabling
// rule, the drop-down trees, the limit of the name and of user folders,
// and the sheet's title from its use.
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "tests/app/settings/receiverules/SettingsFixture.h"

namespace qv::test {
namespace {

using Page = QvSetTargetFolderPage;

class TargetFolderPageTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    account_ = MakeAccount(L"仕事");
    ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
    ASSERT_TRUE(CreateSubFolder(account_.trays[kReceiveBox], L"Work", &work_));
    ASSERT_TRUE(CreateSubFolder(account_.trays[kSendBox], L"送信控え", &sent_));
  }
  static bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
  static void Type(HWND field, const std::wstring& text) {
    SetFocus(field);
    for (wchar_t c : text) SendMessageW(field, WM_CHAR, c, 0);
  }

  TestAccount account_;
  DWORD work_ = 0;
  DWORD sent_ = 0;
};

TEST_F(TargetFolderPageTest, EachChoiceGivesItsFolderOrIsRefused) {
  struct Case {
    const char* name;
    int preselect;  // 0 none, 1 the receive box's "Work", 2 the send box's "送信控え"
    bool newFolder;
    int box;  // 1129's item for a new folder
    const wchar_t* typed;
    INT_PTR end;
    int side;  // the side checked when the page opened
    int wantFolder;  // 1 "Work", 2 "送信控え", 3 the receive box itself
    bool wantNew;
    std::vector<UINT> wantBoxes;
  } cases[] = {
      {"a receive box folder", 1, false, 0, L"", IDOK, Page::kReceiveSide, 1, false, {}},
      {"a send box folder checks the send side", 2, false, 0, L"", IDOK, Page::kSendSide, 2, false, {}},
      {"nothing preselected: the receive box", 0, false, 0, L"", IDOK, Page::kReceiveSide, 3, false, {}},
      {"a new name", 0, true, 0, L"Private", IDOK, Page::kReceiveSide, 0, true, {}},
      {"a name the box holds", 0, true, 0, L"Work", IDCANCEL, Page::kReceiveSide, 0, false, {20048}},
      {"a name the box holds in another case", 0, true, 0, L"wORK", IDCANCEL, Page::kReceiveSide, 0, false, {20048}},
      {"the same name under the other box", 0, true, 1, L"work", IDOK, Page::kReceiveSide, 0, true, {}},
      {"no name: cancelled", 0, true, 0, L"", IDCANCEL, Page::kReceiveSide, 0, false, {}},
  };
  const DWORD folders[] = {0, work_, sent_, account_.trays[kReceiveBox]};
  bool pictured = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    QvSinglePropertySheet sheet(L"", owner_);
    auto* page = new Page;
    page->existingText = L"既存のフォルダにインポートする";
    page->newText = L"フォルダを新規作成してインポートする";
    page->folderId = folders[c.preselect];
    sheet.SetupPage(L"インポート", page);
    int side = 0;
    DWORD selection = 0;
    bool stayed = false;
    Script() = {[&] {
                  side = page->GetCheckedRadioButton(Page::kReceiveSide, Page::kSendSide);
                  if (!pictured) Picture("app-targetfolder.png");
                  pictured = true;
                  if (c.newFolder) {
                    SendDlgItemMessageW(page->m_hWnd, Page::kNewChoice, BM_CLICK, 0, 0);
                    SendDlgItemMessageW(page->m_hWnd, Page::kBoxCombo, CB_SETCURSEL, c.box, 0);
                    SetDlgItemTextW(page->m_hWnd, Page::kNameField, c.typed);
                  }
                  PostMessageW(page->m_hWnd, WM_COMMAND, IDOK, 0);
                },
                [&] {
                  stayed = IsWindow(sheet.m_hWnd) != FALSE;
                  if (!stayed) return;
                  selection = static_cast<DWORD>(SendDlgItemMessageW(page->m_hWnd, Page::kNameField, EM_GETSEL, 0, 0));
                  sheet.EndDialog(IDCANCEL);
                }};
    EXPECT_EQ(sheet.DoModal(), c.end);
    Script().clear();
    EXPECT_EQ(side, c.side);
    ASSERT_EQ(boxes_.size(), c.wantBoxes.size());
    if (!c.wantBoxes.empty()) {
      EXPECT_EQ(boxes_[0], Res(c.wantBoxes[0]));
      EXPECT_TRUE(stayed);
      EXPECT_EQ(selection, MAKELONG(0, std::wstring(c.typed).size())) << "the whole name is selected";
    }
    if (c.end != IDOK) continue;
    if (c.wantNew) {
      EXPECT_EQ(page->mode, Page::kNewFolder);
      EXPECT_EQ(page->newName, c.typed);
      EXPECT_EQ(page->parentId, account_.trays[c.box == 1 ? kSendBox : kReceiveBox]);
    } else {
      EXPECT_EQ(page->mode, Page::kExistingFolder);
      EXPECT_EQ(page->folderId, folders[c.wantFolder]);
    }
  }
  EXPECT_EQ(QvSinglePropertySheet::Caption(QvSinglePropertySheet::Use::kPage), L"インポート");
}

TEST_F(TargetFolderPageTest, ChoicesEnableTheirControlsAndTheTreeDropsDownUnderItsCombo) {
  QvSinglePropertySheet sheet(L"", owner_);
  auto* page = new Page;
  sheet.SetupPage(L"移動", page);
  struct Step {
    int click;
    std::vector<int> on, off;
  } steps[] = {
      {0, {Page::kReceiveSide, Page::kSendSide, Page::kReceiveCombo}, {Page::kSendCombo, Page::kBoxCombo, Page::kNameField}},
      {Page::kSendSide, {Page::kSendCombo}, {Page::kReceiveCombo, Page::kBoxCombo}},
      {Page::kNewChoice, {Page::kBoxCombo, Page::kNameField}, {Page::kReceiveSide, Page::kSendSide, Page::kSendCombo}},
      {Page::kExistingChoice, {Page::kSendCombo, Page::kSendSide}, {Page::kNameField, Page::kReceiveCombo}},
      {Page::kReceiveSide, {Page::kReceiveCombo}, {Page::kSendCombo}},
  };
  HWND tree = nullptr, combo = nullptr;
  bool shown = false, focused = false, below = false, hiddenAfter = false;
  std::wstring path;
  DWORD chosen = 0;
  WCHAR title[64] = {};
  Script().push_back([&] {
    GetWindowTextW(sheet.m_hWnd, title, 64);
    for (const Step& s : steps) {
      if (s.click) SendDlgItemMessageW(page->m_hWnd, s.click, BM_CLICK, 0, 0);
      for (int id : s.on) EXPECT_TRUE(Enabled(page->m_hWnd, id)) << s.click << " " << id;
      for (int id : s.off) EXPECT_FALSE(Enabled(page->m_hWnd, id)) << s.click << " " << id;
    }
    // An 11th character cannot be typed.
    SendDlgItemMessageW(page->m_hWnd, Page::kNewChoice, BM_CLICK, 0, 0);
    Type(GetDlgItem(page->m_hWnd, Page::kNameField), L"あいうえおかきくけこさ");
    EXPECT_EQ(ItemText(page->m_hWnd, Page::kNameField), L"あいうえおかきくけこ");
    SendDlgItemMessageW(page->m_hWnd, Page::kExistingChoice, BM_CLICK, 0, 0);
    combo = GetDlgItem(page->m_hWnd, Page::kReceiveCombo);
    tree = GetDlgItem(page->m_hWnd, Page::kReceiveTree);
    SendMessageW(page->m_hWnd, WM_COMMAND, MAKEWPARAM(Page::kReceiveCombo, CBN_DROPDOWN), reinterpret_cast<LPARAM>(combo));
  });
  Script().push_back([&] {
    shown = IsWindowVisible(tree) != FALSE;
    focused = GetFocus() == tree;
    RECT c{}, t{};
    GetWindowRect(combo, &c);
    GetWindowRect(tree, &t);
    below = t.top == c.bottom - 1 && t.left == c.left && t.bottom - t.top == QvDropDownFolderTreeCtrl::kDropHeight;
    Picture("app-targetfolder-tree.png");
    // The user's choice: the tree's next item, taken.
    const auto root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    const auto child = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, root);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, child);
    SendMessageW(page->m_hWnd, kHideFolderTreeMessage, Page::kReceiveTree, 1);
    hiddenAfter = IsWindowVisible(tree) == FALSE && GetFocus() == combo;
    TVITEMW item{};
    item.mask = TVIF_PARAM;
    item.hItem = reinterpret_cast<HTREEITEM>(child);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    chosen = static_cast<DWORD>(item.lParam);
    WCHAR text[128] = {};
    GetWindowTextW(combo, text, 128);
    path = text;
    sheet.EndDialog(IDCANCEL);
  });
  sheet.DoModal();
  EXPECT_STREQ(title, L"移動");
  EXPECT_TRUE(shown);
  EXPECT_TRUE(focused);
  EXPECT_TRUE(below);
  EXPECT_TRUE(hiddenAfter);
  CString want;
  ASSERT_TRUE(GetFolderDisplayPath(chosen, &want));
  EXPECT_NE(chosen, account_.trays[kReceiveBox]);
  EXPECT_EQ(path, want.GetString());
}

TEST_F(TargetFolderPageTest, TwentyUserFoldersLeaveNoNewFolderChoice) {
  // With the test account's own folders, up to 20 in both boxes.
  for (int made = CountUserFolders(); made < Page::kMaxUserFolders; ++made) {
    DWORD id = 0;
    ASSERT_TRUE(CreateSubFolder(account_.trays[kReceiveBox], L"f" + std::to_wstring(made), &id));
  }
  for (const bool full : {true, false}) {
    if (!full) {
      std::vector<QvFolderItem> folders;
      ASSERT_TRUE(GetOrderedFolderItems(kReceiveBox, &folders));
      ASSERT_TRUE(RemoveFolder(folders.back().folderId));
    }
    QvSinglePropertySheet sheet(L"", owner_);
    auto* page = new Page;
    sheet.SetupPage(L"x", page);
    bool enabled = true;
    Script() = {[&] {
      enabled = Enabled(page->m_hWnd, Page::kNewChoice);
      sheet.EndDialog(IDCANCEL);
    }};
    sheet.DoModal();
    EXPECT_EQ(enabled, !full);
  }
}

TEST_F(TargetFolderPageTest, BackCancelsUnlessTheNameFieldIsOnAndHoldsText) {
  struct Case {
    bool newFolder;
    const wchar_t* typed;
    bool cancels;
  } cases[] = {{true, L"ab", false}, {true, L"", true}, {false, L"", true}};
  for (const Case& c : cases) {
    QvSinglePropertySheet sheet(L"", owner_);
    auto* page = new Page;
    sheet.SetupPage(L"x", page);
    bool up = false;
    Script() = {[&] {
                  if (c.newFolder) SendDlgItemMessageW(page->m_hWnd, Page::kNewChoice, BM_CLICK, 0, 0);
                  SetDlgItemTextW(page->m_hWnd, Page::kNameField, c.typed);
                  SendMessageW(page->m_hWnd, kBackMessage, 0, 0);
                },
                [&] {
                  up = true;
                  sheet.EndDialog(IDOK);
                }};
    EXPECT_EQ(sheet.DoModal(), c.cancels ? IDCANCEL : IDOK);
    EXPECT_EQ(up, !c.cancels);
    Script().clear();
  }
}

}  // namespace
}  // namespace qv::test
