// The soft-key bar made from the sample menu 140 (a "ファイル" popup and the
// command "終了"): the soft keys press its buttons, the toolbar messages
// change them, and a second bar replaces the first. The bar is kept as
// shell-menubar.png in the build folder.
#include <cstdlib>

#include "platform/framework/CWnd.h"
#include "platform/shell/CommandBar.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

constexpr UINT kQuit = 40003;  // IDM_QUIT of the sample resources

class MenuBarTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    res_ = LoadSampleResources();
    ASSERT_NE(res_, nullptr);
    owner_ = Make(WS_POPUP | WS_VISIBLE);
    CurrentHandler() = [this](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
      if (m == WM_ENTERIDLE && w == MSGF_MENU) {
        menuShown_ = true;
        EndMenu();
        return 0;
      }
      return std::nullopt;
    };
    log_.Ignore({WM_PAINT, WM_ERASEBKGND, WM_CTLCOLORSTATIC, WM_GETTEXT, WM_GETTEXTLENGTH});
  }
  HWND Create(HWND parent) {
    SHMENUBARINFO info{sizeof info, parent, SHCMBF_HMENU, 140, res_, 0, 0, nullptr, 0};
    return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
  }
  // The soft key pressed and released, through the program's message filter.
  void SoftKey(BYTE vk) {
    qv::seams::InjectKey(vk, true);
    qv::seams::InjectKey(vk, false);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (qv::shell::TranslateSoftKey(&m)) continue;
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  LRESULT Info(HWND bar, UINT message, WPARAM which, TBBUTTONINFOW* info) {
    return SendMessageW(bar, message, which, reinterpret_cast<LPARAM>(info));
  }

  HMODULE res_ = nullptr;
  HWND owner_ = nullptr;
  bool menuShown_ = false;
};

TEST_F(MenuBarTest, SoftKeysPressTheButtonsTheMenuResourceMade) {
  HWND bar = Create(owner_);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SHFindMenuBar(owner_), bar);
  EXPECT_EQ(GetWindow(bar, GW_OWNER), owner_) << "a window of its own, owned by the top-level window";
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(bar, GWL_STYLE)), qv::shell::kMenuBarStyle);
  EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 2);
  Pump();

  // F2: the command button; the owner hears it once, on release.
  log_.Clear();
  SoftKey(VK_TSOFT2);
  EXPECT_EQ(log_.Compare(owner_, {{WM_COMMAND, seq::posted | seq::wparam | seq::lparam, kQuit, L(bar)}}), "");

  // F1: the popup opens above the bar over the owner.
  log_.Clear();
  SoftKey(VK_TSOFT1);
  EXPECT_TRUE(menuShown_);
  const std::vector<UINT> seen = log_.MessagesOf(owner_);
  const std::vector<UINT> start{WM_ENTERMENULOOP, WM_INITMENU, WM_INITMENUPOPUP};
  ASSERT_GE(seen.size(), start.size());
  EXPECT_EQ(std::vector<UINT>(seen.begin(), seen.begin() + 3), start);
  EXPECT_NE(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 0), 0) << "the popup's button is named by its position";
}

TEST_F(MenuBarTest, ButtonsAreEnabledCheckedAndRelabelled) {
  HWND bar = Create(owner_);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, kQuit, MAKELONG(FALSE, 0)));
  EXPECT_FALSE(SendMessageW(bar, TB_ISBUTTONENABLED, kQuit, 0));
  log_.Clear();
  SoftKey(VK_TSOFT2);
  EXPECT_EQ(log_.Compare(owner_, {}), "") << "a disabled button sends nothing";

  EXPECT_TRUE(SendMessageW(bar, TB_CHECKBUTTON, kQuit, MAKELONG(TRUE, 0)));
  EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONCHECKED, kQuit, 0));
  EXPECT_FALSE(SendMessageW(bar, TB_CHECKBUTTON, 12345, MAKELONG(TRUE, 0))) << "no such button";

  wchar_t label[] = L"送信";
  TBBUTTONINFOW set{sizeof set, TBIF_TEXT | TBIF_STATE, 0, 0, TBSTATE_ENABLED, 0, 0, 0, label, 0};
  EXPECT_TRUE(Info(bar, TB_SETBUTTONINFOW, kQuit, &set));
  wchar_t got[8] = {};
  TBBUTTONINFOW get{sizeof get, TBIF_TEXT | TBIF_COMMAND | TBIF_BYINDEX, 0, 0, 0, 0, 0, 0, got, 8};
  EXPECT_EQ(Info(bar, TB_GETBUTTONINFOW, 1, &get), 1);
  EXPECT_STREQ(got, L"送信");
  EXPECT_EQ(get.idCommand, static_cast<int>(kQuit));
  get.cchText = 2;  // cut to fit, ended with a zero
  get.dwMask = TBIF_TEXT;
  Info(bar, TB_GETBUTTONINFOW, kQuit, &get);
  EXPECT_STREQ(got, L"送");

  log_.Clear();
  SoftKey(VK_TSOFT2);  // enabled again by the state set above
  EXPECT_EQ(log_.Compare(owner_, {{WM_COMMAND, seq::posted | seq::wparam, kQuit}}), "");

  UpdateWindow(owner_);
  const char* dir = std::getenv("QV_BINARY_DIR");
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/shell-menubar.png"));
}

