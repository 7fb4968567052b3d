// The box screens in the SDL2 window on the tests' own X server, driven as a
// person does it (taps, keys, Back) over two accounts made through the
// engine: the launcher's list and account drop-down (in a frame of the
// test's own that lays them out and fills them as the main frame does), the
// account switch, the folder screen and the settings launcher. The X
// server's pixels are kept as display-*.png in the build folder.
#include <functional>

#include "app/mailops/AccountOperations.h"
#include "app/shell/boxdlg/QvAccountSelector.h"
#include "app/shell/boxdlg/QvFolderListCtrl.h"
#include "app/shell/mailbox/QvMailBoxDlg.h"
#include "app/shell/settingbox/QvSettingBoxDlg.h"
#include "tests/app/display/ProgramDisplayTest.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

constexpr int kCombo = 1025;

// The mail fixture's engine helpers, for a display test.
struct Engine : MailOpsTest {
  using MailOpsTest::Store;
  using MailOpsTest::WriteText;
};

constexpr int kLauncher = 1078;

// The launcher as the main frame shows it: the account drop-down over the
// seven items, with the boxes' unread counts (their folders' included).
class LauncherFrame : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_ENTERIDLE:
        if (wParam == MSGF_DIALOGBOX && !TakeStep(m_hWnd)) {
          ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
        }
        return 0;
      case WM_COMMAND:
        if (LOWORD(wParam) == kCombo && HIWORD(wParam) == CBN_SELENDOK) SwitchAccount();
        return 0;
      case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->idFrom == kLauncher &&
            reinterpret_cast<NMHDR*>(lParam)->code == NM_CLICK) {
          OpenItem(list.GetSelectedIndex());
        }
        return CFrameWnd::WindowProc(message, wParam, lParam);
      case kRefreshMessage:
        Build();
        return 0;
      case WM_ERASEBKGND: {
        RECT top{0, 0, 480, QvTitleBarCtrl::kHeight};
        FillRect(reinterpret_cast<HDC>(wParam), &top, GetSysColorBrush(COLOR_3DFACE));
        return 1;
      }
      default:
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
  }

  void Open() {
    Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800));
    combo.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWNLIST, CRect(0, 4, 350, 404), this, kCombo);
    combo.SetUp();
    list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, QvTitleBarCtrl::kHeight, 480, 800), this, kLauncher);
    list.SetUp();
    list.SetNeighbours(&combo, &combo);
    combo.Refill();
    RegisterWindow(this);
  }
  void SwitchAccount() {
    OpenCurrentAccount(std::wstring(combo.GetCurrentName().GetString()));
    Build();
    list.SelectAndShow(0);
  }
  void Build() {
    const int keep = list.GetSelectedIndex();
    list.SetRedraw(FALSE);
    list.ClearItems();
    for (int kind = 0; kind < 4; ++kind) {
      QvFolderItem item;
      if (!GetSystemFolderItem(kind, &item)) continue;
      int count = item.unread;
      std::vector<QvFolderItem> folders;
      if (kind < 2 && GetOrderedFolderItems(kind, &folders)) {
        for (const QvFolderItem& f : folders) count += f.unread;
      }
      const wchar_t* text = kind == 0 ? L"受信ﾎﾞｯｸｽ" : kind == 1 ? L"送信ﾎﾞｯｸｽ" : item.name.GetString();
      list.AddItem(list.GetItemCount(), text, 0, count, true, item.folderId);
    }
    list.AddItem(list.GetItemCount(), L"新規作成", 1, 0, false, 0);
    list.AddItem(list.GetItemCount(), L"メール受信", 2, 0, false, 0);
    list.AddItem(list.GetItemCount(), L"設定", 3, 0, false, 0);
    list.SelectAndShow(keep >= 0 ? keep : 0);
    list.SetRedraw(TRUE);
    list.Invalidate();
  }
  void OpenItem(int index) {
    if (index == 0 || index == 1) {
      QvMailBoxDlg box(index == 0 ? L"受信ﾎﾞｯｸｽ" : L"送信ﾎﾞｯｸｽ", index, this);
      box.DoModal();
    } else if (index == 6) {
      QvSettingBoxDlg settings(L"設定", this);
      settings.DoModal();
    }
    list.SetFocus();
  }
  void PostNcDestroy() override {}  // the test owns the object

  QvAccountSelector combo;
  QvFolderListCtrl list;
};

class BoxScreensDisplayTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\", nullptr));
    ASSERT_TRUE(Engine::WriteText(kProgramKey, L"DataPath", L"\\Application Data\\QuvoMail\\"));
    res_ = LoadProgramResources();
    ASSERT_NE(res_, nullptr);
  }
  void TearDown() override {
    ShutdownMailOperations();
    SetMainWindow(nullptr);
    CWnd::DeleteTempMap();
    AfxSetResourceHandle(nullptr);
    if (res_) FreeLibrary(res_);
    DisplayTest::TearDown();
  }

  // An account as set-up makes it; `mail` (count, unread) stored into the
  // receive box and its first folders, in that order.
  static void MakeAccount(const std::wstring& name, const std::vector<std::pair<int, int>>& mail) {
    ASSERT_TRUE(QvAccountCreator().CreateFolders(name));
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
    ASSERT_TRUE(info);
    QvAccountInfoInterface::Attributes s;
    s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    ASSERT_TRUE(info->GetAccountInfoAttributes(&s));
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    ASSERT_TRUE(storage);
    std::unique_ptr<QvFolderInterface> receive(storage->OpenFolder(s.ulJusinTrayID));
    Ids children;
    ASSERT_TRUE(receive && receive->GetFolderIds(&children));
    for (size_t i = 0; i < mail.size(); ++i) {
      const DWORD folder = i == 0 ? s.ulJusinTrayID : static_cast<DWORD>(children.at(i - 1));
      Engine::Store(name, folder, mail[i].first, mail[i].second);
    }
  }

  // What the X server shows, checked against the screen and kept.
  void Keep(const std::string& name) {
    Pump();
    XPicture shown = Grab();
    const auto surface = qv::ui::ScreenSurface();
    std::vector<DWORD> screen;
    for (int y = 0; y < surface->Height(); ++y) {
      for (int x = 0; x < surface->Width(); ++x) screen.push_back(surface->Row(y)[x] & 0xFFFFFFu);
    }
    EXPECT_EQ(shown.width, 480);
    EXPECT_EQ(shown.height, 800);
    EXPECT_TRUE(shown.pixels == screen) << name << ": the window shows the screen pixel for pixel";
    std::vector<BYTE> png;
    BitmapData data{static_cast<UINT>(shown.width), static_cast<UINT>(shown.height), shown.width * 4,
                    PixelFormat32bppRGB, shown.pixels.data(), 0};
    qv::EncodePng(data, &png);
    std::ofstream(OutputPath(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    EXPECT_FALSE(png.empty());
  }
  void Tap(POINT at) {
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, at.x, at.y);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, at.x, at.y);
  }
  void Back() {
    Key(SDL_KEYDOWN, SDLK_ESCAPE);
    Key(SDL_KEYUP, SDLK_ESCAPE);
  }
  // The middle of launcher row `i` on the screen.
  static POINT Row(const QvFolderListCtrl& list, int i) {
    CRect r;
    list.GetItemRect(i, &r, LVIR_BOUNDS);
    list.ClientToScreen(&r);
    return {r.left + 200, r.CenterPoint().y};
  }
  static std::vector<int> Counts(QvFolderListCtrl& list) {
    std::vector<int> counts;
    for (int i = 0; i < list.GetItemCount(); ++i) counts.push_back(list.CountOf(list.GetItemKey(i)));
    return counts;
  }

  HMODULE res_ = nullptr;
};

