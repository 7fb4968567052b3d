// The file-system folder-name dialog through its real window: what each
// name leads to (a folder on the disk, or which warning with the whole name
// selected), Back, and the file browser making a folder through it.
#include "app/shell/QvSetFileSystemFolderNameDlg.h"
#include "tests/app/foundation/BrowserSession.h"

namespace qv::test {
namespace {

class FolderNameDlgTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    app_.m_pMainWnd = frame_;  // dialogs made without a parent are owned by it
    Folder(L"\\D");
    Folder(L"\\D\\old");
    InstallFileSystemFolderNameDialog();
  }
  void TearDown() override {
    SetFolderNameDialogRunner(nullptr);
    app_.m_pMainWnd = nullptr;
    BrowserTest::TearDown();
  }
  static HWND Field(HWND dialog) { return GetDlgItem(dialog, QvSetFolderNameDlg::kNameField); }

  BoxApp app_;
};

TEST_F(FolderNameDlgTest, EachNameMakesAFolderOrIsRefused) {
  struct Case {
    std::wstring parent, typed;
    INT_PTR end;
    UINT box;  // the warning's string, 0 for none
    std::wstring made;
  } cases[] = {
      {L"\\D", L"  新規  ", IDOK, 0, L"\\D\\新規"},
      {L"\\D", L"a:b", IDCANCEL, 20159, L""},
      {L"\\D", L"a|b", IDCANCEL, 20159, L""},
      {L"\\D", L"old", IDCANCEL, 20048, L""},
      {L"\\D", std::wstring(254, L'n'), IDCANCEL, 20160, L""},  // "\D\" + 254 = 257 characters
      {L"\\D\\gone", L"x", IDCANCEL, 20161, L""},
      {L"\\D", L" ", IDCANCEL, 0, L""},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    QvSetFileSystemFolderNameDlg dialog(nullptr);
    dialog.SetParentFolder(c.parent);
    DWORD selection = 0;
    Script() = {[&] {
                  SetWindowTextW(Field(dialog.m_hWnd), c.typed.c_str());
                  qv::shell::PressOkButton(dialog.m_hWnd);
                },
                [&] {
                  selection = static_cast<DWORD>(SendMessageW(Field(dialog.m_hWnd), EM_GETSEL, 0, 0));
                  dialog.EndDialog(IDCANCEL);
                }};
    EXPECT_EQ(dialog.DoModal(), c.end) << c.typed.size();
    Script().clear();
    WCHAR text[512] = {};
    if (c.box) LoadStringW(res_, c.box, text, 512);
    EXPECT_EQ(boxes_.empty() ? L"" : boxes_.front(), std::wstring(text)) << c.typed.size();
    if (c.box) {
      EXPECT_EQ(selection, MAKELONG(0, c.typed.size())) << "the whole name is selected";
    }
    if (!c.made.empty()) {
      EXPECT_TRUE(Exists(c.made));
      EXPECT_EQ(dialog.Name(), c.made.substr(c.made.rfind(L'\\') + 1));
    }
  }
}

TEST_F(FolderNameDlgTest, BackCancelsOnlyAnEmptyName) {
  for (const wchar_t* typed : {L"", L"ab"}) {
    QvSetFileSystemFolderNameDlg dialog(nullptr);
    dialog.SetParentFolder(L"\\D");
    bool up = false;
    Script() = {[&] {
                  SetWindowTextW(Field(dialog.m_hWnd), typed);
                  SendMessageW(dialog.m_hWnd, kBackMessage, 0, 0);
                },
                [&] {
                  up = true;
                  dialog.EndDialog(IDOK);
                }};
    EXPECT_EQ(dialog.DoModal(), *typed ? IDOK : IDCANCEL);
    EXPECT_EQ(up, *typed != 0);
    Script().clear();
  }
}

TEST_F(FolderNameDlgTest, TheBrowserListsTheNewFolder) {
  Lay(L"\\D\\memo.txt", 1);
  request_.lpstrInitialDir = L"\\D";
  Names listed;
  std::wstring focused;
  Run(QvFileBrowser::kOpen, {[](QvFileBrowser& b) { PostMessageW(b.Window(), WM_COMMAND, QvFileBrowser::kNewFolder, 0); },
                             [](QvFileBrowser&) {
                               HWND dialog = GetActiveWindow();
                               SetDlgItemTextW(dialog, QvSetFolderNameDlg::kNameField, L"Photos");
                               qv::shell::PressOkButton(dialog);
                             },
                             [&](QvFileBrowser& b) {
                               listed = Listed(b);
                               const int at = static_cast<int>(
                                   SendMessageW(ListOf(b), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
                               focused = at >= 0 ? listed[static_cast<size_t>(at)] : L"";
                             }});
  EXPECT_EQ(listed, (Names{L"old", L"Photos", L"memo.txt"}));
  EXPECT_EQ(focused, L"Photos");
  EXPECT_TRUE(Exists(L"\\D\\Photos"));
}

}  // namespace
}  // namespace qv::test