TEST_F(MenuBarTest, OneBarPerTopLevelWindowRecreatedOnRequest) {
  HWND child = Make(WS_CHILD | WS_VISIBLE, owner_, {0, 0, 100, 100}, 5);
  HWND first = Create(child);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetParent(first), owner_) << "the bar belongs to the top-level window";
  SendMessageW(first, TB_ENABLEBUTTON, kQuit, MAKELONG(FALSE, 0));
  HWND second = Create(owner_);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(SHFindMenuBar(child), second);
  EXPECT_TRUE(SendMessageW(second, TB_ISBUTTONENABLED, kQuit, 0)) << "the new bar starts from the resource";

  SHMENUBARINFO bad{sizeof bad, owner_, SHCMBF_HMENU, 9999, res_, 0, 0, nullptr, 0};
  EXPECT_FALSE(SHCreateMenuBar(&bad));
  EXPECT_EQ(SHFindMenuBar(owner_), second) << "a failed request keeps the bar there is";
}

// The command bar object over the bar: an empty bar first, then one from a
// menu resource whose commands go to the child that made it; a failed menu
// keeps the bar there is; destroying it leaves the window no bar.
TEST_F(MenuBarTest, CommandBarObjectFollowsItsBar) {
  HWND child = Make(WS_CHILD | WS_VISIBLE, owner_, {0, 0, 100, 100}, 5);
  CWnd* page = CWnd::FromHandle(child);
  CCommandBar bar;
  ASSERT_TRUE(bar.Create(page));
  EXPECT_EQ(bar.GetCreateStyle(), 0x50002800u);
  EXPECT_EQ(bar.GetBarId(), AFX_IDW_COMMANDBAR);
  EXPECT_EQ(bar.GetMenu(), nullptr) << "an empty bar";
  HWND empty = bar.m_hWnd;
  ASSERT_TRUE(bar.InsertMenuBar(140, res_));
  EXPECT_FALSE(IsWindow(empty));
  EXPECT_EQ(SHFindMenuBar(child), bar.m_hWnd);
  EXPECT_NE(bar.GetMenu(), nullptr);
  HWND made = bar.m_hWnd;
  EXPECT_FALSE(bar.InsertMenuBar(9999, res_));
  EXPECT_EQ(bar.m_hWnd, made);
  EXPECT_TRUE(IsWindow(made));
  bar.SetBarStyle(bar.GetBarStyle() | CBRS_SIZE_DYNAMIC);
  EXPECT_EQ(bar.GetBarStyle(), CBRS_SIZE_DYNAMIC);
  EXPECT_TRUE(bar.DestroyWindow());
  EXPECT_EQ(bar.m_hWnd, nullptr);
  EXPECT_EQ(SHFindMenuBar(child), nullptr);
  CWnd::DeleteTempMap();
}

// Full-screen dialogs keep their size as the screen turns, with a bar or
// without one: the screen above the bar's strip, or the whole screen.
TEST_F(MenuBarTest, FullScreenDialogsFollowTheScreensTurns) {
  using qv::shell::kMenuBarHeight;
  struct Case {
    const char* name;
    DWORD flags;
    bool bar;
    LONG portraitHeight, landscapeHeight;
  };
  const Case cases[] = {
      {"full screen, no bar yet", SHIDIF_SIZEDLGFULLSCREEN, false, 800 - kMenuBarHeight, 480 - kMenuBarHeight},
      {"full screen with its bar", SHIDIF_SIZEDLGFULLSCREEN, true, 800 - kMenuBarHeight, 480 - kMenuBarHeight},
      {"the whole screen", SHIDIF_FULLSCREENNOMENUBAR, false, 800, 480},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND dlg = Make(WS_POPUP | WS_VISIBLE, nullptr, {10, 10, 100, 100});
    SHINITDLGINFO init{SHIDIM_FLAGS, dlg, c.flags};
    ASSERT_TRUE(SHInitDialog(&init));
    HWND bar = c.bar ? Create(dlg) : nullptr;
    for (bool landscape : {true, false, true, false}) {
      qv::seams::SetLandscape(landscape);
      RECT r{};
      GetWindowRect(dlg, &r);
      EXPECT_EQ(r.left, 0);
      EXPECT_EQ(r.top, 0);
      EXPECT_EQ(r.right, landscape ? 800 : 480) << (landscape ? "landscape" : "portrait");
      EXPECT_EQ(r.bottom, landscape ? c.landscapeHeight : c.portraitHeight) << (landscape ? "landscape" : "portrait");
      if (!bar) continue;
      RECT b{};
      GetWindowRect(bar, &b);
      EXPECT_EQ(b.top, r.bottom) << "the bar right under the dialog";
      EXPECT_EQ(b.bottom, landscape ? 480 : 800);
    }
    DestroyWindow(dlg);
    EXPECT_FALSE(bar && IsWindow(bar)) << "the bar goes with its window";
  }
}

}  // namespace
}  // namespace qv::test