TEST_F(BoxScreensDisplayTest, TheLauncherTheAccountSwitchTheFolderScreenAndTheSettings) {
  // "仕事": 3 folders below the receive box, 120 mails, 17 unread.
  MakeAccount(L"仕事", {{60, 7}, {30, 6}, {20, 4}, {10, 0}});
  MakeAccount(L"個人", {{5, 2}, {1, 1}});
  LauncherFrame frame;
  frame.Open();
  SetMainWindow(&frame);
  ASSERT_EQ(frame.combo.GetCount(), 2);
  frame.combo.SelectByName(L"仕事");
  frame.SwitchAccount();
  frame.list.SetFocus();
  EXPECT_EQ(CountCurrentAccountUnread(), 17);
  const std::vector<int> work = Counts(frame.list);
  Keep("display-launcher.png");

  // The drop-down opened with a tap, the other account chosen with another.
  const POINT field = CentreOf(frame.combo);
  Tap(field);
  Pump();
  ASSERT_TRUE(frame.combo.GetDroppedState());
  Keep("display-launcher-accounts.png");
  const int other = 1 - frame.combo.GetCurSel();
  RECT dropped{};
  frame.combo.GetDroppedControlRect(&dropped);
  const int line = frame.combo.GetItemHeight(0);
  Tap({dropped.left + 100, dropped.top + 1 + line * other + line / 2});
  Pump();
  EXPECT_FALSE(frame.combo.GetDroppedState());
  EXPECT_EQ(std::wstring(GetCurrentAccountName().GetString()), L"個人");
  const std::vector<int> personal = Counts(frame.list);
  Keep("display-launcher-switched.png");
  EXPECT_EQ(work[0], 17);
  EXPECT_EQ(personal[0], 3);

  // Back to the first account with the keys: Up from the list's first row
  // to the drop-down, then Up again... the drop-down's keys hand over to the
  // list, so the drop-down is opened and stepped with the device keys.
  Tap(field);
  Pump();
  Key(SDL_KEYDOWN, SDLK_UP);
  Key(SDL_KEYUP, SDLK_UP);
  Key(SDL_KEYDOWN, SDLK_RETURN);
  Key(SDL_KEYUP, SDLK_RETURN);
  Pump();
  EXPECT_EQ(std::wstring(GetCurrentAccountName().GetString()), L"仕事");

  // The receive box's folder screen, then Back.
  std::vector<std::wstring> folderTexts;
  std::vector<int> folderCounts;
  int titleCount = -1;
  Script() = {[&] {
                HWND screen = ::GetActiveWindow();
                auto* list = static_cast<QvFolderListCtrl*>(CWnd::FromHandlePermanent(::GetDlgItem(screen, 1208)));
                ASSERT_NE(list, nullptr);
                for (int i = 0; i < list->GetItemCount(); ++i) folderTexts.emplace_back(list->GetItemText(i, 0).GetString());
                folderCounts = Counts(*list);
                titleCount = GetDlgItem(screen, 1209) ? static_cast<QvTitleBarCtrl*>(CWnd::FromHandlePermanent(GetDlgItem(screen, 1209)))->GetCount() : -1;
                Keep("display-folder-screen.png");
                Back();
              }};
  Tap(Row(frame.list, 0));
  Pump();
  EXPECT_TRUE(Script().empty());
  EXPECT_EQ(folderTexts.size(), 4u);
  EXPECT_EQ(folderCounts, (std::vector<int>{7, 6, 4, 0}));
  EXPECT_EQ(titleCount, 60);

  // The settings launcher, then Back.
  Script() = {[&] {
    Keep("display-settings.png");
    Back();
  }};
  Tap(Row(frame.list, 6));
  Pump();
  EXPECT_TRUE(Script().empty());
  EXPECT_EQ(::GetActiveWindow(), frame.m_hWnd);

  UnregisterWindow(&frame);
  frame.DestroyWindow();
}

}  // namespace
}  // namespace qv::test
