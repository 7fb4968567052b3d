// A person's first rule, through the program's own windows from the frame's
// rules command down: the rule list's New, the editor, the folder chosen
// from the drop-down tree; stored on OK, the rule then files the matching
// mail of the receive box into that folder.
#include "app/mailops/AccountOperations.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/app/QvMailApp.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "app/shell/rules/QvSetAccountClassifyPage.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "platform/base/WideText.h"
#include "tests/app/settings/receiverules/SettingsFixture.h"

namespace qv::test {
namespace {

constexpr UINT kNextStep = WM_APP + 0x21;

// Runs the script's next step when told: a step that opens a modal sheet
// posts this first, so that the following step runs inside the sheet's loop.
LRESULT StepperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kNextStep) {
    TakeStep(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND ActivePage() {
  return reinterpret_cast<HWND>(SendMessageW(GetActiveWindow(), PSM_GETCURRENTPAGEHWND, 0, 0));
}

class FirstRuleTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = StepperProc;
    wc.lpszClassName = L"QvTestStepper";
    RegisterClassW(&wc);
    stepper_ = CreateWindowExW(0, L"QvTestStepper", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(stepper_, nullptr);
  }
  void TearDown() override {
    FrameRunners() = MainFrameRunners{};
    DestroyWindow(stepper_);
    SettingsTest::TearDown();
  }
  void Next() { PostMessageW(stepper_, kNextStep, 0, 0); }

  HWND stepper_ = nullptr;
};

TEST_F(FirstRuleTest, ARuleMadeThroughTheWindowsFilesTheSendersMail) {
  const TestAccount account = MakeAccount(L"仕事");
  ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
  DWORD boss = 0;
  ASSERT_TRUE(CreateSubFolder(account.trays[kReceiveBox], L"Boss", &boss));
  Store(L"仕事", account.trays[kReceiveBox], 3, 3);  // from0@, from1@ and from2@example.com
  InstallScreenRunners();
  ASSERT_TRUE(FrameRunners().classificationRules);

  std::wstring chosenPath;
  Script() = {
      // The rule list: New opens the editor.
      [&] {
        Next();
        SendDlgItemMessageW(ActivePage(), QvSetAccountClassifyPage::kNew, BM_CLICK, 0, 0);
        // Back from the editor: the list keeps the new rule; OK stores it.
        PostMessageW(ActivePage(), WM_COMMAND, IDOK, 0);
      },
      // The editor: name, header, keyword; the destination's button opens the chooser.
      [&] {
        HWND editor = ActivePage();
        SetDlgItemTextW(editor, QvSetClassifyPage::kName, L"上司");
        SetDlgItemTextW(editor, QvSetClassifyPage::kKeyword, L"from1@example.com");
        Next();
        SendDlgItemMessageW(editor, QvSetClassifyPage::kChoose, BM_CLICK, 0, 0);
        chosenPath = ItemText(editor, QvSetClassifyPage::kDestination);
        PostMessageW(editor, WM_COMMAND, IDOK, 0);
      },
      // The chooser: the receive side's tree drops down.
      [&] {
        HWND page = ActivePage();
        HWND combo = GetDlgItem(page, QvSetTargetFolderPage::kReceiveCombo);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(QvSetTargetFolderPage::kReceiveCombo, CBN_DROPDOWN),
                     reinterpret_cast<LPARAM>(combo));
        // After the tree has dropped down (its message is posted too).
        Next();
      },
      // "Boss" is tapped in the tree: chosen; then OK.
      [&] {
        HWND page = ActivePage();
        HWND tree = GetDlgItem(page, QvSetTargetFolderPage::kReceiveTree);
        EXPECT_TRUE(IsWindowVisible(tree));
        const auto root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        for (auto item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, root); item;
             item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, item)) {
          TVITEMW data{};
          data.mask = TVIF_PARAM;
          data.hItem = reinterpret_cast<HTREEITEM>(item);
          SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
          if (static_cast<DWORD>(data.lParam) == boss) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, item);
        }
        SendMessageW(page, kHideFolderTreeMessage, QvSetTargetFolderPage::kReceiveTree, 1);
        PostMessageW(page, WM_COMMAND, IDOK, 0);
      },
  };
  FrameRunners().classificationRules(owner_, L"仕事");
  Script().clear();

  CString want;
  ASSERT_TRUE(GetFolderDisplayPath(boss, &want));
  EXPECT_EQ(chosenPath, want.GetString());
  ASSERT_TRUE(OpenCurrentAccount(L"仕事"));
  std::vector<QvClassificationRuleRow> rules;
  GetClassificationRules(&rules);
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0].name, L"上司");
  EXPECT_EQ(rules[0].field, L"From");
  EXPECT_EQ(rules[0].folderId, boss);
  EXPECT_EQ(rules[0].target, 1);
  ASSERT_TRUE(ReclassifyFolderMessages(account.trays[kReceiveBox]));
  std::vector<unsigned long> filed, left;
  ASSERT_TRUE(GetMessageIds(boss, &filed));
  ASSERT_TRUE(GetMessageIds(account.trays[kReceiveBox], &left));
  EXPECT_EQ(filed.size(), 1u);
  EXPECT_EQ(left.size(), 2u);
  EXPECT_TRUE(boxes_.empty()) << (boxes_.empty() ? "" : qv::WideToUtf8(boxes_[0]));
}

}  // namespace
}  // namespace qv::test
